#include "mailer/frmBugReport.h"

#include "mailer/SmtpText.h"
#include "mailer/Tell.h"
#include "platform/MsgBox.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTcpSocket>
#include <QTimer>
#include <QUuid>

#include <utility>

using karvo::platform::MsgBox;
using karvo::platform::vbInformation;
using karvo::platform::vbOKOnly;
namespace Tell = karvo::mailer::Tell;

namespace {

const QString kNoSubject = QStringLiteral("Please Choose a Subject");
const QString kStatusReady = QStringLiteral("Status - Ready");
const QString kStatusSent = QStringLiteral("Message Sent");
const QString kStatusNotSent = QStringLiteral("Message Not Sent");
const QByteArray kCrLf = QByteArrayLiteral("\r\n");
constexpr int kTickMs = 1000;
constexpr int kTickLimit = 30;

struct TestServer {
    bool active = false;
    QString host;
    quint16 port = 0;
    int tickMs = kTickMs;
};
TestServer& testServer()
{
    static TestServer server;
    return server;
}

}  // namespace

void frmBugReport::setTestServer(const QString& host, quint16 port, int tickMs)
{
    testServer() = TestServer{true, host, port, tickMs};
}

void frmBugReport::clearTestServer() { testServer() = TestServer{}; }

frmBugReport::frmBugReport(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmBugReport"));
    buildControls();

    connect(cmdSend, &QPushButton::clicked, this, &frmBugReport::cmdSend_Click);
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    connect(Timer1, &QTimer::timeout, this, &frmBugReport::Timer1_Timer);
    connect(Winsock1, &QTcpSocket::connected, this, &frmBugReport::Winsock1_Connect);
    connect(Winsock1, &QTcpSocket::readyRead, this, &frmBugReport::Winsock1_DataArrival);
    connect(Winsock1, &QTcpSocket::errorOccurred, this, &frmBugReport::Winsock1_Error);
    connect(Winsock1, &QTcpSocket::disconnected, this, &frmBugReport::Winsock1_Closed);

    Form_Load();
}

frmBugReport::~frmBugReport()
{
    // The socket outlives this body; none of its last signals may reach a half-destroyed window.
    Winsock1->disconnect(this);
    Winsock1->abort();
}

int frmBugReport::twipsX(int twips) const { return qRound(twips * logicalDpiX() / 1440.0); }
int frmBugReport::twipsY(int twips) const { return qRound(twips * logicalDpiY() / 1440.0); }

void frmBugReport::placeTwips(QWidget* w, int left, int top, int width, int height) const
{
    w->setGeometry(twipsX(left), twipsY(top), twipsX(width), twipsY(height));
}

void frmBugReport::buildControls()
{
    setFixedSize(twipsX(6840), twipsY(5820));
    // The rows are laid out for 8-point text; a larger desktop font would clip the labels.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    const auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    const auto label = [&](QWidget* parent, const char* name, const char* text) {
        auto* l = new QLabel(QLatin1String(text), parent);
        named(l, name);
        return l;
    };

    Frame1 = new QGroupBox(this);
    named(Frame1, "Frame1");
    placeTwips(Frame1, 113, 120, 6615, 4815);

    Label1 = label(Frame1, "Label1", "Select a Subject");
    placeTwips(Label1, 240, 420, 2295, 255);
    cboSubject = new QComboBox(Frame1);
    named(cboSubject, "cboSubject");
    cboSubject->setEditable(true);
    cboSubject->setInsertPolicy(QComboBox::NoInsert);
    cboSubject->setCompleter(nullptr);
    placeTwips(cboSubject, 2520, 360, 3975, 315);

    const auto field = [&](const char* name, int top) {
        auto* e = new QLineEdit(Frame1);
        named(e, name);
        placeTwips(e, 2520, top, 3975, 315);
        return e;
    };
    Label7 = label(Frame1, "Label7", "Your Friend's name");
    placeTwips(Label7, 240, 836, 2295, 255);
    txtFriendsName = field("txtFriendsName", 776);
    Label4 = label(Frame1, "Label4", "Your Friend's Email Address");
    placeTwips(Label4, 240, 1252, 2295, 255);
    txtFriend = field("txtFriend", 1192);
    Label5 = label(Frame1, "Label5", "Enter Your Name");
    placeTwips(Label5, 240, 1668, 2295, 255);
    txtName = field("txtName", 1608);
    Label2 = label(Frame1, "Label2", "Enter Your Email Address");
    placeTwips(Label2, 240, 2085, 2295, 255);
    txtFrom = field("txtFrom", 2025);

    Label3 = label(Frame1, "Label3", "Comments (Optional)");
    placeTwips(Label3, 1440, 2640, 2295, 255);
    txtComments = new QPlainTextEdit(Frame1);
    named(txtComments, "txtComments");
    txtComments->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtComments->setTabChangesFocus(true);
    placeTwips(txtComments, 1440, 2880, 5055, 1815);

    Image1 = label(Frame1, "Image1", "");
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    Image1->setAlignment(Qt::AlignCenter);
    placeTwips(Image1, 360, 3240, 720, 720);

    Label6 = label(this, "Label6", "Tolvane does not collect email address's");
    placeTwips(Label6, 113, 5040, 6615, 195);
    lblStatus = label(this, "lblStatus", "Status - Ready");
    placeTwips(lblStatus, 120, 5400, 4080, 330);
    cmdSend = new QPushButton(QStringLiteral("&Send"), this);
    named(cmdSend, "cmdSend");
    placeTwips(cmdSend, 4400, 5400, 1095, 350);
    cmdExit = new QPushButton(QStringLiteral("&Cancel"), this);
    named(cmdExit, "cmdExit");
    placeTwips(cmdExit, 5633, 5400, 1095, 350);

    // Working values the session reads; never shown.
    txtUrl = new QLineEdit(this);
    named(txtUrl, "txtUrl");
    placeTwips(txtUrl, 120, 5040, 6375, 285);
    txtUrl->hide();
    txtMessage = new QPlainTextEdit(this);
    named(txtMessage, "txtMessage");
    txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    placeTwips(txtMessage, 233, 7080, 6375, 1815);
    txtMessage->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Winsock1 = new QTcpSocket(this);
    Winsock1->setObjectName(QStringLiteral("Winsock1"));
    // A server that floods the connection is read a bounded piece at a time.
    Winsock1->setReadBufferSize(64 * 1024);

    setTabOrder(txtFriendsName, txtFriend);
    setTabOrder(txtFriend, txtName);
    setTabOrder(txtName, txtFrom);
    setTabOrder(txtFrom, cboSubject);
    setTabOrder(cboSubject, txtComments);
    setTabOrder(txtComments, cmdSend);
    setTabOrder(cmdSend, cmdExit);
}

void frmBugReport::Form_Load()
{
    setWindowTitle(QStringLiteral("Tell a Friend About ") + karvo::mailer::kAppTitle);

    cboSubject->clear();
    cboSubject->setEditText(kNoSubject);
    cboSubject->addItems({QStringLiteral(" I Highly Recommend It!"),
                          QStringLiteral(" I Thought You'd Want To See This"),
                          QStringLiteral(" I'm using a new program"),
                          QStringLiteral(" This seems like a good one"),
                          QStringLiteral(" Check Out This Program")});
    cboSubject->setCurrentIndex(2);

    // A reload starts from the window as designed: the user's entries do not survive closing.
    txtFriendsName->clear();
    txtFriend->clear();
    txtName->clear();
    txtFrom->clear();
    txtComments->clear();
    txtMessage->clear();
    txtUrl->setText(karvo::mailer::kProductPage);
    lblStatus->setText(kStatusReady);
    cmdSend->setEnabled(true);
    Timer1->stop();
    Timer1->setInterval(testServer().active ? testServer().tickMs : kTickMs);
    step = Step::Ready;
    bSent = false;

    Tell::sContentType = QStringLiteral("plain;");
    Tell::sMailServer = karvo::mailer::kMakerMailServer;

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    txtFriendsName->setFocus();
    bLoaded = true;
}

void frmBugReport::showEvent(QShowEvent* event)
{
    if (!bLoaded)
        Form_Load();
    QWidget::showEvent(event);
}

void frmBugReport::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void frmBugReport::Form_Unload()
{
    CloseConnection();
    bLoaded = false;
}

bool frmBugReport::checkEntry(bool failed, const QString& text, const QString& caption, QWidget* focus)
{
    if (!failed)
        return true;
    QPointer<frmBugReport> self(this);
    MsgBox(this, text, vbOKOnly | vbInformation, caption);
    if (self)
        focus->setFocus();
    return false;
}

void frmBugReport::cmdSend_Click()
{
    if (step != Step::Ready)
        return;
    const QString five = QStringLiteral("     ");
    const QString noName = QStringLiteral("No Name");
    const QString noAddress = QStringLiteral("No Email Address");
    if (!checkEntry(cboSubject->currentText() == kNoSubject,
                    QStringLiteral("You must choose a Subject for the email") + five,
                    QStringLiteral("No Subject Chosen"), cboSubject) ||
        !checkEntry(txtFriendsName->text().isEmpty(), QStringLiteral("Please enter your friend's name") + five,
                    noName, txtFriendsName) ||
        !checkEntry(txtFriend->text().isEmpty(),
                    QStringLiteral("Please enter your friend's email address") + five, noAddress, txtFriend) ||
        !checkEntry(txtName->text().isEmpty(), QStringLiteral("Please enter your name") + five, noName, txtName) ||
        !checkEntry(txtFrom->text().isEmpty(), QStringLiteral("Please enter your email address") + five,
                    noAddress, txtFrom))
        return;
    // The addresses go into SMTP commands and header fields as they are, so anything that could
    // break a line or a path is refused here, before a connection is made.
    const QString badAddress = QStringLiteral("Invalid Email Address");
    if (!checkEntry(!karvo::mailer::isSendableAddress(txtFriend->text()),
                    QStringLiteral("Please check your friend's email address") + five, badAddress, txtFriend) ||
        !checkEntry(!karvo::mailer::isSendableAddress(txtFrom->text()),
                    QStringLiteral("Please check your email address") + five, badAddress, txtFrom))
        return;

    // A typed subject that is not in the list is used as typed.
    Tell::sMailSubject = karvo::mailer::subjectLine(txtName->text(), cboSubject->currentText());
    Tell::sMailFrom = txtFrom->text();
    Tell::sMailTo = txtFriend->text();
    cmdSend->setEnabled(false);
    lblStatus->setText(QStringLiteral("Connecting..."));

    // A late reply of an earlier session must never be taken for this one's greeting.
    sResponse.clear();
    bSent = false;
    step = Step::Connecting;
    Winsock1->abort();
    const TestServer& test = testServer();
    Timer1->setInterval(test.active ? test.tickMs : kTickMs);
    Winsock1->connectToHost(test.active ? test.host : Tell::sMailServer,
                            test.active ? test.port : karvo::mailer::kMailPort);
    // The system may try to connect for minutes; the attempt gets the limit of a reply.
    lTicks = 0;
    Timer1->start();
}

void frmBugReport::CloseConnection()
{
    const bool wasRunning = step != Step::Ready;
    step = Step::Ready;
    Timer1->stop();
    Winsock1->close();
    // A session that did not deliver never claims it did.
    if (bSent)
        lblStatus->setText(kStatusSent);
    else if (wasRunning)
        lblStatus->setText(kStatusNotSent);
    cmdSend->setEnabled(true);
}

bool frmBugReport::awaiting() const { return step >= Step::Greeting && step <= Step::Delivery; }

void frmBugReport::await(Step next)
{
    step = next;
    lTicks = 0;
    Timer1->start();
}

void frmBugReport::sendData(const QByteArray& text)
{
    // Handed to the system at once, so a window closed right after a send still sends it.
    if (Winsock1->state() == QAbstractSocket::ConnectedState) {
        Winsock1->write(text);
        Winsock1->flush();
    }
}

void frmBugReport::Winsock1_Connect()
{
    if (step != Step::Connecting)
        return;
    txtMessage->setPlainText(karvo::mailer::composeBody(txtFriendsName->text(), txtComments->toPlainText(),
                                                        txtName->text(), txtUrl->text()));
    lblStatus->setText(QStringLiteral("Connected"));
    await(Step::Greeting);
    takeReplies();
}

void frmBugReport::Winsock1_DataArrival()
{
    const QByteArray received = Winsock1->readAll();
    // Only a waiting dialogue takes text; anything else (after QUIT, behind a message box) is
    // dropped, so nothing piles up.
    if (!awaiting())
        return;
    sResponse += received;
    takeReplies();
}

void frmBugReport::takeReplies()
{
    QPointer<frmBugReport> self(this);
    while (self && awaiting()) {
        const qsizetype length = karvo::mailer::completeReplyLength(sResponse);
        if (length == karvo::mailer::kReplyTooLong) {
            // No server answers like this: the session ends before the text can grow any further.
            const QByteArray received = std::exchange(sResponse, QByteArray());
            return fail(received);
        }
        if (length == 0)
            return;
        const QByteArray reply = sResponse.left(length);
        sResponse.remove(0, length);
        Timer1->stop();
        onReply(reply);
    }
}

void frmBugReport::onReply(const QByteArray& reply)
{
    const int code = karvo::mailer::replyCode(reply);
    switch (step) {
    case Step::Greeting:
        if (code != 220)
            return fail(reply);
        lblStatus->setText(QStringLiteral("Receiving Welcome Message"));
        sendData("HELO " + karvo::mailer::heloArgument(Winsock1->localAddress()) + kCrLf);
        return await(Step::Helo);
    case Step::Helo:
        if (code != 250)
            return fail(reply);
        sendData("MAIL FROM:<" + Tell::sMailFrom.toLatin1() + '>' + kCrLf);
        return await(Step::MailFrom);
    case Step::MailFrom:
        if (code != 250)
            return fail(reply);
        sendData("RCPT TO:<" + Tell::sMailTo.toLatin1() + '>' + kCrLf);
        return await(Step::RcptTo);
    case Step::RcptTo:
        if (code != 250)
            return fail(reply);
        sendData("DATA" + kCrLf);
        return await(Step::Data);
    case Step::Data: {
        if (code != 354)
            return fail(reply);
        lblStatus->setText(QStringLiteral("Sending Mail . . ."));
        karvo::mailer::MailParts parts;
        parts.from = Tell::sMailFrom;
        parts.to = Tell::sMailTo;
        parts.subject = Tell::sMailSubject;
        parts.contentType = Tell::sContentType;
        parts.body = txtMessage->toPlainText();
        parts.date = karvo::mailer::mailDate(QDateTime::currentDateTime());
        parts.messageId = '<' + QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + '@' +
                          Tell::sMailServer.toLatin1() + '>';
        sendData(karvo::mailer::composeMessage(parts));
        sendData(kCrLf + '.' + kCrLf);
        return await(Step::Delivery);
    }
    case Step::Delivery: {
        if (code != 250)
            return fail(reply);
        sendData("QUIT" + kCrLf);
        step = Step::Delivered;
        bSent = true;
        lblStatus->setText(kStatusSent);
        QPointer<frmBugReport> self(this);
        MsgBox(this,
               QStringLiteral("Your Message has been Sent Successfully.     \r\n\r\nThanks for telling a friend about ") +
                   karvo::mailer::kAppTitle + QStringLiteral("     "),
               vbOKOnly | vbInformation, QStringLiteral("Message Sent"));
        if (!self)
            return;
        CloseConnection();
        close();
        return;
    }
    default:
        return;
    }
}

void frmBugReport::fail(const QByteArray& reply)
{
    step = Step::Ending;
    Timer1->stop();
    QPointer<frmBugReport> self(this);
    MsgBox(this, QStringLiteral("Server returned the following error:\r\n") + karvo::mailer::shownReply(reply),
           vbOKOnly, karvo::mailer::kAppTitle);
    if (self && step == Step::Ending)
        CloseConnection();
}

void frmBugReport::Timer1_Timer()
{
    if (!awaiting() && step != Step::Connecting)
        return;
    if (++lTicks != kTickLimit)
        return;
    step = Step::Ending;
    CloseConnection();
    MsgBox(this, QStringLiteral("Could not connect to host!     \r\nPlease try again later.     "), vbOKOnly,
           karvo::mailer::kAppTitle);
}

void frmBugReport::Winsock1_Error()
{
    if (!awaiting() && step != Step::Connecting)
        return;
    // A reply that came in with the failure is answered first: a server that says why it
    // closes is reported in its own words.
    Winsock1_DataArrival();
    if (!awaiting() && step != Step::Connecting)
        return;
    step = Step::Ending;
    Timer1->stop();
    QPointer<frmBugReport> self(this);
    MsgBox(this, Winsock1->errorString(), vbOKOnly, karvo::mailer::kAppTitle);
    if (self && step == Step::Ending)
        CloseConnection();
}

void frmBugReport::Winsock1_Closed()
{
    // The connection went away without an error report: the session ends where it is.
    if (!awaiting() && step != Step::Connecting)
        return;
    step = Step::Ending;
    CloseConnection();
}
