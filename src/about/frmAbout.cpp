#include "about/frmAbout.h"

#include "platform/Launcher.h"
#include "platform/MsgBox.h"
#include "platform/ShexIt.h"

#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>

#ifndef KARVO_VERSION_MAJOR
#error "the build passes the program's version numbers"
#endif

namespace karvo::about {

QString versionText() {
    return QStringLiteral("Version %1.%2.%3").arg(KARVO_VERSION_MAJOR).arg(KARVO_VERSION_MINOR).arg(KARVO_VERSION_PATCH);
}

}  // namespace karvo::about

using namespace karvo::about;

namespace {

const QString kFreewareNote = QStringLiteral(
    "Karvo Backup is free to use at home and at work.  You may give copies to friends, as long as the "
    "program is passed on whole and unchanged.");

const QString kLegalWarning = QStringLiteral(
    "Warning:  Karvo Backup is protected by copyright law and by international treaties.  Anyone who "
    "copies or distributes this program, or any part of it, without permission risks severe civil and "
    "criminal penalties and will be prosecuted as far as the law allows.");

// The tall picture at the left: a registry key being filed away on a blue band.
QPixmap drawBanner() {
    QPixmap pixmap(67, 143);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 0, 143);
    band.setColorAt(0, QColor(20, 60, 150));
    band.setColorAt(1, QColor(120, 170, 230));
    p.fillRect(pixmap.rect(), band);

    // Three stacked folders.
    for (int i = 0; i < 3; ++i) {
        const int top = 78 + i * 18;
        p.setPen(QPen(QColor(90, 60, 10), 1));
        p.setBrush(QColor(240, 200, 90 - i * 20));
        p.drawRect(12, top, 43, 14);
        p.drawRect(12, top - 3, 14, 3);
    }
    // A key above them.
    p.setPen(QPen(QColor(110, 90, 20), 2));
    p.setBrush(QColor(250, 220, 80));
    p.drawEllipse(QPointF(33, 30), 12, 12);
    p.setBrush(QColor(20, 60, 150));
    p.drawEllipse(QPointF(33, 30), 4, 4);
    p.setBrush(QColor(250, 220, 80));
    p.drawRect(30, 42, 6, 26);
    p.drawRect(36, 56, 7, 4);
    p.drawRect(36, 63, 5, 4);
    return pixmap;
}

// The small web icon at the top right: a globe.
QPixmap drawGlobe() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(10, 70, 40), 1.5));
    p.setBrush(QColor(70, 150, 230));
    p.drawEllipse(QRectF(2, 2, 28, 28));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(10, 2, 12, 28));
    p.drawLine(QPointF(16, 2), QPointF(16, 30));
    p.drawLine(QPointF(2, 16), QPointF(30, 16));
    p.drawLine(QPointF(5, 9), QPointF(27, 9));
    p.drawLine(QPointF(5, 23), QPointF(27, 23));
    return pixmap;
}

}  // namespace

frmAbout::frmAbout(karvo::reg::RegistryService& registry, Launch launch, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      registry_(registry),
      launch_(std::move(launch)) {
    setObjectName(QStringLiteral("frmAbout"));
    build();
    Form_Load();
}

int frmAbout::px(int twips) const {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return static_cast<int>(twips * dpi / 1440.0 + 0.5);
}

void frmAbout::place(QWidget* w, int left, int top, int width, int height) const {
    w->setGeometry(px(left), px(top), px(width), px(height));
}

void frmAbout::build() {
    setFixedSize(px(5730), px(3990));
    // The box was laid out for small 8-point text; larger text would not fit the frames.
    QFont small = font();
    small.setPointSizeF(8);
    setFont(small);

    auto label = [this](QWidget* owner, const char* name, const QString& text) {
        auto* l = new QLabel(text, owner);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto button = [this](const char* name, const QString& text, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        return b;
    };

    picIcon = label(this, "picIcon", QString());
    picIcon->setPixmap(drawBanner());
    picIcon->setFrameShape(QFrame::Box);
    picIcon->setAlignment(Qt::AlignCenter);
    picIcon->setCursor(Qt::PointingHandCursor);
    place(picIcon, 120, 120, 1065, 2205);

    QFont heading = font();
    heading.setBold(true);
    heading.setPointSizeF(9.75);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, Qt::blue);

    lblTitle = label(this, "lblTitle", QStringLiteral("Application Title"));
    lblVersion = label(this, "lblVersion", QStringLiteral("Version"));
    for (QLabel* l : {lblTitle, lblVersion}) {
        l->setFont(heading);
        l->setPalette(blue);
    }
    place(lblTitle, 1560, 240, 2805, 240);
    place(lblVersion, 1560, 600, 2325, 225);

    Image1 = label(this, "Image1", QString());
    Image1->setPixmap(drawGlobe());
    Image1->setCursor(Qt::PointingHandCursor);
    place(Image1, 5040, 120, 480, 480);

    Frame2 = new QGroupBox(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    place(Frame2, 1560, 840, 3975, 1095);
    lblDescription = label(Frame2, "lblDescription", kFreewareNote);
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(lblDescription, 120, 120, 3795, 810);

    Command1 = button("Command1", QStringLiteral("&Join the Tolvane mailing list"), QStringLiteral("Join our mailing list"));
    place(Command1, 1560, 2040, 2295, 345);
    Command2 = button("Command2", QStringLiteral("&Tolvane"), QStringLiteral("Visit Tolvane"));
    place(Command2, 4320, 2040, 1245, 345);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    place(Frame1, 120, 2405, 4095, 1455);
    lblDisclaimer = label(Frame1, "lblDisclaimer", kLegalWarning);
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(lblDisclaimer, 120, 240, 3870, 1185);

    Command3 = button("Command3", QStringLiteral("Clos&e"), QStringLiteral("Close this window"));
    place(Command3, 4290, 2777, 1245, 345);
    Command4 = button("Command4", QStringLiteral("&System Info"), QStringLiteral("Info about your computer"));
    place(Command4, 4290, 3480, 1245, 345);

    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);

    connect(Command1, &QPushButton::clicked, this, &frmAbout::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmAbout::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmAbout::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmAbout::Command4_Click);
    picIcon->installEventFilter(this);
    Image1->installEventFilter(this);
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + QLatin1String(kApplicationTitle));
    lblVersion->setText(versionText());
    lblTitle->setText(QLatin1String(kApplicationTitle));
}

void frmAbout::showEvent(QShowEvent* event) {
    // Every opening is a fresh load: texts rewritten, the box centred on its screen.
    Form_Load();
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QWidget::showEvent(event);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && (watched == picIcon || watched == Image1)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* widget = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint())) {
            if (watched == picIcon)
                picIcon_Click();
            else
                Image1_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmAbout::openAddress(const char* address) {
    // Whether the desktop managed to open it is not ours to report.
    karvo::platform::ShellExecuteA(this, "open", address, "", "", karvo::platform::SW_SHOWNORMAL_);
}

void frmAbout::Command1_Click() { openAddress(kMailingList); }
void frmAbout::Command2_Click() { openAddress(kWebSite); }
void frmAbout::picIcon_Click() { openAddress(kWebSite); }

void frmAbout::Image1_Click() {
    // "start" is a Windows program; where there is none to run, the address is opened directly.
    const std::string line = std::string("start ") + kWebSite;
    if (!launch_ || launch_(line, karvo::platform::kStyleMinimizedFocus) == 0)
        openAddress(kWebSite);
}

void frmAbout::Command3_Click() { close(); }
void frmAbout::Command4_Click() { StartSysInfo(); }

void frmAbout::StartSysInfo() {
    if (!startSystemInformation(registry_, launch_))
        karvo::platform::MsgBox(this, QLatin1String(kSysInfoUnavailable), karvo::platform::vbOKOnly,
                                QLatin1String(kApplicationTitle));
}
