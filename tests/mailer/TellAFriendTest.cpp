// The tell-a-friend window, and its SMTP sessions with a scripted server on 127.0.0.1.
#include "MailerFixture.h"

#include <QRegularExpression>

#include <algorithm>

using namespace karvo::test;
using karvo::platform::vbInformation;
using karvo::platform::vbOKOnly;

namespace {

// Each reply line comes in its own piece, some lines in two: a reply taken at its first line end,
// or a piece taken for a whole line, puts the dialogue out of step.
const QList<Reply> kGoodScript = {{"22", "0-mail.test welcome\r\n", "220 ready\r\n"},
                                  {"250-mail.test\r\n", "250-PIPELINING\r\n", "250 HELP\r\n"},
                                  {"250 O", "k\r\n"},
                                  {"250-Ok\r\n", "250 Recipient ok\r\n"},
                                  {"354 ", "go\r\n"},
                                  {"250 2.0.0 Ok: queued\r\n"},
                                  {"221 2.0.0 Bye\r\n"}};
const QList<QByteArray> kCommands = {"HELO [127.0.0.1]", "MAIL FROM:<ann@a.example>", "RCPT TO:<bob@b.example>",
                                     "DATA"};
const QString kTitle = "Karvo Backup";
const QString kNotSent = "Message Not Sent";

}  // namespace

using TellAFriendForm = MailerFixture;

TEST_F(TellAFriendForm, OpensReadyWithTheThirdSubjectChosenAtAFixedSize) {
    EXPECT_EQ(form->windowTitle(), "Tell a Friend About Karvo Backup");
    auto* subject = control<QComboBox>("cboSubject");
    QStringList entries;
    for (int i = 0; i < subject->count(); ++i)
        entries << subject->itemText(i);
    EXPECT_EQ(entries, QStringList({" I Highly Recommend It!", " I Thought You'd Want To See This",
                                    " I'm using a new program", " This seems like a good one",
                                    " Check Out This Program"}));
    EXPECT_EQ(subject->currentIndex(), 2);
    EXPECT_EQ(status(), "Status - Ready");
    EXPECT_TRUE(sendEnabled());
    EXPECT_EQ(control<QLabel>("Label6")->text(), "Tolvane does not collect email address's");

    // 6840 by 5820 twips of client area, and no way to resize it.
    EXPECT_EQ(form->size(), QSize(twips(6840, form->logicalDpiX()), twips(5820, form->logicalDpiY())));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    // The focus starts in the friend's name; Tab walks the entries (out of the comments too),
    // then the buttons.
    EXPECT_EQ(tabWalk(8), QStringList({"txtFriendsName", "txtFriend", "txtName", "txtFrom", "cboSubject",
                                       "txtComments", "cmdSend", "cmdExit"}));
}

TEST_F(TellAFriendForm, EachEntryIsCheckedInTurnBeforeAnyConnection) {
    ScriptedServer server({{"220 ready\r\n"}});
    useServer(server.port());
    const QString friendsAddress = "Please check your friend's email address     ";
    const QString ownAddress = "Please check your email address     ";
    // Each step puts one text into one entry and presses Send, which stops at the next check.
    struct Step {
        const char* entry;
        QString text;
        QString caption;
        QString message;
        const char* focus;
    };
    const Step steps[] = {
        {"cboSubject", "Please Choose a Subject", "No Subject Chosen", "You must choose a Subject for the email     ",
         "cboSubject"},
        {"cboSubject", " I'm using a new program", "No Name", "Please enter your friend's name     ",
         "txtFriendsName"},
        {"txtFriendsName", " ", "No Email Address", "Please enter your friend's email address     ", "txtFriend"},
        {"txtFriend", "bob@b.example", "No Name", "Please enter your name     ", "txtName"},
        {"txtName", "Ann", "No Email Address", "Please enter your email address     ", "txtFrom"},
        // Addresses that could break a command or a header line.
        {"txtFrom", "<ann@a.example>", "Invalid Email Address", ownAddress, "txtFrom"},
        {"txtFrom", "ann@a.example>\r\nDATA", "Invalid Email Address", ownAddress, "txtFrom"},
        {"txtFrom", "anné@a.example", "Invalid Email Address", ownAddress, "txtFrom"},
        {"txtFriend", "bob smith@b.example", "Invalid Email Address", friendsAddress, "txtFriend"},
        {"txtFriend", "bob@b.example\r\nRCPT TO:<eve@evil.example>", "Invalid Email Address", friendsAddress,
         "txtFriend"},
    };
    for (const Step& step : steps) {
        if (std::string_view(step.entry) == "cboSubject")
            control<QComboBox>(step.entry)->setEditText(step.text);
        else
            control(step.entry)->setText(step.text);
        click("cmdSend");
        EXPECT_EQ(takeBoxes(boxes), Boxes{box(step.caption, vbInformation, step.message)});
        EXPECT_EQ(focusName(), step.focus) << step.text.toStdString();
        EXPECT_EQ(status(), "Status - Ready");
        EXPECT_TRUE(sendEnabled());
    }
    EXPECT_EQ(control("txtFriendsName")->text(), " ");  // entries stay as typed
    QTest::qWait(50);
    EXPECT_EQ(server.connections, 0);
}

class SmtpSession : public MailerFixture {
protected:
    void send(const ScriptedServer& server) {
        useServer(server.port());
        click("cmdSend");
    }
    QTcpSocket* socket() const { return child<QTcpSocket>(form.get(), "Winsock1"); }
};

TEST_F(SmtpSession, DeliversTheMessageExactlyAndClosesTheWindow) {
    ScriptedServer server(kGoodScript);
    QList<QByteArray> seen;  // the status line as each command reaches the server
    server.onReceived = [&](const QByteArray& what) { seen << what + " / " + status().toUtf8(); };
    fill();
    // Pasted: the line break must not make a header field of the rest.
    control("txtName")->setText("Ann\r\nBcc: eve@evil.example");
    // A lone dot, a dotted line and a line longer than mail allows.
    control<QPlainTextEdit>("txtComments")->setPlainText("First\n.\n.two\n" + QString(1200, u'x'));
    send(server);
    EXPECT_EQ(status(), "Connecting...");
    EXPECT_FALSE(sendEnabled());
    ASSERT_TRUE(waitFor([&] { return !boxes.shown.empty(); }));
    EXPECT_EQ(takeBoxes(boxes), Boxes{box("Message Sent", vbInformation,
                                          "Your Message has been Sent Successfully.     \r\n\r\n"
                                          "Thanks for telling a friend about Karvo Backup     ")});
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(waitFor([&] { return server.clientGone; }));
    EXPECT_EQ(server.commands, kCommands + QList<QByteArray>{"QUIT"});
    EXPECT_EQ(seen, QList<QByteArray>({"HELO [127.0.0.1] / Receiving Welcome Message",
                                       "MAIL FROM:<ann@a.example> / Receiving Welcome Message",
                                       "RCPT TO:<bob@b.example> / Receiving Welcome Message",
                                       "DATA / Receiving Welcome Message", "<message> / Sending Mail . . .",
                                       "QUIT / Message Sent"}));

    // The date and the id change with every message; the date's own form is checked on its own.
    static const QRegularExpression changing("\r\nDate: [^\r\n]+ [+-]\\d{4}\r\n"
                                             "Message-ID: <[0-9a-f-]{36}@mail\\.tolvane\\.example>\r\n");
    QString text = QString::fromLatin1(server.message);
    EXPECT_TRUE(text.contains(changing)) << server.message.toStdString();
    text.replace(changing, "\r\nDate: *\r\nMessage-ID: *\r\n");
    // The header exactly; of the body its lines as sent: the entries in place, dots doubled, a long
    // line wrapped at 998 and no line end after the sender's name.
    const QString header = "From: <ann@a.example>\r\nTo: bob@b.example\r\n"
                           "Subject: From: Ann  Bcc: eve@evil.example -  I'm using a new program\r\n"
                           "Date: *\r\nMessage-ID: *\r\nX-Mailer: TolvaneTellaFriend\r\nMime-Version: 1.0\r\n"
                           "Content-Type: text/plain;\tcharset=us-ascii\r\n\r\n";
    EXPECT_TRUE(text.startsWith(header + "Hi Bob,\r\n\r\nI just wanted to let you know that I'm using Karvo Backup"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("recommend it to you.\r\n\r\nFirst\r\n..\r\n..two\r\n" + QString(998, u'x') + "\r\n" +
                              QString(202, u'x') + "\r\n\r\nIt's easy to download"));
    EXPECT_TRUE(text.contains("\r\n\r\nKarvo Backup\r\nhttps://www.tolvane.example/karvo-backup/\r\n\r\n"));
    EXPECT_TRUE(text.endsWith("\r\nhttps://mirror2.tolvane.example/\r\n\r\nHave Fun There!\r\nAnn\r\n"
                              "Bcc: eve@evil.example\r\n"));
    EXPECT_EQ(text.count("\r\n"), 33);
    EXPECT_EQ(text.count('\n'), 33);
}

TEST_F(SmtpSession, AnUnexpectedReplyOrAHangUpAtAnyStepIsReportedAndTheFormStaysOpen) {
    const QString refused = "Server returned the following error:\r\n";
    const struct {
        qsizetype step;  // the replies of the good script that come first
        QByteArray reply;
        QString shown;
    } cases[] = {
        // What follows a refusal must not be taken for the next session's greeting.
        {0, "554 5.3.2 Too busy\r\n220 left over\r\n", refused + "554 5.3.2 Too busy\r\n"},
        {1, "Go away\r\n", refused + "Go away\r\n"},
        {1, kHangUp, "The remote host closed the connection"},
        {2, "553 5.1.8 Sender rejected\r\n", refused + "553 5.1.8 Sender rejected\r\n"},
        {3, "550 5.1.1 No such user\r\n", refused + "550 5.1.1 No such user\r\n"},
        {4, "250 2.0.0 Ok\r\n", refused + "250 2.0.0 Ok\r\n"},  // a good code at the wrong turn
        {5, "552 5.3.4 Too big\r\n", refused + "552 5.3.4 Too big\r\n"},
    };
    fill();
    for (const auto& c : cases) {
        ScriptedServer server(kGoodScript.mid(0, c.step) << Reply{c.reply});
        send(server);
        ASSERT_TRUE(waitFor([&] { return finished(); })) << c.reply.toStdString();
        EXPECT_EQ(takeBoxes(boxes), Boxes{box(kTitle, vbOKOnly, c.shown)});
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(status(), kNotSent);
        EXPECT_EQ(server.commands, kCommands.mid(0, c.step)) << c.reply.toStdString();
        EXPECT_EQ(control("txtFriend")->text(), "bob@b.example");
        EXPECT_EQ(socket()->state(), QAbstractSocket::UnconnectedState);
    }
    useServer(closedPort());
    click("cmdSend");
    ASSERT_TRUE(waitFor([&] { return finished(); }));
    EXPECT_EQ(takeBoxes(boxes), Boxes{box(kTitle, vbOKOnly, "Connection refused")});
    EXPECT_EQ(status(), kNotSent);
}

TEST_F(SmtpSession, ASilentServerIsLeftQuietlyOnCancelAndOtherwiseTimesOutOnce) {
    // Boxes that stay open a while, as a person takes time to read: ticks go on meanwhile.
    struct SlowBoxes : karvo::platform::RecordingMessageBoxes {
        int show(QWidget* parent, const QString& text, int style, const QString& caption) override {
            const int answer = RecordingMessageBoxes::show(parent, text, style, caption);
            QTest::qWait(150);
            return answer;
        }
    } slow;
    ScriptedServer server({});  // connected, but no greeting ever comes
    fill();
    send(server);
    ASSERT_TRUE(waitFor([&] { return status() == "Connected"; }));
    EXPECT_FALSE(sendEnabled());
    click("cmdExit");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(socket()->state(), QAbstractSocket::UnconnectedState);
    EXPECT_TRUE(waitFor([&] { return server.clientGone; }));
    // Reopened, the window is loaded afresh: the entries did not survive closing.
    form->show();
    EXPECT_EQ(status(), "Status - Ready");
    EXPECT_TRUE(sendEnabled());
    for (const char* name : kEntries)
        EXPECT_TRUE(control(name)->text().isEmpty()) << name;

    fill();
    useServer(server.port(), 2);
    click("cmdSend");
    ASSERT_TRUE(waitFor([&] { return !slow.shown.empty() && sendEnabled(); }));
    QTest::qWait(150);
    EXPECT_EQ(takeBoxes(slow),  // one, and none for the session cancelled
              Boxes{box(kTitle, vbOKOnly, "Could not connect to host!     \r\nPlease try again later.     ")});
    EXPECT_EQ(status(), kNotSent);
    EXPECT_FALSE(child<QTimer>(form.get(), "Timer1")->isActive());
    EXPECT_EQ(socket()->state(), QAbstractSocket::UnconnectedState);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(SmtpSession, TextBeyondAsciiGoesAsUtf8AndAWindowDeletedOnCloseOutlivesItsDelivery) {
    ScriptedServer server(kGoodScript);
    useServer(server.port());
    fill({"B", "bjorn@b.example", "Zo", "zoe@z.example"});
    // Accented letters come in as a keyboard layout would give them; the test keyboard has none.
    control("txtFriendsName")->insert("jörn");
    control("txtName")->insert("ë");
    control<QComboBox>("cboSubject")->setEditText("Have a look");  // a typed subject is used as typed
    control<QPlainTextEdit>("txtComments")->setPlainText("Grüße aus Köln\n.\n€ 5");
    form->setAttribute(Qt::WA_DeleteOnClose);  // as the main window keeps it
    QPointer<frmBugReport> window(form.release());
    QTest::mouseClick(child<QPushButton>(window, "cmdSend"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return window.isNull(); }));
    EXPECT_EQ(boxes.shown.at(0).caption, "Message Sent");
    ASSERT_TRUE(waitFor([&] { return server.clientGone; }));

    const QByteArray& raw = server.message;
    EXPECT_TRUE(std::none_of(raw.begin(), raw.end(), [](char c) { return c & 0x80; })) << raw.toStdString();
    const qsizetype bodyStart = raw.indexOf("\r\n\r\n") + 4;
    EXPECT_TRUE(raw.contains("\r\nSubject: =?UTF-8?B?" + QByteArray("From: Zoë - Have a look").toBase64() + "?=\r\n"));
    EXPECT_TRUE(raw.left(bodyStart).endsWith("\r\nContent-Type: text/plain;\tcharset=utf-8\r\n"
                                             "Content-Transfer-Encoding: quoted-printable\r\n\r\n"));
    const QString body = QString::fromUtf8(decodeQuotedPrintable(raw.mid(bodyStart)));
    EXPECT_TRUE(body.startsWith("Hi Björn,\n") && body.endsWith("Have Fun There!\nZoë\n") &&
                body.contains("recommend it to you.\n\nGrüße aus Köln\n.\n€ 5\n\nIt's easy"))
        << body.toStdString();
}
