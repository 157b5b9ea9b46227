#include "splitter/cSplitter.h"

#include <QFrame>
#include <QGuiApplication>
#include <QPalette>
#include <QWidget>

#include <cmath>
#include <limits>

using namespace karvo::splitter;

namespace {

// The drawing layer: cursor codes and system colours in Qt's terms.
Qt::CursorShape cursorShape(int code) {
    switch (code) {
    case kCursorSizeNS: return Qt::SizeVerCursor;
    case kCursorSizeWE: return Qt::SizeHorCursor;
    case kCursorNoDrop: return Qt::ForbiddenCursor;
    default: return Qt::ArrowCursor;
    }
}

void setBackColour(QFrame& bar, std::uint32_t colour) {
    QPalette palette = bar.palette();
    const QPalette::ColorRole role = colour == kColourButtonShadow ? QPalette::Dark : QPalette::Button;
    palette.setColor(QPalette::Window, palette.color(role));
    bar.setPalette(palette);
    bar.setAutoFillBackground(true);
}

void setBorderStyle(QFrame& bar, int style) {
    bar.setFrameShape(style == 1 ? QFrame::Box : QFrame::NoFrame);
    bar.setLineWidth(1);
}

// Whole units, halves to even, kept inside the 32-bit range.
std::int32_t roundToEven(float value) {
    if (!std::isfinite(value))
        return 0;
    const double r = std::nearbyint(static_cast<double>(value));
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

int toPixel(float pos) {
    return static_cast<int>(roundToEven(pos));
}

constexpr int kDragThickness = 4;  // pixels

}  // namespace

cSplitter::cSplitter(QObject* owner) : QObject(owner) {}

cSplitter::~cSplitter() {
    // A drag cut short must not leave the mouse captured or the busy cursor showing.
    if (splitting_ && parent_)
        parent_->releaseMouse();
    setScreenCursor(kCursorDefault);
    splitting_ = false;
}

void cSplitter::setOrientation(std::int32_t eOrientation) {
    orientation_ = eOrientation;
    if (bar_)
        bar_->setCursor(cursorShape(eOrientation == kHorizontal ? kCursorSizeNS : kCursorSizeWE));
}

void cSplitter::Initialise(QFrame* picSplitter, QWidget* frmParent) {
    bar_ = picSplitter;
    parent_ = frmParent;
    if (!bar_)
        return;
    setBorderStyle(*bar_, 0);
    bar_->lower();
    // West-east whatever the orientation: only a later Orientation write sets it by orientation.
    bar_->setCursor(cursorShape(kCursorSizeWE));
    bar_->setVisible(true);
}

double cSplitter::innerExtent() const {
    if (!parent_)
        return 0;
    return orientation_ == kHorizontal ? parent_->height() : parent_->width();
}

void cSplitter::moveBar(float pos) {
    if (!bar_)
        return;
    if (orientation_ == kHorizontal)
        bar_->move(bar_->x(), toPixel(pos));
    else
        bar_->move(toPixel(pos), bar_->y());
}

void cSplitter::setScreenCursor(int code) {
    if (code == kCursorDefault) {
        if (overrideCursor_)
            QGuiApplication::restoreOverrideCursor();
        overrideCursor_ = false;
        return;
    }
    if (overrideCursor_) {
        QGuiApplication::changeOverrideCursor(cursorShape(code));
    } else {
        QGuiApplication::setOverrideCursor(cursorShape(code));
        overrideCursor_ = true;
    }
}

void cSplitter::MouseDown(float Pos) {
    bool bSplit = true;
    emit DoSplit(bSplit);
    if (!bSplit)
        return;
    splitting_ = true;
    offset_ = roundToEven(Pos);
    if (bar_) {
        setBackColour(*bar_, kColourButtonShadow);
        bar_->raise();
        setBorderStyle(*bar_, 1);
        // Four pixels thick along the axis it moves on: a flat bar keeps its length.
        if (orientation_ == kHorizontal)
            bar_->resize(bar_->width(), kDragThickness);
        else
            bar_->resize(kDragThickness, bar_->height());
    }
    if (parent_)
        parent_->grabMouse();
}

void cSplitter::MouseMove(float Pos) {
    if (!splitting_)
        return;
    const float limit = static_cast<float>(innerExtent() - borderSize_);
    if (limit > Pos && static_cast<double>(Pos) > borderSize_) {
        setScreenCursor(orientation_ == kHorizontal ? kCursorSizeNS : kCursorSizeWE);
        moveBar(Pos);
    } else {
        setScreenCursor(kCursorNoDrop);
    }
}

bool cSplitter::MouseUp(float& Pos) {
    if (!splitting_)
        return false;
    if (parent_)
        parent_->releaseMouse();
    if (bar_) {
        setBackColour(*bar_, kColourButtonFace);
        setBorderStyle(*bar_, 0);
    }
    if (static_cast<double>(Pos) < borderSize_)
        Pos = static_cast<float>(borderSize_);
    const float limit = static_cast<float>(innerExtent() - borderSize_);
    if (limit < Pos)
        Pos = limit;
    Pos -= static_cast<float>(offset_);
    moveBar(Pos);
    if (bar_)
        bar_->lower();
    splitting_ = false;
    setScreenCursor(kCursorDefault);
    emit SplitComplete();
    return true;
}
