// Reply framing and the wire form of the recommendation, without a socket.
#include "MailerFixture.h"
#include "mailer/SmtpText.h"

#include <QHostAddress>
#include <QLocale>
#include <QTimeZone>


using namespace karvo::mailer;
using karvo::test::decodeQuotedPrintable;
using karvo::test::unstuff;

TEST(SmtpReply, IsCompleteOnlyAfterItsLastLineAndHasTheCodeOfItsFirst) {
    struct Case {
        QByteArray buffer;
        qsizetype length;
        int code;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"25", 0, 25},
        {"220 ready\r", 0, 220},
        {"220 ready\r\n", 11, 220},
        {"354\r\n", 5, 354},
        {"250-first\r\n", 0, 250},
        {"250-mail.example\r\n250-SIZE\r\n250 HELP\r", 0, 250},
        {"250-first\r\n250 last\r\n354 next\r\n", 21, 250},  // the rest is the next reply
        {" 220 starts with a blank\r\n", 26, 0},
        {"OK fine\r\n", 9, 0},
        {"99999999999999999999 overflow\r\n", 31, INT_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(completeReplyLength(c.buffer), c.length) << c.buffer.toStdString();
        EXPECT_EQ(replyCode(c.buffer), c.code) << c.buffer.toStdString();
    }
}

TEST(MailText, DataLinesEndInCrLfDoubleLeadingDotsAndStayWithinTheLimit) {
    EXPECT_EQ(toDataLines("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
    // A lone "." would otherwise end the message and hand the rest to the server as commands.
    EXPECT_EQ(toDataLines("x\n.\nQUIT\n.hidden\nend."), "x\r\n..\r\nQUIT\r\n..hidden\r\nend.");
    EXPECT_EQ(toDataLines(QString()), "");
    EXPECT_EQ(toDataLines(QString(998, u'c')).size(), 998);  // a line at the limit is left whole

    for (const QString& line : {QString(2500, u'a'), u'.' + QString(1500, u'b')}) {
        QByteArray joined;
        for (QByteArray piece : toDataLines(line).split('\n')) {
            if (piece.endsWith('\r'))
                piece.chop(1);
            EXPECT_LE(piece.size(), 998);
            joined += unstuff(piece);
        }
        EXPECT_EQ(joined, line.toLatin1());
    }
}

TEST(MailText, QuotedPrintableRoundTripsAndKeepsLinesShort) {
    EXPECT_EQ(quotedPrintableLines("Grüße\n.x\na = b "), "Gr=C3=BC=C3=9Fe\r\n..x\r\na =3D b=20");
    for (const QString& text : {QString(100, u'é'), "Zoë says: " + QString(300, u'z') + "\n\n.\nend 💾",
                                QString(80, u'.')}) {
        const QByteArray wire = quotedPrintableLines(text);
        for (const QByteArray& line : wire.split('\n')) {
            EXPECT_LE(line.size(), 78);  // 76 characters, a doubled dot and the CR
            EXPECT_NE(line.trimmed(), ".");
        }
        EXPECT_EQ(QString::fromUtf8(decodeQuotedPrintable(wire)), text);
    }
}

TEST(MailText, SubjectFieldNeverCarriesControlsAndEncodesWhatIsNotAscii) {
    EXPECT_EQ(subjectField("From: Ann -  I'm using a new program"), "Subject: From: Ann -  I'm using a new program");
    EXPECT_EQ(subjectField("From: Ann\r\nBcc: eve@evil.example - x"), "Subject: From: Ann  Bcc: eve@evil.example - x");

    for (const QString& subject : {QString("From: Zoë -  I'm using a new program"), QString(200, u'ü'),
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

TEST(MailText, DateIsEnglishWhateverTheLocaleAndHeloNamesTheLocalAddress) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(mailDate(QDateTime(QDate(2026, 12, 6), QTime(18, 49, 6), QTimeZone(3600))),
              "Sun, 06 Dec 2026 18:49:06 +0100");
    EXPECT_EQ(mailDate(QDateTime(QDate(2027, 3, 1), QTime(7, 5, 0), QTimeZone(-(5 * 3600 + 1800)))),
              "Mon, 01 Mar 2027 07:05:00 -0530");
    QLocale::setDefault(saved);

    EXPECT_EQ(heloArgument(QHostAddress(QHostAddress::LocalHost)), "[127.0.0.1]");
    EXPECT_EQ(heloArgument(QHostAddress("::ffff:10.0.0.7")), "[10.0.0.7]");
    EXPECT_EQ(heloArgument(QHostAddress(QHostAddress::LocalHostIPv6)), "[IPv6:::1]");
    EXPECT_EQ(heloArgument(QHostAddress("fe80::1%1")), "[IPv6:fe80::1]");
}
