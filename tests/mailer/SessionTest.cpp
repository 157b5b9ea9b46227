// The SMTP session against a scripted server on 127.0.0.1: every turn of the dialogue, replies
// that arrive in pieces, silence, a hang-up, a refused connection and Cancel.
#include "MailerFixture.h"

#include <QTcpSocket>
#include <QTimer>

using namespace karvo::test;
using karvo::platform::vbInformation;
using karvo::platform::vbOKOnly;

namespace {

const QString kTitle = QStringLiteral("Karvo Backup");

QList<Reply> goodScript()
{
    return {{"220 mail.test ESMTP ready\r\n"}, {"250 mail.test\r\n"},  {"250 2.1.0 Ok\r\n"},
            {"250 2.1.5 Ok\r\n"},               {"354 End data\r\n"},   {"250 2.0.0 Ok: queued\r\n"},
            {"221 2.0.0 Bye\r\n"}};
}

const QList<QByteArray> kCommands = {"HELO [127.0.0.1]", "MAIL FROM:<ann@a.example>", "RCPT TO:<bob@b.example>",
                                     "DATA"};

}  // namespace

class SmtpSession : public MailerFixture {
protected:
    bool finished() const { return sendEnabled() || !form->isVisible(); }
    QTcpSocket* socket() const { return form->findChild<QTcpSocket*>(QStringLiteral("Winsock1")); }
};

TEST_F(SmtpSession, DeliversTheMessageAndClosesTheWindow)
{
    ScriptedServer server(goodScript());
    useServer(server.port());
    QList<QByteArray> seen;  // the status line as each command reaches the server
    server.onReceived = [&](const QByteArray& what) { seen << what + " / " + status().toUtf8(); };

    fillDefaults();
    click("cmdSend");

    ASSERT_TRUE(waitFor([&] { return !boxes.shown.empty(); }));
    ASSERT_EQ(boxes.shown.size(), 1u) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Your Message has been Sent Successfully.     \r\n\r\n"
                             "Thanks for telling a friend about Karvo Backup     "));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Message Sent"));
    EXPECT_EQ(boxes.shown[0].style, vbInformation);
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(waitFor([&] { return server.commands.size() == 5 && server.clientGone; }));
    EXPECT_EQ(server.commands, kCommands + QList<QByteArray>{"QUIT"});
    EXPECT_EQ(seen, QList<QByteArray>({"HELO [127.0.0.1] / Receiving Welcome Message",
                                       "MAIL FROM:<ann@a.example> / Receiving Welcome Message",
                                       "RCPT TO:<bob@b.example> / Receiving Welcome Message",
                                       "DATA / Receiving Welcome Message", "<message> / Sending Mail . . .",
                                       "QUIT / Message Sent"}));
}

TEST_F(SmtpSession, AWindowThatDeletesItselfOnCloseOutlivesItsDelivery)
{
    ScriptedServer server(goodScript());
    useServer(server.port());
    fillDefaults();
    form->setAttribute(Qt::WA_DeleteOnClose);  // as the main window keeps it
    QPointer<frmBugReport> window(form.release());
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdSend")), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return window.isNull(); }));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Message Sent"));
    EXPECT_TRUE(waitFor([&] { return server.clientGone; }));
}

TEST_F(SmtpSession, AnUnexpectedReplyAtAnyStepIsReportedAndTheFormStaysOpen)
{
    // A good code at the wrong turn is refused too: DATA answered as if it were done already.
    const QList<QByteArray> refusals = {"554 5.3.2 Too busy\r\n",      "Go away\r\n",
                                        "553 5.1.8 Sender rejected\r\n", "550 5.1.1 No such user\r\n",
                                        "250 2.0.0 Ok\r\n",              "552 5.3.4 Too big\r\n"};

    fillDefaults();
    for (qsizetype step = 0; step < refusals.size(); ++step) {
        QList<Reply> script = goodScript().mid(0, step);
        script << Reply{refusals[step]};
        ScriptedServer server(script);
        useServer(server.port());
        boxes.shown.clear();
        click("cmdSend");
        ASSERT_TRUE(waitFor([&] { return finished(); })) << step;
        ASSERT_EQ(boxes.shown.size(), 1u) << step;
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Server returned the following error:\r\n") +
                                           QString::fromLatin1(refusals[step]));
        EXPECT_EQ(boxes.shown[0].caption, kTitle);
        EXPECT_EQ(boxes.shown[0].style, vbOKOnly);
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(status(), QStringLiteral("Message Not Sent"));
        EXPECT_EQ(server.commands, kCommands.mid(0, step)) << step;
        EXPECT_EQ(field("txtFriend")->text(), QStringLiteral("bob@b.example"));
        EXPECT_EQ(socket()->state(), QAbstractSocket::UnconnectedState);
    }
}

TEST_F(SmtpSession, RepliesInPiecesAndMultiLineRepliesKeepTheDialogueInStep)
{
    // Each reply line comes in its own piece; taking a reply at its first line end would answer
    // MAIL FROM with the rest of the HELO reply and fail at DATA.
    ScriptedServer server({{"22", "0-mail.test welcome\r\n", "220 ready\r\n"},
                           {"250-mail.test\r\n", "250-PIPELINING\r\n", "250 HELP\r\n"},
                           {"250 O", "k\r\n"},
                           {"250-Ok\r\n", "250 Recipient ok\r\n"},
                           {"354 ", "go\r\n"},
                           {"250 queued\r\n"}});
    useServer(server.port());
    fillDefaults();
    click("cmdSend");
    ASSERT_TRUE(waitFor([&] { return !boxes.shown.empty(); }));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Message Sent")) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(server.commands.mid(0, 4), kCommands);
}

TEST_F(SmtpSession, AServerThatNeverAnswersTimesOutOnce)
{
    // Boxes that stay open a while, as a person takes time to read: ticks go on meanwhile.
    struct SlowBoxes : karvo::platform::RecordingMessageBoxes {
        int show(QWidget* parent, const QString& text, int style, const QString& caption) override
        {
            const int answer = RecordingMessageBoxes::show(parent, text, style, caption);
            QTest::qWait(150);
            return answer;
        }
    } slow;
    ScriptedServer server({});
    useServer(server.port(), 2);
    fillDefaults();
    click("cmdSend");
    ASSERT_TRUE(waitFor([&] { return !slow.shown.empty() && sendEnabled(); }));
    QTest::qWait(150);
    ASSERT_EQ(slow.shown.size(), 1u);
    EXPECT_EQ(slow.shown[0].text, QStringLiteral("Could not connect to host!     \r\nPlease try again later.     "));
    EXPECT_EQ(slow.shown[0].caption, kTitle);
    EXPECT_EQ(slow.shown[0].style, vbOKOnly);
    EXPECT_EQ(status(), QStringLiteral("Message Not Sent"));
    EXPECT_FALSE(form->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(waitFor([&] { return server.clientGone; }));
}

TEST_F(SmtpSession, AServerThatHangsUpOrAConnectionRefusedIsReported)
{
    fillDefaults();
    {
        ScriptedServer server({{"220 ready\r\n"}, {kHangUp}});
        useServer(server.port());
        click("cmdSend");
        ASSERT_TRUE(waitFor([&] { return finished(); }));
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_FALSE(boxes.shown[0].text.isEmpty());
        EXPECT_FALSE(boxes.shown[0].text.startsWith(QStringLiteral("Server returned")));
        EXPECT_EQ(boxes.shown[0].caption, kTitle);
        EXPECT_EQ(boxes.shown[0].style, vbOKOnly);
        EXPECT_EQ(status(), QStringLiteral("Message Not Sent"));
        EXPECT_EQ(server.commands, QList<QByteArray>{"HELO [127.0.0.1]"});
    }
    boxes.shown.clear();
    useServer(closedPort());
    click("cmdSend");
    ASSERT_TRUE(waitFor([&] { return finished(); }));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Connection refused"));
    EXPECT_EQ(boxes.shown[0].caption, kTitle);
    EXPECT_EQ(boxes.shown[0].style, vbOKOnly);
    EXPECT_EQ(status(), QStringLiteral("Message Not Sent"));
    EXPECT_TRUE(form->isVisible());
}

TEST_F(SmtpSession, CancelDuringAWaitEndsTheSessionSilently)
{
    ScriptedServer server({{"220 ready\r\n"}});
    useServer(server.port());
    fillDefaults();
    click("cmdSend");
    ASSERT_TRUE(waitFor([&] { return server.commands.size() == 1; }));
    EXPECT_EQ(status(), QStringLiteral("Receiving Welcome Message"));
    EXPECT_FALSE(sendEnabled());
    click("cmdExit");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(socket()->state(), QAbstractSocket::UnconnectedState);
    EXPECT_TRUE(waitFor([&] { return server.clientGone; }));
    QTest::qWait(50);
    EXPECT_TRUE(boxes.shown.empty());

    // Reopened, the window is loaded afresh: the entries did not survive closing.
    form->show();
    EXPECT_EQ(status(), QStringLiteral("Status - Ready"));
    EXPECT_TRUE(sendEnabled());
    for (const char* name : {"txtFriendsName", "txtFriend", "txtName", "txtFrom"})
        EXPECT_TRUE(field(name)->text().isEmpty()) << name;
}

TEST_F(SmtpSession, ALeftoverReplyIsNeverTakenForTheNextGreeting)
{
    fillDefaults();
    {
        ScriptedServer first({{"554 busy\r\n220 left over\r\n"}});
        useServer(first.port());
        click("cmdSend");
        ASSERT_TRUE(waitFor([&] { return finished(); }));
    }
    ScriptedServer second({{"220 ready\r\n"}, {"550 not today\r\n"}});
    useServer(second.port());
    click("cmdSend");
    ASSERT_TRUE(waitFor([&] { return finished() && boxes.shown.size() == 2; }));
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("Server returned the following error:\r\n550 not today\r\n"));
    EXPECT_EQ(second.commands, QList<QByteArray>{"HELO [127.0.0.1]"});
}

TEST_F(SmtpSession, EntriesCannotAddHeaderFields)
{
    ScriptedServer server(goodScript());
    useServer(server.port());
    fillDefaults();
    field("txtName")->setText(QStringLiteral("Ann\r\nBcc: eve@evil.example"));  // pasted
    click("cmdSend");
    ASSERT_TRUE(waitFor([&] { return !boxes.shown.empty(); }));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Message Sent"));
    const QByteArray header = server.message.left(server.message.indexOf("\r\n\r\n") + 2);
    EXPECT_EQ(header.indexOf("\nBcc:"), -1) << header.toStdString();
    EXPECT_EQ(header.count('\n'), header.count("\r\n"));
    EXPECT_NE(header.indexOf("Subject: From: Ann  Bcc: eve@evil.example -  I'm using a new program\r\n"), -1)
        << header.toStdString();
}
