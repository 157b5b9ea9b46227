// The texts of a tell-a-friend mail: reply framing and codes, the body, the header block and the
// wire form of the message. Plain functions, so they can be tested without a window or a socket.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

class QHostAddress;

namespace karvo::mailer {

// Length of the first complete reply at the front of buf, or 0 while it is incomplete. A reply
// ends with its first line that is not "NNN-" (a code and a hyphen), so a multi-line reply that
// arrives in pieces stays whole; bytes after it belong to the next reply. kReplyTooLong once the
// reply breaks the limits a server keeps to: a line longer than kMaxReplyLine octets with its
// line end (RFC 5321, 4.5.3.1.5), or more than kMaxReplyLines lines.
inline constexpr qsizetype kReplyTooLong = -1;
inline constexpr qsizetype kMaxReplyLine = 512;
inline constexpr int kMaxReplyLines = 100;
qsizetype completeReplyLength(QByteArrayView buf);

// A reply as a message box shows it: its first lines, each cut to a readable length, and a mark
// where anything was left out.
QString shownReply(QByteArrayView reply);

// The code of a reply: the decimal number at the start of its first blank-separated word, or 0.
int replyCode(QByteArrayView reply);

// The subject line for the sender's name and the chosen subject entry.
QString subjectLine(const QString& senderName, const QString& subjectEntry);

// The recommendation text, lines joined by CR LF, with no line end after the sender's name.
QString composeBody(const QString& friendsName, const QString& comments, const QString& senderName,
                    const QString& productUrl);

// True when the address can go into MAIL FROM, RCPT TO and the header as it is: printable
// ASCII only, no blanks, no angle brackets, and no longer than a mail path may be.
bool isSendableAddress(const QString& address);

// A Date header value in the English form mail requires, whatever the locale.
QByteArray mailDate(const QDateTime& when);

// The word after HELO: the address literal of the connection's local end.
QByteArray heloArgument(const QHostAddress& localAddress);

struct MailParts {
    QString from;
    QString to;
    QString subject;
    QString contentType;  // the subtype with its semicolon, "plain;"
    QString body;
    QByteArray date;       // header value, see mailDate
    QByteArray messageId;  // header value with its angle brackets
};

// The header block and the body as sent after DATA, without the end marker. ASCII text goes as
// it is; anything else as UTF-8 in quoted-printable with an encoded-word subject. Line ends are
// CR LF, no line exceeds 998 octets and a leading "." is doubled, so no text ends the data early.
QByteArray composeMessage(const MailParts& parts);

// Pieces of composeMessage, open for tests.
QByteArray toDataLines(const QString& text);        // ASCII text: line ends, wrapping, dots
QByteArray quotedPrintableLines(const QString& text);  // UTF-8 quoted-printable, dots doubled
QByteArray subjectField(const QString& subject);    // the whole "Subject: ..." field, no CR LF

}  // namespace karvo::mailer
