#include "splitter/Splitter.h"

#include <cmath>
#include <limits>

namespace karvo::splitter {

namespace {

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

constexpr int kDragThickness = 4;  // pixels

}  // namespace

void Splitter::setOrientation(std::int32_t eOrientation) {
    orientation_ = eOrientation;
    if (attached_)
        view_.setBarCursor(eOrientation == kHorizontal ? kCursorSizeNS : kCursorSizeWE);
}

void Splitter::initialise() {
    attached_ = true;
    view_.setBarBorder(0);
    view_.setBarInFront(false);
    // West-east whatever the orientation: only a later orientation write sets it by orientation.
    view_.setBarCursor(kCursorSizeWE);
    view_.showBar();
}

float Splitter::limit() const {
    // The window's size less the border, in single precision as the positions are.
    return static_cast<float>(view_.innerSize(axis()) - borderSize_);
}

void Splitter::mouseDown(float pos) {
    if (!view_.allowSplit())
        return;
    splitting_ = true;
    offset_ = roundToEven(pos);
    view_.setBarColour(kColourButtonShadow);
    view_.setBarInFront(true);
    view_.setBarBorder(1);
    // Thin along the axis it moves on: a flat bar keeps its length.
    view_.setBarThickness(axis(), kDragThickness);
    view_.captureMouse(true);
}

void Splitter::mouseMove(float pos) {
    if (!splitting_)
        return;
    // The border is exclusive at both ends, and the grip's offset is not taken off while moving.
    if (limit() > pos && static_cast<double>(pos) > borderSize_) {
        view_.setScreenCursor(orientation_ == kHorizontal ? kCursorSizeNS : kCursorSizeWE);
        view_.moveBar(axis(), roundToEven(pos));
    } else {
        view_.setScreenCursor(kCursorNoDrop);
    }
}

bool Splitter::mouseUp(float& pos) {
    if (!splitting_)
        return false;
    view_.captureMouse(false);
    view_.setBarColour(kColourButtonFace);
    view_.setBarBorder(0);
    if (static_cast<double>(pos) < borderSize_)
        pos = static_cast<float>(borderSize_);
    const float end = limit();
    if (end < pos)
        pos = end;
    pos -= static_cast<float>(offset_);
    view_.moveBar(axis(), roundToEven(pos));
    view_.setBarInFront(false);
    splitting_ = false;
    view_.setScreenCursor(kCursorDefault);
    view_.splitComplete();
    return true;
}

void Splitter::cancel() {
    if (splitting_)
        view_.captureMouse(false);
    splitting_ = false;
    view_.setScreenCursor(kCursorDefault);
}

}  // namespace karvo::splitter
