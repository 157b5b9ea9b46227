// The tell-a-friend window and its SMTP sessions with a scripted server on 127.0.0.1 that never
// reach the maker's real server; reply framing and the wire form of the message without a socket.
#include "WindowChecks.h"
#include "mailer/SmtpText.h"
#include "mailer/frmBugReport.h"

#include <QComboBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimeZone>
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
    // Called with each command, and with "<message>", before the server answers.
    std::function<void(const QByteArray&)> onReceived;
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
            if (onReceived)
                onReceived(inData_ ? QByteArray("<message>") : got);
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

QByteArray unstuff(const QByteArray& line) { return line.startsWith('.') ? line.mid(1) : line; }

// A decoder of our own for a quoted-printable body as sent: dots undone line by line, soft
// breaks joined, "=XX" decoded, CR LF back to LF.
QByteArray decodeQuotedPrintable(const QByteArray& wire) {
    QByteArrayList lines = wire.split('\n');
    for (QByteArray& line : lines)
        line = unstuff(line);
    return QByteArray::fromPercentEncoding(lines.join('\n').replace("=\r\n", "").replace("\r\n", "\n"), '=');
}

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

TEST(SmtpReply, IsCompleteOnlyAfterItsLastLineAndHasTheCodeOfItsFirst) {
    const std::tuple<QByteArray, qsizetype, int> cases[] = {  // what has arrived, reply length, code
        {"", 0, 0},
        {"25", 0, 25},
        {"220 ready\r", 0, 220},
        {"220 ready\r\n", 11, 220},
        {"354\r\n", 5, 354},
        {"250-first\r\n", 0, 250},
        {"250-mail.example\r\n250-SIZE\r\n250 HELP\r", 0, 250},
        {"250-first\r\n250 last\r\n354 next\r\n", 21, 250},  // the rest is the next reply
        {" 220 starts with a blank\r\n", 26, 0},
        {"99999999999999999999 overflow\r\n", 31, INT_MAX},
        // A line may hold 512 octets with its line end, a reply 100 lines.
        {"250 " + QByteArray(506, 'x') + "\r\n", 512, 250},
        {"250 " + QByteArray(507, 'x') + "\r\n", kReplyTooLong, 250},
        {"220 " + QByteArray(509, 'x'), kReplyTooLong, 220},
        {QByteArray("250-x\r\n").repeated(99) + "250 x\r\n", 700, 250},
        {QByteArray("250-x\r\n").repeated(100) + "250 x", kReplyTooLong, 250},
    };
    for (const auto& [buffer, length, code] : cases) {
        EXPECT_EQ(completeReplyLength(buffer), length) << buffer.toStdString();
        EXPECT_EQ(replyCode(buffer), code) << buffer.toStdString();
    }
}

TEST(MailText, DataAndQuotedPrintableLinesEndInCrLfDoubleLeadingDotsAndStayWithinTheLimit) {
    EXPECT_EQ(toDataLines("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
    // A lone "." would otherwise end the message and hand the rest to the server as commands.
    EXPECT_EQ(toDataLines("x\n.\nQUIT\n.hidden\nend."), "x\r\n..\r\nQUIT\r\n..hidden\r\nend.");
    EXPECT_EQ(toDataLines(QString()), "");

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

    // Quoted-printable lines round-trip and stay short.
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

TEST(MailText, SubjectFieldEncodesWhatIsNotAsciiInWholeWords) {
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

    EXPECT_EQ(heloArgument(QHostAddress("::ffff:10.0.0.7")), "[10.0.0.7]");
    EXPECT_EQ(heloArgument(QHostAddress(QHostAddress::LocalHostIPv6)), "[IPv6:::1]");
    EXPECT_EQ(heloArgument(QHostAddress("fe80::1%1")), "[IPv6:fe80::1]");
}

using TellAFriendForm = MailerFixture;

TEST_F(TellAFriendForm, OpensAtAFixedSizeAndChecksEachEntryInTurnBeforeAnyConnection) {
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

    const QString friendsAddress = "Please check your friend's email address     ";
    const QString ownAddress = "Please check your email address     ";
    // Each step puts a text into an entry and presses Send, which stops at the next check without
    // even starting to connect: a box with this caption and message, and the focus sent there.
    const std::tuple<const char*, QString, QString, QString, const char*> steps[] = {
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
    for (const auto& [entry, text, caption, message, focus] : steps) {
        if (std::string_view(entry) == "cboSubject")
            control<QComboBox>(entry)->setEditText(text);
        else
            control(entry)->setText(text);
        click("cmdSend");
        EXPECT_EQ(takeBoxes(boxes), Boxes{box(caption, vbInformation, message)});
        EXPECT_EQ(focusName(), focus) << text.toStdString();
        EXPECT_EQ(status(), "Status - Ready");
        EXPECT_TRUE(sendEnabled());
    }
    EXPECT_EQ(control("txtFriendsName")->text(), " ");  // entries stay as typed
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
    QList<QByteArray> expected;
    for (const QByteArray& command : kCommands)
        expected << command + " / Receiving Welcome Message";
    EXPECT_EQ(seen, expected << "<message> / Sending Mail . . ." << "QUIT / Message Sent");

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

TEST_F(SmtpSession, AFailureAtAnyStepIsReportedOnceAndTheFormStaysOpen) {
    const QString refused = "Server returned the following error:\r\n";
    // How many replies of the good script come first, the one that goes wrong and what is shown.
    const std::tuple<qsizetype, QByteArray, QString> cases[] = {
        // What follows a refusal must not be taken for the next session's greeting.
        {0, "554 5.3.2 Too busy\r\n220 left over\r\n", refused + "554 5.3.2 Too busy\r\n"},
        {1, "Go away\r\n", refused + "Go away\r\n"},
        {1, kHangUp, "The remote host closed the connection"},
        {2, "553 5.1.8 Sender rejected\r\n", refused + "553 5.1.8 Sender rejected\r\n"},
        {3, "550 5.1.1 No such user\r\n", refused + "550 5.1.1 No such user\r\n"},
        {4, "250 2.0.0 Ok\r\n", refused + "250 2.0.0 Ok\r\n"},  // a good code at the wrong turn
        {5, "552 5.3.4 Too big\r\n", refused + "552 5.3.4 Too big\r\n"},
        // A long reply is shown cut short; one beyond what a server may send ends the session at once.
        {3, QByteArray("550-a\r\n").repeated(8) + "550 No such user\r\n", refused + QString("550-a\r\n").repeated(8) + "[...]\r\n"},
        {1, QByteArray(600, 'x'), refused + QString(200, 'x') + "\r\n[...]\r\n"},
        {2, QByteArray("250-x\r\n").repeated(150), refused + QString("250-x\r\n").repeated(8) + "[...]\r\n"},
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
