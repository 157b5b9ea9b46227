#include "ui/qt/frmBugReport.h"

#include "ui/qt/WidgetText.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTcpSocket>
#include <QTimer>

using namespace karvo::mailer;

using karvo::ui::q;

void frmBugReport::setTestServer(const QString& host, quint16 port, int tickMs) {
    TellAFriend::setTestServer(host.toStdString(), port, tickMs);
}

void frmBugReport::clearTestServer() { TellAFriend::clearTestServer(); }

frmBugReport::frmBugReport(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      Timer1(new QTimer(this)),
      Winsock1(new QTcpSocket(this)),
      desktop_(this),
      logic_(*this, *this, *this, desktop_) {
    setObjectName(QStringLiteral("frmBugReport"));
    build();
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Winsock1->setObjectName(QStringLiteral("Winsock1"));
    // A server that floods the connection is read a bounded piece at a time.
    Winsock1->setReadBufferSize(64 * 1024);
    connect(Timer1, &QTimer::timeout, this, [this] { logic_.tick(); });
    connect(Winsock1, &QTcpSocket::connected, this, [this] { logic_.connected(); });
    connect(Winsock1, &QTcpSocket::readyRead, this, [this] { logic_.received(Winsock1->readAll().toStdString()); });
    connect(Winsock1, &QTcpSocket::errorOccurred, this, [this] {
        // A reply that came in with the failure is taken first: a server that says why it closes
        // is reported in its own words.
        logic_.received(Winsock1->readAll().toStdString());
        logic_.socketError();
    });
    connect(Winsock1, &QTcpSocket::disconnected, this, [this] { logic_.socketClosed(); });
    logic_.load();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

frmBugReport::~frmBugReport() {
    // The socket outlives this body; none of its last signals may reach a half-destroyed window.
    Winsock1->disconnect(this);
    Winsock1->abort();
}

int frmBugReport::px(int twips, bool vertical) const {
    return qRound(twips * (vertical ? logicalDpiY() : logicalDpiX()) / 1440.0);
}

void frmBugReport::build() {
    setFixedSize(px(kFormWidth), px(kFormHeight, true));
    // The rows are laid out for 8-point text; a larger desktop font would clip the labels.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    for (const Control& c : controls()) {
        QWidget* owner = *c.frame ? control(c.frame) : this;
        const QString text = QString::fromUtf8(c.text);
        QWidget* w = nullptr;
        switch (c.kind) {
        case Kind::Frame: w = new QGroupBox(owner); break;
        case Kind::Label: w = new QLabel(text, owner); break;
        case Kind::Picture: {
            auto* picture = new QLabel(owner);
            picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
            picture->setAlignment(Qt::AlignCenter);
            w = picture;
            break;
        }
        case Kind::Combo: {
            auto* combo = new QComboBox(owner);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setCompleter(nullptr);
            w = combo;
            break;
        }
        case Kind::Edit: w = new QLineEdit(owner); break;
        case Kind::Memo: {
            auto* memo = new QPlainTextEdit(owner);
            memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            memo->setTabChangesFocus(true);
            w = memo;
            break;
        }
        case Kind::Button: w = new QPushButton(text, owner); break;
        }
        w->setObjectName(QLatin1String(c.name));
        w->setGeometry(px(c.left), px(c.top, true), px(c.width), px(c.height, true));
        w->setHidden(c.hidden);
    }
    connect(static_cast<QPushButton*>(control("cmdSend")), &QPushButton::clicked, this, [this] { logic_.send(); });
    connect(static_cast<QPushButton*>(control("cmdExit")), &QPushButton::clicked, this, &QWidget::close);
    QWidget* previous = nullptr;
    for (const char* name : tabOrder()) {
        if (previous)
            setTabOrder(previous, control(name));
        previous = control(name);
    }
}

QWidget* frmBugReport::control(std::string_view name) const { return findChild<QWidget*>(q(name)); }

void frmBugReport::showEvent(QShowEvent* event) {
    if (!logic_.loaded())
        logic_.load();
    QWidget::showEvent(event);
}

void frmBugReport::closeEvent(QCloseEvent* event) {
    logic_.unload();
    event->accept();
}

// ---- what the logic tells the window ----------------------------------------------------------

void frmBugReport::setCaption(const std::string& text) { setWindowTitle(q(text)); }

std::string frmBugReport::text(std::string_view name) const { return karvo::ui::widgetText(control(name)); }

void frmBugReport::setText(std::string_view name, const std::string& value) {
    karvo::ui::setWidgetText(control(name), value);
}

void frmBugReport::setItems(std::string_view name, const std::vector<std::string>& items, int current) {
    if (auto* combo = qobject_cast<QComboBox*>(control(name))) {
        combo->clear();
        for (const std::string& item : items)
            combo->addItem(q(item));
        combo->setCurrentIndex(current);
    }
}

void frmBugReport::setEnabled(std::string_view name, bool enabled) { control(name)->setEnabled(enabled); }

void frmBugReport::setFocus(std::string_view name) { control(name)->setFocus(); }

void frmBugReport::closeWindow() { QWidget::close(); }

// ---- the socket and the timer -------------------------------------------------------------------

void frmBugReport::connectTo(const std::string& host, int port) {
    Winsock1->abort();
    Winsock1->connectToHost(q(host), static_cast<quint16>(port));
}

void frmBugReport::send(const std::string& bytes) {
    if (Winsock1->state() == QAbstractSocket::ConnectedState) {
        Winsock1->write(bytes.data(), static_cast<qint64>(bytes.size()));
        Winsock1->flush();
    }
}

void frmBugReport::hangUp() { Winsock1->close(); }

std::string frmBugReport::localAddress() const { return Winsock1->localAddress().toString().toStdString(); }

std::string frmBugReport::errorText() const { return Winsock1->errorString().toStdString(); }

void frmBugReport::start(int intervalMs) { Timer1->start(intervalMs); }

void frmBugReport::stop() { Timer1->stop(); }
