// The Win32 bar between two panes, dragged with window messages as the mouse would send them.
#include "ui/win32/cSplitter.h"

#include <gtest/gtest.h>

namespace karvo::win32 {
namespace {

TEST(Win32Splitter, ADragHoldsTheMouseMovesTheBarAndReportsWhereItEnds) {
    Window owner(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr));
    cSplitter splitter(owner.get(), splitter::kVertical);
    int ended = -1;
    splitter.splitDone = [&](int position) { ended = position; };
    SetWindowPos(splitter.bar(), nullptr, 100, 0, 6, 300, SWP_NOZORDER);
    const auto left = [&] {
        RECT r;
        GetWindowRect(splitter.bar(), &r);
        MapWindowPoints(nullptr, owner.get(), reinterpret_cast<POINT*>(&r), 2);
        return r.left;
    };
    // The mouse at x of the window, as the bar (which gains a border while dragged) is told it.
    const auto mouse = [&](UINT message, int x) {
        POINT p{x, 10};
        MapWindowPoints(owner.get(), splitter.bar(), &p, 1);
        SendMessageW(splitter.bar(), message, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    };
    // Gripped 2 pixels into the bar, moved to x 250 of the window, let go there.
    mouse(WM_LBUTTONDOWN, 102);
    EXPECT_EQ(GetCapture(), splitter.bar());
    mouse(WM_MOUSEMOVE, 250);
    EXPECT_EQ(left(), 250);
    mouse(WM_LBUTTONUP, 250);
    EXPECT_NE(GetCapture(), splitter.bar());
    EXPECT_EQ(ended, 250 - 102);  // the grip's place is taken off once, at the end
    EXPECT_EQ(left(), ended);
}

}  // namespace
}  // namespace karvo::win32
