#include "mailer/SmtpText.h"

#include "mailer/Tell.h"

#include <QHostAddress>
#include <QStringList>
#include <QTimeZone>

#include <climits>

namespace karvo::mailer {

namespace {

constexpr qsizetype kMaxLine = 998;  // octets of a mail line, line end not counted
constexpr qsizetype kMaxQpLine = 76;
constexpr qsizetype kMaxAddress = 254;

const QByteArray kCrLf = QByteArrayLiteral("\r\n");

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isAscii(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() > 0x7F)
            return false;
    return true;
}

// Splits at every line end the text box may give: CR LF, a lone CR or a lone LF.
QStringList splitLines(const QString& text)
{
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines << line;
            line.clear();
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else {
            line += c;
        }
    }
    lines << line;
    return lines;
}

// Doubles a leading "." so the server never takes a line of text for the end of the data.
void appendStuffed(QByteArray& out, QByteArrayView line)
{
    if (line.startsWith('.'))
        out += '.';
    out += line;
}

// Control characters from the user's entries never reach a header field.
QString withoutControls(const QString& text)
{
    QString clean = text;
    for (QChar& c : clean) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029)
            c = u' ';
    }
    return clean;
}

}  // namespace

qsizetype completeReplyLength(QByteArrayView buf)
{
    qsizetype pos = 0;
    for (int lines = 1; pos < buf.size(); ++lines) {
        const qsizetype nl = buf.indexOf('\n', pos);
        const qsizetype length = (nl < 0 ? buf.size() : nl + 1) - pos;
        if (length > kMaxReplyLine || lines > kMaxReplyLines)
            return kReplyTooLong;
        if (nl < 0)
            return 0;
        const QByteArrayView line = buf.sliced(pos, nl - pos);
        const bool continued = line.size() >= 4 && isDigit(line[0]) && isDigit(line[1]) &&
                               isDigit(line[2]) && line[3] == '-';
        if (!continued)
            return nl + 1;
        pos = nl + 1;
    }
    return 0;
}

QString shownReply(QByteArrayView reply)
{
    constexpr int kShownLines = 8;
    constexpr qsizetype kShownLineLength = 200;  // characters before the line end
    QByteArray shown;
    bool cut = false;
    qsizetype pos = 0;
    for (int lines = 0; pos < reply.size() && !cut; ++lines) {
        const qsizetype nl = reply.indexOf('\n', pos);
        const qsizetype end = nl < 0 ? reply.size() : nl + 1;
        const QByteArrayView line = reply.sliced(pos, end - pos);
        pos = end;
        cut = lines == kShownLines || line.size() - (line.endsWith("\r\n") ? 2 : 0) > kShownLineLength;
        if (lines < kShownLines)
            shown += cut ? line.first(kShownLineLength).toByteArray() + kCrLf : line.toByteArray();
    }
    if (cut)
        shown += "[...]" + kCrLf;
    return QString::fromLatin1(shown);
}

int replyCode(QByteArrayView reply)
{
    long long code = 0;
    for (char c : reply) {
        if (!isDigit(c))
            break;
        code = code * 10 + (c - '0');
        if (code > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(code);
}

QString subjectLine(const QString& senderName, const QString& subjectEntry)
{
    return QStringLiteral("From: ") + senderName + QStringLiteral(" - ") + subjectEntry;
}

QString composeBody(const QString& friendsName, const QString& comments, const QString& senderName,
                    const QString& productUrl)
{
    const QStringList lines{
        QStringLiteral("Hi ") + friendsName + u',',
        QString(),
        QStringLiteral("I just wanted to let you know that I'm using ") + kAppTitle +
            QStringLiteral(" and I thought you might like to try it.  So far, I'm impressed with it "
                           "enough to recommend it to you."),
        QString(),
        comments,
        QString(),
        QStringLiteral("It's easy to download and use, so do it now! Just click on the link below "
                       "for more information:"),
        QString(),
        kAppTitle,
        productUrl,
        QString(),
        QStringLiteral("Tolvane has about 150 other programs, most of which are Freeware.  Check any "
                       "of these 3 mirrors:"),
        QString(),
        kMakerWebSite,
        kMirror1,
        kMirror2,
        QString(),
        QStringLiteral("Have Fun There!"),
        senderName,
    };
    return lines.join(QStringLiteral("\r\n"));
}

bool isSendableAddress(const QString& address)
{
    if (address.isEmpty() || address.size() > kMaxAddress)
        return false;
    for (QChar c : address) {
        const char16_t u = c.unicode();
        if (u <= 0x20 || u >= 0x7F || u == u'<' || u == u'>')
            return false;
    }
    return true;
}

QByteArray mailDate(const QDateTime& when)
{
    static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = when.date();
    const QTime t = when.time();
    const int offset = when.offsetFromUtc() / 60;
    const int absOffset = offset < 0 ? -offset : offset;
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8%9%10")
        .arg(QLatin1String(kDays[d.dayOfWeek() - 1]))
        .arg(d.day(), 2, 10, QChar(u'0'))
        .arg(QLatin1String(kMonths[d.month() - 1]))
        .arg(d.year(), 4, 10, QChar(u'0'))
        .arg(t.hour(), 2, 10, QChar(u'0'))
        .arg(t.minute(), 2, 10, QChar(u'0'))
        .arg(t.second(), 2, 10, QChar(u'0'))
        .arg(QChar(offset < 0 ? u'-' : u'+'))
        .arg(absOffset / 60, 2, 10, QChar(u'0'))
        .arg(absOffset % 60, 2, 10, QChar(u'0'))
        .toLatin1();
}

QByteArray heloArgument(const QHostAddress& localAddress)
{
    bool isV4 = false;
    const quint32 v4 = localAddress.toIPv4Address(&isV4);
    if (isV4)
        return '[' + QHostAddress(v4).toString().toLatin1() + ']';
    if (localAddress.protocol() == QAbstractSocket::IPv6Protocol) {
        QHostAddress bare = localAddress;
        bare.setScopeId(QString());
        return "[IPv6:" + bare.toString().toLatin1() + ']';
    }
    return QByteArrayLiteral("[127.0.0.1]");
}

QByteArray toDataLines(const QString& text)
{
    QByteArray out;
    bool first = true;
    for (const QString& line : splitLines(text)) {
        const QByteArray bytes = line.toLatin1();
        qsizetype pos = 0;
        do {
            if (!first)
                out += kCrLf;
            first = false;
            // Room for the doubled dot, so a wrapped piece never exceeds the limit either.
            const bool dot = pos < bytes.size() && bytes.at(pos) == '.';
            const qsizetype room = dot ? kMaxLine - 1 : kMaxLine;
            const QByteArrayView piece = QByteArrayView(bytes).sliced(pos, std::min(room, bytes.size() - pos));
            appendStuffed(out, piece);
            pos += piece.size();
        } while (pos < bytes.size());
    }
    return out;
}

QByteArray quotedPrintableLines(const QString& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    bool firstLine = true;
    const auto endLine = [&](const QByteArray& encoded) {
        if (!firstLine)
            out += kCrLf;
        firstLine = false;
        appendStuffed(out, encoded);
    };
    for (const QString& line : splitLines(text)) {
        const QByteArray bytes = line.toUtf8();
        QByteArray encoded;
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            const bool last = i + 1 == bytes.size();
            QByteArray token;
            if ((b >= 33 && b <= 126 && b != '=') || ((b == ' ' || b == '\t') && !last)) {
                token = QByteArray(1, static_cast<char>(b));
            } else {
                token = QByteArray("=") + kHex[b >> 4] + kHex[b & 0x0F];
            }
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

QByteArray subjectField(const QString& subject)
{
    const QString clean = withoutControls(subject);
    const QByteArray plain = "Subject: " + clean.toLatin1();
    if (isAscii(clean) && plain.size() <= kMaxLine)
        return plain;
    // Encoded words of at most 75 characters, one per folded line; a word never splits a
    // UTF-8 sequence, so each decodes on its own.
    const QByteArray utf8 = clean.toUtf8();
    QByteArray field = "Subject:";
    constexpr qsizetype kChunk = 45;  // 60 base64 characters, 72 with the markers
    qsizetype pos = 0;
    while (pos < utf8.size()) {
        qsizetype len = std::min(kChunk, utf8.size() - pos);
        while (pos + len < utf8.size() && (static_cast<unsigned char>(utf8[pos + len]) & 0xC0) == 0x80)
            --len;
        if (pos > 0)
            field += kCrLf;
        field += " =?UTF-8?B?" + utf8.mid(pos, len).toBase64() + "?=";
        pos += len;
    }
    return field;
}

QByteArray composeMessage(const MailParts& parts)
{
    const bool asciiBody = isAscii(parts.body);
    QByteArray out;
    out += "From: <" + parts.from.toLatin1() + '>' + kCrLf;
    out += "To: " + parts.to.toLatin1() + kCrLf;
    out += subjectField(parts.subject) + kCrLf;
    out += "Date: " + parts.date + kCrLf;
    out += "Message-ID: " + parts.messageId + kCrLf;
    out += "X-Mailer: TolvaneTellaFriend" + kCrLf;
    out += "Mime-Version: 1.0" + kCrLf;
    out += "Content-Type: text/" + withoutControls(parts.contentType).toLatin1() + '\t' +
           (asciiBody ? "charset=us-ascii" : "charset=utf-8") + kCrLf;
    if (!asciiBody)
        out += "Content-Transfer-Encoding: quoted-printable" + kCrLf;
    out += kCrLf;
    out += asciiBody ? toDataLines(parts.body) : quotedPrintableLines(parts.body);
    return out;
}

}  // namespace karvo::mailer
