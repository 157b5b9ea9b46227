#include "ui/qt/ImageList.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>

namespace karvo::ui {

namespace {

// Pictures are drawn on the mask colour, which then becomes transparent.
const QColor kMaskColour(192, 192, 192);

QPixmap canvas() {
    QPixmap pm(ImageList::kSize, ImageList::kSize);
    pm.fill(kMaskColour);
    return pm;
}

void applyMask(QPixmap& pm) { pm.setMask(pm.createMaskFromColor(kMaskColour, Qt::MaskInColor)); }

QPixmap drawClosedFolder() {
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QColor(128, 96, 0));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(1, 3, 5, 2);    // tab
    p.drawRect(1, 4, 13, 9);   // body
    p.setPen(QColor(255, 240, 170));
    p.drawLine(2, 6, 13, 6);   // highlight
    p.end();
    applyMask(pm);
    return pm;
}

QPixmap drawOpenFolder() {
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QColor(128, 96, 0));
    p.setBrush(QColor(220, 170, 50));
    p.drawRect(1, 3, 5, 2);
    p.drawRect(1, 4, 11, 9);
    // the lid, tilted open in front of the body
    QPainterPath lid;
    lid.moveTo(3, 7);
    lid.lineTo(15, 7);
    lid.lineTo(12, 13);
    lid.lineTo(1, 13);
    lid.closeSubpath();
    p.setBrush(QColor(250, 215, 110));
    p.drawPath(lid);
    p.end();
    applyMask(pm);
    return pm;
}

QPixmap drawDataItem() {
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 10, 13);
    p.setPen(QColor(0, 0, 160));
    for (int y = 4; y <= 11; y += 3)
        p.drawLine(5, y, 11, y);
    p.end();
    applyMask(pm);
    return pm;
}

QPixmap drawCheckMark() {
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(QColor(220, 0, 0));
    pen.setWidth(3);
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    p.drawLine(3, 8, 6, 11);
    p.drawLine(6, 11, 13, 3);
    p.end();
    applyMask(pm);
    return pm;
}

std::size_t slot(Image image) { return static_cast<std::size_t>(image); }

}  // namespace

ImageList::ImageList() {
    pixmaps_[slot(Image::OpenFolder)] = drawOpenFolder();
    pixmaps_[slot(Image::DataItem)] = drawDataItem();
    pixmaps_[slot(Image::ClosedFolder)] = drawClosedFolder();
    pixmaps_[slot(Image::Selected)] = drawCheckMark();
    for (std::size_t normal = 1; normal < 5; ++normal) {
        for (std::size_t selected = 0; selected < 5; ++selected) {
            QIcon icon(pixmaps_[normal]);
            if (selected != 0)
                icon.addPixmap(pixmaps_[selected], QIcon::Selected);
            icons_[normal * 5 + selected] = icon;
        }
    }
}

const ImageList& ImageList::standard() {
    static const ImageList list;
    return list;
}

const QPixmap& ImageList::pixmap(Image image) const { return pixmaps_[slot(image)]; }

const QIcon& ImageList::icon(Image image, Image selectedImage) const {
    return icons_[slot(image) * 5 + slot(selectedImage)];
}

}  // namespace karvo::ui
