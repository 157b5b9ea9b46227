// Delivery to a real SMTP server (aiosmtpd on 127.0.0.1), which decodes what it receives on
// its own: text beyond ASCII must arrive exactly as written.
#include "MailerFixture.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>

using namespace karvo::test;

namespace {

// Keeps the raw message and what Python's own mail parser makes of it; ends with the test's pipe.
const char kServerScript[] = R"PY(
import asyncio, json, os, sys, threading
from email import message_from_bytes, policy
from aiosmtpd.smtp import SMTP
out = sys.argv[1]
threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()

class Keep:
    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content
        msg = message_from_bytes(raw, policy=policy.default)
        info = {"helo": session.host_name, "mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                "subject": str(msg["subject"]), "charset": msg.get_content_charset(),
                "body": msg.get_content(), "defects": [str(d) for d in msg.defects]}
        open(os.path.join(out, "message.eml"), "wb").write(raw)
        json.dump(info, open(os.path.join(out, "message.tmp"), "w", encoding="utf-8"))
        os.replace(os.path.join(out, "message.tmp"), os.path.join(out, "message.json"))
        return "250 2.0.0 Ok: queued"

async def main():
    server = await asyncio.get_running_loop().create_server(lambda: SMTP(Keep(), hostname="mail.test"),
                                                            "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()
asyncio.run(main())
)PY";

}  // namespace

class RealSmtpServer : public MailerFixture {
protected:
    void SetUp() override {
        MailerFixture::SetUp();
        // Debian's Python has aiosmtpd, whatever else comes first on the PATH.
        QString python = "/usr/bin/python3";
        ASSERT_EQ(QProcess::execute(python, {"-c", "import aiosmtpd"}), 0)
            << "python3-aiosmtpd is missing: run scripts/deps.sh to install it";
        writeFile(dir / "server.py", kServerScript);
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(python, {QString::fromStdString((dir / "server.py").string()), QString::fromStdString(dir.str())});
        ASSERT_TRUE(waitFor([&] { return server.canReadLine(); })) << "the mail server did not start";
        const quint16 port = server.readLine().trimmed().toUShort();
        ASSERT_NE(port, 0);
        useServer(port);
    }
    void TearDown() override {
        server.kill();
        server.waitForFinished(5000);
        MailerFixture::TearDown();
    }

    // Sends the filled form; what the server made of the message, and the raw message.
    QJsonObject deliver() {
        click("cmdSend");
        EXPECT_TRUE(waitFor([&] { return !boxes.shown.empty(); }));
        if (boxes.shown.empty())
            return {};
        EXPECT_EQ(boxes.shown[0].caption, "Message Sent") << boxes.shown[0].text.toStdString();
        raw = QByteArray::fromStdString(readFile(dir / "message.eml"));
        const QByteArray json = QByteArray::fromStdString(readFile(dir / "message.json"));
        const QJsonObject info = QJsonDocument::fromJson(json).object();
        EXPECT_EQ(info["defects"].toArray(), QJsonArray());
        return info;
    }

    TempDir dir;
    QProcess server;
    QByteArray raw;
};

TEST_F(RealSmtpServer, TextBeyondAsciiArrivesAsUtf8) {
    fill({"B", "bjorn@b.example", "Zo", "zoe@z.example"});
    // Accented letters come in as a keyboard layout would give them; the test keyboard has none.
    control("txtFriendsName")->insert("jörn");
    control("txtName")->insert("ë");
    control<QPlainTextEdit>("txtComments")->setPlainText("Grüße aus Köln\n.\n€ 5");
    const QJsonObject info = deliver();
    EXPECT_EQ(info["helo"].toString(), "[127.0.0.1]");
    EXPECT_EQ(info["mail_from"].toString(), "zoe@z.example");
    EXPECT_EQ(info["rcpt_tos"].toArray(), QJsonArray({"bjorn@b.example"}));
    EXPECT_EQ(info["subject"].toString(), "From: Zoë -  I'm using a new program");
    EXPECT_EQ(info["charset"].toString(), "utf-8");
    const QString body = info["body"].toString().replace("\r\n", "\n");
    EXPECT_TRUE(body.startsWith("Hi Björn,\n\nI just wanted")) << body.toStdString();
    EXPECT_TRUE(body.contains("recommend it to you.\n\nGrüße aus Köln\n.\n€ 5\n\nIt's easy"))
        << body.toStdString();
    EXPECT_TRUE(body.endsWith("Have Fun There!\nZoë\n")) << body.toStdString();
    EXPECT_TRUE(std::none_of(raw.begin(), raw.end(), [](char c) { return c & 0x80; })) << raw.toStdString();
}
