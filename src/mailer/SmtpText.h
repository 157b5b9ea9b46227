// The texts of a tell-a-friend mail: reply framing and codes, the body, the header block and the
// wire form of the message. Plain functions over UTF-8 text and raw bytes, so they can be tested
// without a window or a socket.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace karvo::mailer {

// Length of the first complete reply at the front of buf, or 0 while it is incomplete. A reply
// ends with its first line that is not "NNN-" (a code and a hyphen), so a multi-line reply that
// arrives in pieces stays whole; bytes after it belong to the next reply. kReplyTooLong once the
// reply breaks the limits a server keeps to: a line longer than kMaxReplyLine octets with its
// line end (RFC 5321, 4.5.3.1.5), or more than kMaxReplyLines lines.
inline constexpr std::ptrdiff_t kReplyTooLong = -1;
inline constexpr std::size_t kMaxReplyLine = 512;
inline constexpr int kMaxReplyLines = 100;
std::ptrdiff_t completeReplyLength(std::string_view buf);

// A reply as a message box shows it (UTF-8, the reply's bytes read as Latin-1): its first lines,
// each cut to a readable length, and a mark where anything was left out.
std::string shownReply(std::string_view reply);

// The code of a reply: the decimal number at the start of its first blank-separated word, or 0.
int replyCode(std::string_view reply);

// The subject line for the sender's name and the chosen subject entry.
std::string subjectLine(const std::string& senderName, const std::string& subjectEntry);

// The recommendation text, lines joined by CR LF, with no line end after the sender's name.
std::string composeBody(const std::string& friendsName, const std::string& comments, const std::string& senderName,
                        const std::string& productUrl);

// True when the address can go into MAIL FROM, RCPT TO and the header as it is: printable
// ASCII only, no blanks, no angle brackets, and no longer than a mail path may be.
bool isSendableAddress(std::string_view address);

// A Date header value in the English form mail requires, whatever the locale: the local date and
// time given, and the local zone's distance from UTC in minutes.
std::string mailDate(int year, int month, int day, int hour, int minute, int second, int utcOffsetMinutes);
// The same for now.
std::string mailDateNow();

// A Message-ID value for a message through server: a random id in angle brackets.
std::string messageId(const std::string& server);

// The word after HELO: the address literal of the connection's local end, given as text
// ("127.0.0.1", "::1", "::ffff:10.0.0.7", "fe80::1%eth0").
std::string heloArgument(std::string_view localAddress);

struct MailParts {
    std::string from;
    std::string to;
    std::string subject;
    std::string contentType;  // the subtype with its semicolon, "plain;"
    std::string body;
    std::string date;       // header value, see mailDate
    std::string messageId;  // header value with its angle brackets
};

// The header block and the body as sent after DATA, without the end marker. ASCII text goes as
// it is; anything else as UTF-8 in quoted-printable with an encoded-word subject. Line ends are
// CR LF, no line exceeds 998 octets and a leading "." is doubled, so no text ends the data early.
std::string composeMessage(const MailParts& parts);

// Pieces of composeMessage, open for tests.
std::string toDataLines(std::string_view text);           // ASCII text: line ends, wrapping, dots
std::string quotedPrintableLines(std::string_view text);  // UTF-8 quoted-printable, dots doubled
std::string subjectField(std::string_view subject);       // the whole "Subject: ..." field, no CR LF

}  // namespace karvo::mailer
