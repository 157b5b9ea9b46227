// The tell-a-friend window and its SMTP sessions over a real socket, with a scripted server on
// 127.0.0.1 that never reaches the maker's real server.
#include "WindowChecks.h"
#include "ui/qt/frmBugReport.h"

#include <QComboBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <tuple>

using namespace karvo::mailer;
using namespace karvo::platform;
using namespace karvo::test;

namespace {

// One reply: its pieces are written 40 ms apart, so the client sees them arrive separately;
// the piece kHangUp closes the connection instead. An empty reply is silence.
using Reply = QList<QByteArray>;
const QByteArray kHangUp = QByteArrayLiteral("<hang up>");

// The first reply is the greeting, each later one answers the next command, the message after a
// 354 reply to DATA counting as one. When the script runs out the server stays silent.
class ScriptedServer : public QObject {
public:
    explicit ScriptedServer(QList<Reply> script) : script_(std::move(script)) {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                client_ = socket;
                connect(socket, &QTcpSocket::readyRead, this, &ScriptedServer::read);
                connect(socket, &QTcpSocket::disconnected, this, [this] { clientGone = true; });
                answer();
            }
        });
    }
    quint16 port() const { return server_.serverPort(); }

    QList<QByteArray> commands;  // command lines received, without their line end
    QByteArray message;          // what came between the DATA reply and the end marker
    bool clientGone = false;
    int pauseMs = 0;  // before each reply

private:
    void read() {
        inbox_ += client_->readAll();
        for (qsizetype end; (end = inbox_.indexOf(inData_ ? "\r\n.\r\n" : "\r\n")) >= 0; answer()) {
            const QByteArray got = inbox_.left(end);
            inbox_.remove(0, end + (inData_ ? 5 : 2));
            if (inData_)
                message = got + "\r\n";
            else
                commands << got;
            inData_ = !inData_ && got == "DATA" && script_.value(next_).value(0).startsWith("354");
        }
    }
    void answer() {
        if (next_ < script_.size())
            QTimer::singleShot(pauseMs, this, [this, reply = script_[next_++]] { write(reply, 0); });
    }
    void write(const Reply& pieces, qsizetype i) {
        if (!client_ || i >= pieces.size())
            return;
        if (pieces[i] == kHangUp)
            return client_->disconnectFromHost();
        client_->write(pieces[i]);
        client_->flush();
        QTimer::singleShot(40, this, [this, pieces, i] { write(pieces, i + 1); });
    }

    QTcpServer server_;
    QPointer<QTcpSocket> client_;
    QList<Reply> script_;
    qsizetype next_ = 0;
    QByteArray inbox_;
    bool inData_ = false;
};

// A loopback port that nothing listens on.
quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class MailerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        useServer(closedPort());
        form = std::make_unique<frmBugReport>();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override {
        form.reset();
        frmBugReport::clearTestServer();
    }

    // Sessions go to this loopback port; a tick of the reply timer lasts tickMs.
    static void useServer(quint16 port, int tickMs = 60000) {
        frmBugReport::setTestServer(QStringLiteral("127.0.0.1"), port, tickMs);
    }

    template <class T = QLineEdit>
    T* control(const char* name) const { return child<T>(form.get(), name); }
    QString status() const { return control<QLabel>("lblStatus")->text(); }
    bool sendEnabled() const { return control<QPushButton>("cmdSend")->isEnabled(); }
    bool finished() const { return sendEnabled() || !form->isVisible(); }

    static constexpr const char* kEntries[] = {"txtFriendsName", "txtFriend", "txtName", "txtFrom"};
    // Types the friend's name and address, then the sender's.
    void fill(const QStringList& texts = {"Bob", "bob@b.example", "Ann", "ann@a.example"}) const {
        for (int i = 0; i < 4; ++i)
            QTest::keyClicks(control(kEntries[i]), texts[i]);
    }
    void click(const char* button) const { QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton); }
    static bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 15000); }

    RecordingMessageBoxes boxes;
    std::unique_ptr<frmBugReport> form;
};

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
const QString kTimedOut = "Could not connect to host!     \r\nPlease try again later.     ";

}  // namespace

using TellAFriendForm = MailerFixture;

TEST_F(TellAFriendForm, OpensAtAFixedSizeAndStopsAtAMissingEntryBeforeAnyConnection) {
    EXPECT_EQ(form->windowTitle(), "Tell a Friend About Karvo Backup");
    EXPECT_EQ(items(control<QComboBox>("cboSubject")),
              QStringList({" I Highly Recommend It!", " I Thought You'd Want To See This", " I'm using a new program",
                           " This seems like a good one", " Check Out This Program"}));
    EXPECT_EQ(control<QLabel>("Label6")->text(), "Tolvane does not collect email address's");

    // 6840 by 5820 twips of client area, and no way to resize it.
    EXPECT_EQ(form->size(), QSize(twips(6840, form->logicalDpiX()), twips(5820, form->logicalDpiY())));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    // The focus starts in the friend's name; Tab walks the entries (out of the comments too),
    // then the buttons.
    EXPECT_EQ(tabWalk(8), QStringList({"txtFriendsName", "txtFriend", "txtName", "txtFrom", "cboSubject",
                                       "txtComments", "cmdSend", "cmdExit"}));

    // The checks are the logic's; here its box comes up and the focus goes where it says.
    click("cmdSend");
    EXPECT_EQ(takeBoxes(boxes), Boxes{box("No Name", vbInformation, "Please enter your friend's name     ")});
    EXPECT_EQ(focusName(), "txtFriendsName");
    EXPECT_EQ(status(), "Status - Ready");
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

    // The date and the id change with every message; the date's own form is checked on its own.
    static const QRegularExpression changing("\r\nDate: [^\r\n]+ [+-]\\d{4}\r\n"
                                             "Message-ID: <[0-9a-f-]{36}@mail\\.tolvane\\.example>\r\n");
    QString text = QString::fromLatin1(server.message);
    EXPECT_TRUE(text.contains(changing)) << server.message.toStdString();
    text.replace(changing, "\r\nDate: *\r\nMessage-ID: *\r\n");
    // The header exactly, and the entries in the body as typed: the logic's tests check the rest.
    const QString header = "From: <ann@a.example>\r\nTo: bob@b.example\r\n"
                           "Subject: From: Ann  Bcc: eve@evil.example -  I'm using a new program\r\n"
                           "Date: *\r\nMessage-ID: *\r\nX-Mailer: TolvaneTellaFriend\r\nMime-Version: 1.0\r\n"
                           "Content-Type: text/plain;\tcharset=us-ascii\r\n\r\nHi Bob,\r\n";
    EXPECT_TRUE(text.startsWith(header)) << text.toStdString();
    EXPECT_TRUE(text.contains("\r\n\r\nFirst\r\n..\r\n..two\r\n" + QString(998, u'x') + "\r\n"));
    EXPECT_EQ(text.count("\r\n"), 33);
    EXPECT_EQ(text.count('\n'), 33);
}

TEST_F(SmtpSession, AFailureAtAnyStepIsReportedOnceAndTheFormStaysOpen) {
    const QString refused = "Server returned the following error:\r\n";
    // How many replies of the good script come first, the one that goes wrong and what is shown.
    // The refusals are the logic's; here a refused reply, a hang-up and silence over a real socket.
    const std::tuple<qsizetype, QByteArray, QString> cases[] = {
        {1, "Go away\r\n", refused + "Go away\r\n"},
        {1, kHangUp, "The remote host closed the connection"},
        {4, {}, kTimedOut},  // silence
    };
    fill();
    // Every reply comes 15 ticks after its command: each wait has 30 ticks of its own.
    constexpr int kTick = 10;
    for (const auto& [step, reply, shown] : cases) {
        ScriptedServer server(kGoodScript.mid(0, step) << (reply.isNull() ? Reply{} : Reply{reply}));
        server.pauseMs = 15 * kTick;
        useServer(server.port(), kTick);
        click("cmdSend");
        ASSERT_TRUE(waitFor([&] { return finished(); })) << reply.toStdString();
        EXPECT_EQ(takeBoxes(boxes), Boxes{box(kTitle, vbOKOnly, shown)});
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(status(), kNotSent);
        EXPECT_EQ(server.commands, kCommands.mid(0, step)) << reply.toStdString();
        EXPECT_EQ(control("txtFriend")->text(), "bob@b.example");
        EXPECT_EQ(socket()->state(), QAbstractSocket::UnconnectedState);
    }
    useServer(closedPort());
    click("cmdSend");
    ASSERT_TRUE(waitFor([&] { return finished(); }));
    EXPECT_EQ(takeBoxes(boxes), Boxes{box(kTitle, vbOKOnly, "Connection refused")});
    EXPECT_EQ(status(), kNotSent);
    // A server whose connection queue is full: the system would keep trying for minutes.
    QTcpServer full;
    full.setListenBacklogSize(0);
    full.listen(QHostAddress::LocalHost, 0);
    full.pauseAccepting();
    QTcpSocket queued;
    queued.connectToHost(QHostAddress::LocalHost, full.serverPort());
    ASSERT_TRUE(queued.waitForConnected(5000));
    useServer(full.serverPort(), kTick);
    click("cmdSend");
    ASSERT_TRUE(waitFor([&] { return finished(); }));
    EXPECT_EQ(takeBoxes(boxes), Boxes{box(kTitle, vbOKOnly, kTimedOut)});
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
              Boxes{box(kTitle, vbOKOnly, kTimedOut)});
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
    control<QPlainTextEdit>("txtComments")->setPlainText("Grüße aus Köln");
    form->setAttribute(Qt::WA_DeleteOnClose);  // as the main window keeps it
    QPointer<frmBugReport> window(form.release());
    QTest::mouseClick(child<QPushButton>(window, "cmdSend"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return window.isNull(); }));
    EXPECT_EQ(boxes.shown.at(0).caption, "Message Sent");
    ASSERT_TRUE(waitFor([&] { return server.clientGone; }));

    const QByteArray& raw = server.message;
    EXPECT_TRUE(std::none_of(raw.begin(), raw.end(), [](char c) { return c & 0x80; })) << raw.toStdString();
    EXPECT_TRUE(raw.contains("\r\nSubject: =?UTF-8?B?" + QByteArray("From: Zoë - Have a look").toBase64() + "?=\r\n"));
    EXPECT_TRUE(raw.contains("\r\n\r\nHi Bj=C3=B6rn,\r\n") && raw.contains("\r\nGr=C3=BC=C3=9Fe aus K=C3=B6ln\r\n"))
        << raw.toStdString();
}
