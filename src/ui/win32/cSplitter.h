// The draggable bar between two panes in Win32: a child window of the panes' owner. It holds the mouse
// with SetCapture while dragged and carries out what the splitter logic says; the arithmetic is the
// logic's.
#pragma once

#include "splitter/Splitter.h"
#include "ui/win32/Handles.h"

#include <functional>

namespace karvo::win32 {

class cSplitter final : private splitter::SplitterView {
public:
    // A bar in owner, of the given orientation (splitter::kVertical or kHorizontal).
    cSplitter(HWND owner, std::int32_t orientation);

    HWND bar() const { return bar_.get(); }
    // The owner may refuse a drag; a finished drag reports the bar's final position.
    std::function<bool()> allowSplitter;
    std::function<void(int position)> splitDone;

private:
    static LRESULT CALLBACK barProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    float along(LPARAM lParam) const;  // the mouse position on the moving axis, in the owner

    bool allowSplit() override { return !allowSplitter || allowSplitter(); }
    void splitComplete() override {}
    double innerSize(splitter::Axis axis) override;
    void captureMouse(bool capture) override;
    void setScreenCursor(int cursor) override;
    void showBar() override { ShowWindow(bar(), SW_SHOW); }
    void setBarCursor(int cursor) override { barCursor_ = cursor; }
    void setBarBorder(int style) override;
    void setBarColour(std::uint32_t colour) override;
    void setBarInFront(bool front) override;
    void setBarThickness(splitter::Axis axis, int pixels) override;
    void moveBar(splitter::Axis axis, int position) override;

    HWND owner_;
    Window bar_;
    splitter::Splitter logic_{*this};
    int barCursor_ = splitter::kCursorDefault;
    int colourIndex_ = COLOR_BTNFACE;
};

}  // namespace karvo::win32
