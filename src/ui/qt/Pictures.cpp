#include "ui/qt/Pictures.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace karvo::ui {

namespace {

// A green arrow on a transparent 32 x 32 square; pointing down unless flipped.
QPixmap arrow(bool up) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (up) {
        p.translate(0, 32);
        p.scale(1, -1);
    }
    QPainterPath path;
    path.moveTo(12, 4);
    path.lineTo(20, 4);
    path.lineTo(20, 16);
    path.lineTo(27, 16);
    path.lineTo(16, 28);
    path.lineTo(5, 16);
    path.lineTo(12, 16);
    path.closeSubpath();
    p.setPen(QPen(QColor(0, 80, 0), 1.5));
    p.setBrush(QColor(40, 170, 60));
    p.drawPath(path);
    p.end();
    return pm;
}

}  // namespace

QPixmap downArrowPicture() { return arrow(false); }
QPixmap upArrowPicture() { return arrow(true); }

void ClickablePicture::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

}  // namespace karvo::ui
