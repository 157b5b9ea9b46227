// The pane splitter's Qt side: a frame stands in for the bar, and its window holds the mouse during a
// drag. It forwards the owner's calls to Splitter and does what Splitter says; the owner hears of a
// drag through two signals.
#pragma once

#include "splitter/Splitter.h"

#include <QObject>
#include <QPointer>

class QFrame;
class QWidget;

class cSplitter : public QObject, private karvo::splitter::SplitterView {
    Q_OBJECT
public:
    explicit cSplitter(QObject* owner = nullptr);
    ~cSplitter() override;

    void setOrientation(std::int32_t eOrientation) { logic_.setOrientation(eOrientation); }
    std::int32_t Orientation() const { return logic_.orientation(); }
    void setBorderSize(std::int32_t lSize) { logic_.setBorderSize(lSize); }
    std::int32_t BorderSize() const { return logic_.borderSize(); }

    // The bar (a frame, standing in for a picture box) and the window whose inner size bounds it.
    void Initialise(QFrame* picSplitter, QWidget* frmParent);

    void MouseDown(float Pos) { logic_.mouseDown(Pos); }
    void MouseMove(float Pos) { logic_.mouseMove(Pos); }
    // Ends a drag: places the bar and hands its final position back in Pos. False when no drag
    // was in progress (Pos untouched).
    bool MouseUp(float& Pos) { return logic_.mouseUp(Pos); }

    bool isSplitting() const { return logic_.splitting(); }

signals:
    // Raised at mouse-down with bSplit true; a receiver sets it false to refuse the drag.
    // Connect directly (the default within one thread) so the answer is seen.
    void DoSplit(bool& bSplit);
    // The drag has ended and the bar is in its final place.
    void SplitComplete();

private:
    using Axis = karvo::splitter::Axis;
    bool allowSplit() override;
    void splitComplete() override { emit SplitComplete(); }
    double innerSize(Axis axis) override;
    void captureMouse(bool capture) override;
    void setScreenCursor(int cursor) override;
    void showBar() override;
    void setBarCursor(int cursor) override;
    void setBarBorder(int style) override;
    void setBarColour(std::uint32_t colour) override;
    void setBarInFront(bool front) override;
    void setBarThickness(Axis axis, int pixels) override;
    void moveBar(Axis axis, int position) override;

    karvo::splitter::Splitter logic_{*this};
    QPointer<QFrame> bar_;
    QPointer<QWidget> parent_;
    bool overrideCursor_ = false;  // whether we hold an application-wide cursor
};
