// A draggable bar between two panes. The window that owns the bar forwards the bar's mouse-down
// and its own mouse-move and mouse-up (it holds the mouse capture during a drag) to the object,
// with the mouse position along the moving axis; the object gives feedback, keeps the bar inside
// the window and tells the owner when to lay out its panes again.
//
// Positions are in the parent window's scale units, which for our windows are pixels.
#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>

class QFrame;
class QWidget;

namespace karvo::splitter {

// Cursor codes of the drawing layer.
inline constexpr int kCursorDefault = 0;
inline constexpr int kCursorSizeNS = 7;
inline constexpr int kCursorSizeWE = 9;
inline constexpr int kCursorNoDrop = 12;

// System colours: button shadow while dragging, button face at rest.
inline constexpr std::uint32_t kColourButtonShadow = 0x80000010u;
inline constexpr std::uint32_t kColourButtonFace = 0x8000000Fu;

inline constexpr std::int32_t kHorizontal = 1;  // the bar lies flat and moves up and down
inline constexpr std::int32_t kVertical = 2;    // the bar stands and moves left and right

}  // namespace karvo::splitter

class cSplitter : public QObject {
    Q_OBJECT
public:
    explicit cSplitter(QObject* owner = nullptr);
    ~cSplitter() override;

    void setOrientation(std::int32_t eOrientation);
    std::int32_t Orientation() const { return orientation_; }
    void setBorderSize(std::int32_t lSize) { borderSize_ = lSize; }
    std::int32_t BorderSize() const { return borderSize_; }

    // The bar (a frame, standing in for a picture box) and the window whose inner size bounds it.
    void Initialise(QFrame* picSplitter, QWidget* frmParent);

    void MouseDown(float Pos);
    void MouseMove(float Pos);
    // Ends a drag: places the bar and hands its final position back in Pos. False when no drag
    // was in progress (Pos untouched).
    bool MouseUp(float& Pos);

    bool isSplitting() const { return splitting_; }

signals:
    // Raised at mouse-down with bSplit true; a receiver sets it false to refuse the drag.
    // Connect directly (the default within one thread) so the answer is seen.
    void DoSplit(bool& bSplit);
    // The drag has ended and the bar is in its final place.
    void SplitComplete();

private:
    double innerExtent() const;
    void moveBar(float pos);
    void setScreenCursor(int code);

    QPointer<QFrame> bar_;
    QPointer<QWidget> parent_;
    bool splitting_ = false;
    std::int32_t offset_ = 0;
    std::int32_t borderSize_ = 0;
    std::int32_t orientation_ = karvo::splitter::kVertical;
    bool overrideCursor_ = false;  // whether we hold an application-wide cursor
};
