#include "ui/qt/cSplitter.h"

#include <QFrame>
#include <QGuiApplication>
#include <QPalette>
#include <QWidget>

using namespace karvo::splitter;

namespace {

// Cursor codes in Qt's terms.
Qt::CursorShape cursorShape(int code) {
    switch (code) {
    case kCursorSizeNS: return Qt::SizeVerCursor;
    case kCursorSizeWE: return Qt::SizeHorCursor;
    case kCursorNoDrop: return Qt::ForbiddenCursor;
    default: return Qt::ArrowCursor;
    }
}

}  // namespace

cSplitter::cSplitter(QObject* owner) : QObject(owner) {}

cSplitter::~cSplitter() {
    // A drag cut short must not leave the mouse captured or the busy cursor showing.
    logic_.cancel();
}

void cSplitter::Initialise(QFrame* picSplitter, QWidget* frmParent) {
    bar_ = picSplitter;
    parent_ = frmParent;
    if (bar_)
        logic_.initialise();
}

bool cSplitter::allowSplit() {
    bool bSplit = true;
    emit DoSplit(bSplit);
    return bSplit;
}

double cSplitter::innerSize(Axis axis) {
    if (!parent_)
        return 0;
    return axis == Axis::Y ? parent_->height() : parent_->width();
}

void cSplitter::captureMouse(bool capture) {
    if (!parent_)
        return;
    if (capture)
        parent_->grabMouse();
    else
        parent_->releaseMouse();
}

void cSplitter::setScreenCursor(int cursor) {
    if (cursor == kCursorDefault) {
        if (overrideCursor_)
            QGuiApplication::restoreOverrideCursor();
        overrideCursor_ = false;
    } else if (overrideCursor_) {
        QGuiApplication::changeOverrideCursor(cursorShape(cursor));
    } else {
        QGuiApplication::setOverrideCursor(cursorShape(cursor));
        overrideCursor_ = true;
    }
}

void cSplitter::showBar() {
    if (bar_)
        bar_->setVisible(true);
}

void cSplitter::setBarCursor(int cursor) {
    if (bar_)
        bar_->setCursor(cursorShape(cursor));
}

void cSplitter::setBarBorder(int style) {
    if (!bar_)
        return;
    bar_->setFrameShape(style == 1 ? QFrame::Box : QFrame::NoFrame);
    bar_->setLineWidth(1);
}

void cSplitter::setBarColour(std::uint32_t colour) {
    if (!bar_)
        return;
    QPalette palette = bar_->palette();
    const QPalette::ColorRole role = colour == kColourButtonShadow ? QPalette::Dark : QPalette::Button;
    palette.setColor(QPalette::Window, palette.color(role));
    bar_->setPalette(palette);
    bar_->setAutoFillBackground(true);
}

void cSplitter::setBarInFront(bool front) {
    if (!bar_)
        return;
    if (front)
        bar_->raise();
    else
        bar_->lower();
}

void cSplitter::setBarThickness(Axis axis, int pixels) {
    if (!bar_)
        return;
    if (axis == Axis::Y)
        bar_->resize(bar_->width(), pixels);
    else
        bar_->resize(pixels, bar_->height());
}

void cSplitter::moveBar(Axis axis, int position) {
    if (!bar_)
        return;
    if (axis == Axis::Y)
        bar_->move(bar_->x(), position);
    else
        bar_->move(position, bar_->y());
}
