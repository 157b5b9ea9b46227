// Reply framing and the wire form of the recommendation, without a socket.
#include "mailer/SmtpText.h"

#include <QHostAddress>
#include <QLocale>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace karvo::mailer;

namespace {

// Undoes the dot doubling and joins the pieces of lines wrapped at the length limit.
QByteArray unstuff(const QByteArray& line) { return line.startsWith('.') ? line.mid(1) : line; }

// A small independent decoder, to check the encoder by round trip.
QByteArray decodeQuotedPrintable(const QByteArray& wire)
{
    QByteArray out;
    const QList<QByteArray> lines = wire.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray line = unstuff(lines[n].endsWith('\r') ? lines[n].chopped(1) : lines[n]);
        const bool soft = line.endsWith('=');
        if (soft)
            line.chop(1);
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (line[i] == '=') {
                out += QByteArray::fromHex(line.mid(i + 1, 2));
                i += 2;
            } else {
                out += line[i];
            }
        }
        if (!soft && n + 1 < lines.size())
            out += '\n';
    }
    return out;
}

}  // namespace

TEST(SmtpReply, IsCompleteOnlyAfterItsLastLine)
{
    struct Case {
        QByteArray buffer;
        qsizetype length;
    };
    const Case cases[] = {
        {"220 ready", 0},
        {"220 ready\r\n", 11},
        {"250\r\n", 5},
        {"250-first\r\n", 0},
        {"250-first\r\n250 last", 0},
        {"250-first\r\n250 last\r\n", 21},
        {"250-first\r\n250 last\r\n354 next\r\n", 21},  // the rest is the next reply
        {" 220 starts with a blank\r\n", 26},
        {"hello\r\n", 7},
    };
    for (const Case& c : cases)
        EXPECT_EQ(completeReplyLength(c.buffer), c.length) << c.buffer.toStdString();

    // Pieces as they may come off the wire: the reply stands only once the last one is in.
    QByteArray buffer;
    for (const QByteArray& piece : {QByteArray("25"), QByteArray("0-mail.example\r"), QByteArray("\n250-SIZE\r\n"),
                                   QByteArray("250 HELP")}) {
        buffer += piece;
        EXPECT_EQ(completeReplyLength(buffer), 0) << buffer.toStdString();
    }
    buffer += "\r\n";
    EXPECT_EQ(completeReplyLength(buffer), buffer.size());
    EXPECT_EQ(replyCode(buffer), 250);
}

TEST(SmtpReply, CodeIsTheNumberAtTheStartOfTheFirstWord)
{
    EXPECT_EQ(replyCode("220 mail.example ready\r\n"), 220);
    EXPECT_EQ(replyCode("250-first\r\n250 last\r\n"), 250);
    EXPECT_EQ(replyCode("354\r\n"), 354);
    EXPECT_EQ(replyCode(" 220 leading blank\r\n"), 0);
    EXPECT_EQ(replyCode("OK fine\r\n"), 0);
    EXPECT_EQ(replyCode(""), 0);
    EXPECT_EQ(replyCode("99999999999999999999 overflow\r\n"), INT_MAX);
}

TEST(MailText, DataLinesEndInCrLfDoubleLeadingDotsAndStayWithinTheLimit)
{
    EXPECT_EQ(toDataLines(QStringLiteral("a\nb\r\nc\rd")), "a\r\nb\r\nc\r\nd");
    // A lone "." would otherwise end the message and hand the rest to the server as commands.
    EXPECT_EQ(toDataLines(QStringLiteral("x\n.\nQUIT\n.hidden\nend.")), "x\r\n..\r\nQUIT\r\n..hidden\r\nend.");
    EXPECT_EQ(toDataLines(QString()), "");

    for (const QString& line : {QString(2500, u'a'), u'.' + QString(1500, u'b'), QString(998, u'c')}) {
        const QList<QByteArray> wire = toDataLines(line).split('\n');
        QByteArray joined;
        for (QByteArray piece : wire) {
            if (piece.endsWith('\r'))
                piece.chop(1);
            EXPECT_LE(piece.size(), 998);
            joined += unstuff(piece);
        }
        EXPECT_EQ(joined, line.toLatin1());
    }
    EXPECT_EQ(toDataLines(QString(998, u'c')).size(), 998);  // a line at the limit is left whole
}

TEST(MailText, QuotedPrintableRoundTripsAndKeepsLinesShort)
{
    EXPECT_EQ(quotedPrintableLines(QStringLiteral("Grüße\n.x\na = b ")), "Gr=C3=BC=C3=9Fe\r\n..x\r\na =3D b=20");
    const QString texts[] = {
        QString(100, u'é'),
        QStringLiteral("Zoë says: ") + QString(300, u'z') + QStringLiteral("\n\n.\nend 💾"),
        QString(80, u'.'),
    };
    for (const QString& text : texts) {
        const QByteArray wire = quotedPrintableLines(text);
        for (const QByteArray& line : wire.split('\n')) {
            EXPECT_LE(line.size(), 78);  // 76 characters, a doubled dot and the CR
            EXPECT_NE(line.trimmed(), ".");
        }
        EXPECT_EQ(QString::fromUtf8(decodeQuotedPrintable(wire)), text);
    }
}

TEST(MailText, SubjectFieldNeverCarriesControlsAndEncodesWhatIsNotAscii)
{
    EXPECT_EQ(subjectField(QStringLiteral("From: Ann -  I'm using a new program")),
              "Subject: From: Ann -  I'm using a new program");
    EXPECT_EQ(subjectField(QStringLiteral("From: Ann\r\nBcc: eve@evil.example - x")),
              "Subject: From: Ann  Bcc: eve@evil.example - x");

    for (const QString& subject : {QStringLiteral("From: Zoë -  I'm using a new program"), QString(200, u'ü'),
                                   QString(1200, u'a')}) {
        const QByteArray field = subjectField(subject);
        ASSERT_TRUE(field.startsWith("Subject: =?UTF-8?B?")) << field.toStdString();
        QByteArray decoded;
        for (const QByteArray& line : field.split('\n')) {
            const QByteArray word = line.mid(line.indexOf("=?")).trimmed();
            ASSERT_TRUE(word.startsWith("=?UTF-8?B?") && word.endsWith("?=")) << line.toStdString();
            EXPECT_LE(word.size(), 75);
            const QByteArray bytes = QByteArray::fromBase64(word.mid(10, word.size() - 12));
            // Each word decodes on its own: no UTF-8 sequence is split between two words.
            EXPECT_FALSE(QString::fromUtf8(bytes).contains(QChar::ReplacementCharacter));
            decoded += bytes;
        }
        EXPECT_EQ(QString::fromUtf8(decoded), subject);
    }
}

TEST(MailText, DateIsInTheEnglishFormWhateverTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QDate day(2026, 12, 6);
    EXPECT_EQ(mailDate(QDateTime(day, QTime(18, 49, 6), QTimeZone(3600))),
              "Sun, 06 Dec 2026 18:49:06 +0100");
    EXPECT_EQ(mailDate(QDateTime(QDate(2027, 3, 1), QTime(7, 5, 0), QTimeZone(-(5 * 3600 + 1800)))),
              "Mon, 01 Mar 2027 07:05:00 -0530");
    QLocale::setDefault(saved);
}

TEST(MailText, HeloNamesTheLocalAddressAsALiteral)
{
    EXPECT_EQ(heloArgument(QHostAddress(QHostAddress::LocalHost)), "[127.0.0.1]");
    EXPECT_EQ(heloArgument(QHostAddress(QStringLiteral("::ffff:10.0.0.7"))), "[10.0.0.7]");
    EXPECT_EQ(heloArgument(QHostAddress(QHostAddress::LocalHostIPv6)), "[IPv6:::1]");
    EXPECT_EQ(heloArgument(QHostAddress(QStringLiteral("fe80::1%1"))), "[IPv6:fe80::1]");
}
