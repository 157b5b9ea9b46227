#include "ui/qt/frmAbout.h"

#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

using namespace karvo::about;

namespace {

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

frmAbout::frmAbout(karvo::reg::RegistryService& registry, karvo::ui::Launch launch, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      desktop_(this, std::move(launch)),
      logic_(*this, desktop_, registry) {
    setObjectName(QStringLiteral("frmAbout"));
    build();
    logic_.load();
}

int frmAbout::px(int twips) const {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return static_cast<int>(twips * dpi / 1440.0 + 0.5);
}

void frmAbout::build() {
    setFixedSize(px(kBoxWidth), px(kBoxHeight));
    // The box was laid out for small 8-point text; larger text would not fit the frames.
    QFont small = font();
    small.setPointSizeF(8);
    setFont(small);
    QFont heading = font();
    heading.setBold(true);
    heading.setPointSizeF(9.75);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, Qt::blue);

    QWidget* previousButton = nullptr;
    for (const Control& c : controls()) {
        QWidget* owner = *c.frame ? findChild<QWidget*>(QLatin1String(c.frame)) : this;
        const QString text = QString::fromUtf8(c.text);
        QWidget* w = nullptr;
        switch (c.kind) {
        case Kind::PictureBox:
        case Kind::Image: {
            auto* picture = new QLabel(owner);
            picture->setPixmap(c.kind == Kind::PictureBox ? drawBanner() : drawGlobe());
            if (c.kind == Kind::PictureBox) {
                picture->setFrameShape(QFrame::Box);
                picture->setAlignment(Qt::AlignCenter);
            }
            w = picture;
            break;
        }
        case Kind::Heading:
        case Kind::Label: {
            auto* label = new QLabel(text, owner);
            if (c.kind == Kind::Heading) {
                label->setFont(heading);
                label->setPalette(blue);
            } else {
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            }
            w = label;
            break;
        }
        case Kind::Frame: w = new QGroupBox(owner); break;
        case Kind::Button: {
            auto* button = new QPushButton(text, owner);
            const std::string name = c.name;
            connect(button, &QPushButton::clicked, this, [this, name] { logic_.click(name); });
            if (previousButton)
                setTabOrder(previousButton, button);
            previousButton = button;
            w = button;
            break;
        }
        }
        w->setObjectName(QLatin1String(c.name));
        w->setToolTip(QString::fromUtf8(c.tip));
        w->setGeometry(px(c.left), px(c.top), px(c.width), px(c.height));
        if (c.kind != Kind::Button && c.click != Click::None) {
            // A picture has no click of its own: a release over it counts as one.
            w->setCursor(Qt::PointingHandCursor);
            w->installEventFilter(this);
        }
    }
}

void frmAbout::setCaption(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }

void frmAbout::setText(const std::string& control, const std::string& text) {
    if (auto* label = findChild<QLabel*>(QString::fromStdString(control)))
        label->setText(QString::fromStdString(text));
}

void frmAbout::closeWindow() { close(); }

void frmAbout::showEvent(QShowEvent* event) {
    // Every opening is a fresh load, the box centred on its screen.
    logic_.load();
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QWidget::showEvent(event);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched->isWidgetType()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* widget = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint())) {
            logic_.click(widget->objectName().toStdString());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
