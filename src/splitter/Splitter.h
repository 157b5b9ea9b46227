// A draggable bar between two panes, without a window: the drag's arithmetic and its feedback. The
// window that owns the bar forwards the bar's mouse-down and, while it holds the mouse, its own
// mouse-move and mouse-up, with the mouse position along the moving axis; the splitter tells the
// SplitterView how the bar looks and where it goes, and when the owner lays out its panes again.
//
// Positions are in the window's scale units, which for our windows are pixels.
#pragma once

#include <cstdint>

namespace karvo::splitter {

// Cursor codes.
inline constexpr int kCursorDefault = 0;
inline constexpr int kCursorSizeNS = 7;
inline constexpr int kCursorSizeWE = 9;
inline constexpr int kCursorNoDrop = 12;

// System colours: button shadow while dragging, button face at rest.
inline constexpr std::uint32_t kColourButtonShadow = 0x80000010u;
inline constexpr std::uint32_t kColourButtonFace = 0x8000000Fu;

inline constexpr std::int32_t kHorizontal = 1;  // the bar lies flat and moves up and down
inline constexpr std::int32_t kVertical = 2;    // the bar stands and moves left and right

enum class Axis { X, Y };  // left and width, or top and height

// What the splitter asks of the bar, its window and the window's owner.
class SplitterView {
public:
    virtual bool allowSplit() = 0;      // the owner may refuse a drag
    virtual void splitComplete() = 0;   // the bar is in its final place
    virtual double innerSize(Axis axis) = 0;  // of the window
    virtual void captureMouse(bool capture) = 0;  // the window gets all mouse input until released
    virtual void setScreenCursor(int cursor) = 0;  // application-wide; kCursorDefault gives it back
    virtual void showBar() = 0;
    virtual void setBarCursor(int cursor) = 0;
    virtual void setBarBorder(int style) = 0;  // 0 none, 1 fixed single
    virtual void setBarColour(std::uint32_t colour) = 0;
    virtual void setBarInFront(bool front) = 0;  // stacking: to front, or behind the panes
    virtual void setBarThickness(Axis axis, int pixels) = 0;
    virtual void moveBar(Axis axis, int position) = 0;

protected:
    ~SplitterView() = default;
};

class Splitter {
public:
    explicit Splitter(SplitterView& view) : view_(view) {}

    void setOrientation(std::int32_t eOrientation);
    std::int32_t orientation() const { return orientation_; }
    void setBorderSize(std::int32_t lSize) { borderSize_ = lSize; }
    std::int32_t borderSize() const { return borderSize_; }

    // The bar is attached: from now on the splitter shapes it.
    void initialise();
    void mouseDown(float pos);
    void mouseMove(float pos);
    // Ends a drag: places the bar and hands its final position back in pos. False when no drag was
    // in progress (pos untouched).
    bool mouseUp(float& pos);
    // A drag cut short (the bar's owner goes away): the mouse and the screen's cursor are let go.
    void cancel();

    bool splitting() const { return splitting_; }

private:
    Axis axis() const { return orientation_ == kHorizontal ? Axis::Y : Axis::X; }
    float limit() const;

    SplitterView& view_;
    bool attached_ = false;
    bool splitting_ = false;
    std::int32_t offset_ = 0;
    std::int32_t borderSize_ = 0;
    std::int32_t orientation_ = kVertical;
};

}  // namespace karvo::splitter
