// Delivery to a real SMTP server (aiosmtpd on 127.0.0.1), which decodes what it receives on
// its own: the message must arrive exactly as composed.
#include "MailerFixture.h"
#include "TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

using namespace karvo::test;

namespace {

// Keeps the raw message and what Python's own mail parser makes of it.
const char kServerScript[] = R"PY(
import asyncio, json, os, sys, threading
from email import message_from_bytes, policy
from aiosmtpd.smtp import SMTP

out = sys.argv[1]

def end_with_parent():
    sys.stdin.read()  # the test holds this pipe open for as long as it lives
    os._exit(0)

threading.Thread(target=end_with_parent, daemon=True).start()

class Keep:
    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content
        msg = message_from_bytes(raw, policy=policy.default)
        info = {"helo": session.host_name, "mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                "subject": str(msg["subject"]), "charset": msg.get_content_charset(),
                "body": msg.get_content(), "defects": [str(d) for d in msg.defects]}
        with open(os.path.join(out, "message.eml"), "wb") as f:
            f.write(raw)
        with open(os.path.join(out, "message.tmp"), "w", encoding="utf-8") as f:
            json.dump(info, f)
        os.replace(os.path.join(out, "message.tmp"), os.path.join(out, "message.json"))
        return "250 2.0.0 Ok: queued"

async def main():
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(Keep(), hostname="mail.test"), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()

asyncio.run(main())
)PY";

// The Python that has aiosmtpd: Debian's, whatever else comes first on the PATH.
QString pythonWithAiosmtpd()
{
    for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")})
        if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")}) == 0)
            return python;
    return {};
}

}  // namespace

class RealSmtpServer : public MailerFixture {
protected:
    void SetUp() override
    {
        MailerFixture::SetUp();
        const QString python = pythonWithAiosmtpd();
        ASSERT_FALSE(python.isEmpty()) << "python3-aiosmtpd is missing: run scripts/deps.sh to install it";
        writeFile(dir / "server.py", kServerScript);
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(python, {QString::fromStdString((dir / "server.py").string()), QString::fromStdString(dir.str())});
        ASSERT_TRUE(server.waitForStarted(15000));
        ASSERT_TRUE(waitFor([&] { return server.canReadLine(); })) << "the mail server did not start";
        const quint16 port = server.readLine().trimmed().toUShort();
        ASSERT_NE(port, 0);
        useServer(port);
    }
    void TearDown() override
    {
        server.kill();
        server.waitForFinished(5000);
        MailerFixture::TearDown();
    }

    // Sends the filled form and returns what the server made of the message.
    QJsonObject deliver()
    {
        click("cmdSend");
        const std::filesystem::path json = dir / "message.json";
        EXPECT_TRUE(waitFor([&] { return !boxes.shown.empty(); }));
        if (boxes.shown.empty())
            return {};
        EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Message Sent")) << boxes.shown[0].text.toStdString();
        EXPECT_TRUE(std::filesystem::exists(json));
        return QJsonDocument::fromJson(QByteArray::fromStdString(readFile(json))).object();
    }

    TempDir dir;
    QProcess server;
};

TEST_F(RealSmtpServer, ReceivesTheMessageExactly)
{
    fillDefaults();
    auto* comments = control<QPlainTextEdit>("txtComments");
    // A lone dot, a dotted line and a line longer than mail allows.
    comments->setPlainText(QStringLiteral("First\n.\n.two\n") + QString(1200, u'x'));
    const QJsonObject info = deliver();
    EXPECT_EQ(info[QStringLiteral("helo")].toString(), QStringLiteral("[127.0.0.1]"));
    EXPECT_EQ(info[QStringLiteral("mail_from")].toString(), QStringLiteral("ann@a.example"));
    EXPECT_EQ(info[QStringLiteral("rcpt_tos")].toArray(), QJsonArray({QStringLiteral("bob@b.example")}));
    EXPECT_EQ(info[QStringLiteral("defects")].toArray(), QJsonArray());

    QByteArray raw = QByteArray::fromStdString(readFile(dir / "message.eml"));
    static const QRegularExpression date(
        QStringLiteral("\r\nDate: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|"
                       "Dec) \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\r\n"));
    static const QRegularExpression id(QStringLiteral("\r\nMessage-ID: <[0-9a-f-]{36}@mail\\.tolvane\\.example>\r\n"));
    QString text = QString::fromLatin1(raw);
    EXPECT_TRUE(text.contains(date)) << raw.toStdString();
    EXPECT_TRUE(text.contains(id)) << raw.toStdString();
    text.replace(date, QStringLiteral("\r\nDate: *\r\n")).replace(id, QStringLiteral("\r\nMessage-ID: *\r\n"));
    const QString expected =
        QStringLiteral("From: <ann@a.example>\r\n"
                       "To: bob@b.example\r\n"
                       "Subject: From: Ann -  I'm using a new program\r\n"
                       "Date: *\r\n"
                       "Message-ID: *\r\n"
                       "X-Mailer: TolvaneTellaFriend\r\n"
                       "Mime-Version: 1.0\r\n"
                       "Content-Type: text/plain;\tcharset=us-ascii\r\n"
                       "\r\n"
                       "Hi Bob,\r\n"
                       "\r\n"
                       "I just wanted to let you know that I'm using Karvo Backup and I thought you might like to "
                       "try it.  So far, I'm impressed with it enough to recommend it to you.\r\n"
                       "\r\n"
                       "First\r\n"
                       ".\r\n"
                       ".two\r\n") +
        QString(998, u'x') + QStringLiteral("\r\n") + QString(202, u'x') +
        QStringLiteral("\r\n"
                       "\r\n"
                       "It's easy to download and use, so do it now! Just click on the link below for more "
                       "information:\r\n"
                       "\r\n"
                       "Karvo Backup\r\n"
                       "https://www.tolvane.example/karvo-backup/\r\n"
                       "\r\n"
                       "Tolvane has about 150 other programs, most of which are Freeware.  Check any of these 3 "
                       "mirrors:\r\n"
                       "\r\n"
                       "https://www.tolvane.example/\r\n"
                       "https://mirror1.tolvane.example/\r\n"
                       "https://mirror2.tolvane.example/\r\n"
                       "\r\n"
                       "Have Fun There!\r\n"
                       "Ann\r\n");
    EXPECT_EQ(text.toStdString(), expected.toStdString());
}

TEST_F(RealSmtpServer, TextBeyondAsciiArrivesAsUtf8)
{
    fill(QStringLiteral("B"), QStringLiteral("bjorn@b.example"), QStringLiteral("Zo"), QStringLiteral("zoe@z.example"));
    // Accented letters come in as a keyboard layout would give them; the test keyboard has none.
    field("txtFriendsName")->insert(QStringLiteral("jörn"));
    field("txtName")->insert(QStringLiteral("ë"));
    control<QPlainTextEdit>("txtComments")->setPlainText(QStringLiteral("Grüße aus Köln\n.\n€ 5"));
    const QJsonObject info = deliver();
    EXPECT_EQ(info[QStringLiteral("subject")].toString(), QStringLiteral("From: Zoë -  I'm using a new program"));
    EXPECT_EQ(info[QStringLiteral("charset")].toString(), QStringLiteral("utf-8"));
    EXPECT_EQ(info[QStringLiteral("defects")].toArray(), QJsonArray());
    const QString body = info[QStringLiteral("body")].toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_TRUE(body.startsWith(QStringLiteral("Hi Björn,\n\nI just wanted"))) << body.toStdString();
    EXPECT_TRUE(body.contains(QStringLiteral("recommend it to you.\n\nGrüße aus Köln\n.\n€ 5\n\nIt's easy")))
        << body.toStdString();
    EXPECT_TRUE(body.endsWith(QStringLiteral("Have Fun There!\nZoë\n"))) << body.toStdString();
    for (char c : QByteArray::fromStdString(readFile(dir / "message.eml")))
        EXPECT_EQ(static_cast<unsigned char>(c) & 0x80, 0);
}
