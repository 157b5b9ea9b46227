#include "mailer/SmtpText.h"

#include "mailer/Tell.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <ctime>
#include <random>
#include <vector>

namespace karvo::mailer {

namespace {

constexpr std::size_t kMaxLine = 998;  // octets of a mail line, line end not counted
constexpr std::size_t kMaxQpLine = 76;
constexpr std::size_t kMaxAddress = 254;
constexpr const char* kCrLf = "\r\n";

bool isDigit(char c) { return c >= '0' && c <= '9'; }
unsigned char byte(char c) { return static_cast<unsigned char>(c); }

bool isAscii(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) { return byte(c) > 0x7F; });
}

// Splits at every line end the text box may give: CR LF, a lone CR or a lone LF.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Doubles a leading "." so the server never takes a line of text for the end of the data.
void appendStuffed(std::string& out, std::string_view line) {
    if (!line.empty() && line.front() == '.')
        out += '.';
    out += line;
}

// Control characters from the user's entries never reach a header field: C0 and DEL, the C1
// controls (U+0080 to U+009F) and the two Unicode line separators each become one blank.
std::string withoutControls(std::string_view text) {
    std::string clean;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char b = byte(text[i]);
        if (b < 0x20 || b == 0x7F) {
            clean += ' ';
        } else if (b == 0xC2 && i + 1 < text.size() && byte(text[i + 1]) >= 0x80 && byte(text[i + 1]) < 0xA0) {
            clean += ' ';
            ++i;
        } else if (text.substr(i, 3) == "\xE2\x80\xA8" || text.substr(i, 3) == "\xE2\x80\xA9") {
            clean += ' ';
            i += 2;
        } else {
            clean += text[i];
        }
    }
    return clean;
}

std::string base64(std::string_view bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = (group << 8) | (k < n ? byte(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

// Days since 1970-01-01 of a date of the Gregorian calendar.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

std::string twoDigits(int n) { return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10); }

}  // namespace

std::ptrdiff_t completeReplyLength(std::string_view buf) {
    std::size_t pos = 0;
    for (int lines = 1; pos < buf.size(); ++lines) {
        const std::size_t nl = buf.find('\n', pos);
        const std::size_t length = (nl == std::string_view::npos ? buf.size() : nl + 1) - pos;
        if (length > kMaxReplyLine || lines > kMaxReplyLines)
            return kReplyTooLong;
        if (nl == std::string_view::npos)
            return 0;
        const std::string_view line = buf.substr(pos, nl - pos);
        const bool continued = line.size() >= 4 && isDigit(line[0]) && isDigit(line[1]) && isDigit(line[2]) &&
                               line[3] == '-';
        if (!continued)
            return static_cast<std::ptrdiff_t>(nl + 1);
        pos = nl + 1;
    }
    return 0;
}

std::string shownReply(std::string_view reply) {
    constexpr int kShownLines = 8;
    constexpr std::size_t kShownLineLength = 200;  // characters before the line end
    std::string shown;
    bool cut = false;
    std::size_t pos = 0;
    for (int lines = 0; pos < reply.size() && !cut; ++lines) {
        const std::size_t nl = reply.find('\n', pos);
        const std::size_t end = nl == std::string_view::npos ? reply.size() : nl + 1;
        const std::string_view line = reply.substr(pos, end - pos);
        pos = end;
        const std::size_t ending = line.ends_with("\r\n") ? 2 : 0;
        cut = lines == kShownLines || line.size() - ending > kShownLineLength;
        if (lines < kShownLines)
            shown += cut ? std::string(line.substr(0, kShownLineLength)) + kCrLf : std::string(line);
    }
    if (cut)
        shown += std::string("[...]") + kCrLf;
    std::string utf8;
    for (const char c : shown) {
        if (byte(c) < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte(c) >> 6));
            utf8 += static_cast<char>(0x80 | (byte(c) & 0x3F));
        }
    }
    return utf8;
}

int replyCode(std::string_view reply) {
    long long code = 0;
    for (const char c : reply) {
        if (!isDigit(c))
            break;
        code = code * 10 + (c - '0');
        if (code > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(code);
}

std::string subjectLine(const std::string& senderName, const std::string& subjectEntry) {
    return "From: " + senderName + " - " + subjectEntry;
}

std::string composeBody(const std::string& friendsName, const std::string& comments, const std::string& senderName,
                        const std::string& productUrl) {
    const std::string lines[] = {
        "Hi " + friendsName + ',',
        "",
        std::string("I just wanted to let you know that I'm using ") + kAppTitle +
            " and I thought you might like to try it.  So far, I'm impressed with it enough to recommend it to you.",
        "",
        comments,
        "",
        "It's easy to download and use, so do it now! Just click on the link below for more information:",
        "",
        kAppTitle,
        productUrl,
        "",
        "Tolvane has about 150 other programs, most of which are Freeware.  Check any of these 3 mirrors:",
        "",
        kMakerWebSite,
        kMirror1,
        kMirror2,
        "",
        "Have Fun There!",
        senderName,
    };
    std::string body;
    for (std::size_t i = 0; i < std::size(lines); ++i)
        body += (i ? kCrLf : "") + lines[i];
    return body;
}

bool isSendableAddress(std::string_view address) {
    if (address.empty() || address.size() > kMaxAddress)
        return false;
    return std::none_of(address.begin(), address.end(),
                        [](char c) { return byte(c) <= 0x20 || byte(c) >= 0x7F || c == '<' || c == '>'; });
}

std::string mailDate(int year, int month, int day, int hour, int minute, int second, int utcOffsetMinutes) {
    static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};  // from 1970-01-01
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const long long days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    const int absOffset = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
    std::string y = std::to_string(year);
    y.insert(0, y.size() < 4 ? 4 - y.size() : 0, '0');
    return std::string(kDays[((days % 7) + 7) % 7]) + ", " + twoDigits(day) + ' ' + kMonths[month - 1] + ' ' + y +
           ' ' + twoDigits(hour) + ':' + twoDigits(minute) + ':' + twoDigits(second) + ' ' +
           (utcOffsetMinutes < 0 ? '-' : '+') + twoDigits(absOffset / 60) + twoDigits(absOffset % 60);
}

std::string mailDateNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    // The zone's offset: the local clock read as if it were UTC, less the real UTC time.
    const long long localSeconds =
        daysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday)) * 86400LL +
        local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
    const int offset = static_cast<int>((localSeconds - static_cast<long long>(now)) / 60);
    return mailDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                    local.tm_sec, offset);
}

std::string messageId(const std::string& server) {
    // A random version-4 form, so ids of two messages never meet.
    static std::mt19937_64 random{std::random_device{}() ^
                                  static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    static const char kHex[] = "0123456789abcdef";
    std::string id;
    for (int i = 0; i < 32; ++i) {
        if (i == 8 || i == 12 || i == 16 || i == 20)
            id += '-';
        unsigned digit = static_cast<unsigned>(random() & 0xF);
        if (i == 12)
            digit = 4;
        else if (i == 16)
            digit = 8 | (digit & 3);
        id += kHex[digit];
    }
    return '<' + id + '@' + server + '>';
}

std::string heloArgument(std::string_view localAddress) {
    std::string_view address = localAddress.substr(0, localAddress.find('%'));  // no scope id
    if (address.starts_with("::ffff:") && address.find('.') != std::string_view::npos)
        address.remove_prefix(7);  // an IPv4 address seen through IPv6
    if (address.empty())
        return "[127.0.0.1]";
    if (address.find(':') != std::string_view::npos)
        return "[IPv6:" + std::string(address) + ']';
    return '[' + std::string(address) + ']';
}

std::string toDataLines(std::string_view text) {
    std::string out;
    bool first = true;
    for (const std::string_view line : splitLines(text)) {
        std::size_t pos = 0;
        do {
            if (!first)
                out += kCrLf;
            first = false;
            // Room for the doubled dot, so a wrapped piece never exceeds the limit either.
            const bool dot = pos < line.size() && line[pos] == '.';
            const std::size_t room = dot ? kMaxLine - 1 : kMaxLine;
            const std::string_view piece = line.substr(pos, std::min(room, line.size() - pos));
            appendStuffed(out, piece);
            pos += piece.size();
        } while (pos < line.size());
    }
    return out;
}

std::string quotedPrintableLines(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    bool firstLine = true;
    const auto endLine = [&](const std::string& encoded) {
        if (!firstLine)
            out += kCrLf;
        firstLine = false;
        appendStuffed(out, encoded);
    };
    for (const std::string_view line : splitLines(text)) {
        std::string encoded;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const unsigned char b = byte(line[i]);
            const bool last = i + 1 == line.size();
            std::string token;
            if ((b >= 33 && b <= 126 && b != '=') || ((b == ' ' || b == '\t') && !last))
                token = std::string(1, static_cast<char>(b));
            else
                token = std::string("=") + kHex[b >> 4] + kHex[b & 0x0F];
            // A soft break ("=" at the line end) keeps every encoded line within 76 characters.
            if (encoded.size() + token.size() > kMaxQpLine - 1) {
                endLine(encoded + '=');
                encoded.clear();
            }
            encoded += token;
        }
        endLine(encoded);
    }
    return out;
}

std::string subjectField(std::string_view subject) {
    const std::string clean = withoutControls(subject);
    const std::string plain = "Subject: " + clean;
    if (isAscii(clean) && plain.size() <= kMaxLine)
        return plain;
    // Encoded words of at most 75 characters, one per folded line; a word never splits a
    // UTF-8 sequence, so each decodes on its own.
    std::string field = "Subject:";
    constexpr std::size_t kChunk = 45;  // 60 base64 characters, 72 with the markers
    std::size_t pos = 0;
    while (pos < clean.size()) {
        std::size_t len = std::min(kChunk, clean.size() - pos);
        while (pos + len < clean.size() && (byte(clean[pos + len]) & 0xC0) == 0x80)
            --len;
        if (pos > 0)
            field += kCrLf;
        field += " =?UTF-8?B?" + base64(std::string_view(clean).substr(pos, len)) + "?=";
        pos += len;
    }
    return field;
}

std::string composeMessage(const MailParts& parts) {
    const bool asciiBody = isAscii(parts.body);
    std::string out;
    out += "From: <" + parts.from + '>' + kCrLf;
    out += "To: " + parts.to + kCrLf;
    out += subjectField(parts.subject) + kCrLf;
    out += "Date: " + parts.date + kCrLf;
    out += "Message-ID: " + parts.messageId + kCrLf;
    out += std::string("X-Mailer: TolvaneTellaFriend") + kCrLf;
    out += std::string("Mime-Version: 1.0") + kCrLf;
    out += "Content-Type: text/" + withoutControls(parts.contentType) + '\t' +
           (asciiBody ? "charset=us-ascii" : "charset=utf-8") + kCrLf;
    if (!asciiBody)
        out += std::string("Content-Transfer-Encoding: quoted-printable") + kCrLf;
    out += kCrLf;
    out += asciiBody ? toDataLines(parts.body) : quotedPrintableLines(parts.body);
    return out;
}

}  // namespace karvo::mailer
