#include "ui/win32/cSplitter.h"

namespace karvo::win32 {

namespace {

constexpr wchar_t kClassName[] = L"KarvoSplitterBar";

HCURSOR cursorFor(int code) {
    switch (code) {
    case splitter::kCursorSizeNS: return LoadCursorW(nullptr, IDC_SIZENS);
    case splitter::kCursorSizeWE: return LoadCursorW(nullptr, IDC_SIZEWE);
    case splitter::kCursorNoDrop: return LoadCursorW(nullptr, IDC_NO);
    default: return LoadCursorW(nullptr, IDC_ARROW);
    }
}

}  // namespace

cSplitter::cSplitter(HWND owner, std::int32_t orientation) : owner_(owner) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    registerWindowClass(instance, kClassName, &barProc);
    bar_.reset(CreateWindowExW(0, kClassName, L"", WS_CHILD, 0, 0, 4, 4, owner, nullptr, instance, this));
    logic_.setOrientation(orientation);
    logic_.initialise();
}

LRESULT CALLBACK cSplitter::barProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<cSplitter*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self && self->bar_ ? self->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

float cSplitter::along(LPARAM lParam) const {
    POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    MapWindowPoints(bar(), owner_, &p, 1);
    return static_cast<float>(logic_.orientation() == splitter::kHorizontal ? p.y : p.x);
}

LRESULT cSplitter::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN: logic_.mouseDown(along(lParam)); return 0;
    case WM_MOUSEMOVE: logic_.mouseMove(along(lParam)); return 0;
    case WM_LBUTTONUP: {
        float position = along(lParam);
        if (logic_.mouseUp(position) && splitDone)
            splitDone(static_cast<int>(position));
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (logic_.splitting() && reinterpret_cast<HWND>(lParam) != bar())
            logic_.cancel();
        return 0;
    case WM_SETCURSOR: SetCursor(cursorFor(barCursor_)); return TRUE;
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(bar(), &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(colourIndex_));
        return 1;
    }
    default: return DefWindowProcW(bar(), message, wParam, lParam);
    }
}

double cSplitter::innerSize(splitter::Axis axis) {
    RECT r;
    GetClientRect(owner_, &r);
    return axis == splitter::Axis::X ? r.right - r.left : r.bottom - r.top;
}

void cSplitter::captureMouse(bool capture) {
    if (capture)
        SetCapture(bar());
    else if (GetCapture() == bar())
        ReleaseCapture();
}

void cSplitter::setScreenCursor(int cursor) { SetCursor(cursorFor(cursor)); }

void cSplitter::setBarBorder(int style) {
    const LONG_PTR old = GetWindowLongPtrW(bar(), GWL_STYLE);
    SetWindowLongPtrW(bar(), GWL_STYLE, style ? (old | WS_BORDER) : (old & ~static_cast<LONG_PTR>(WS_BORDER)));
    SetWindowPos(bar(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void cSplitter::setBarColour(std::uint32_t colour) {
    // The logic names system colours as 0x80000000 plus the system's colour index.
    colourIndex_ = static_cast<int>(colour & 0xFFu);
    InvalidateRect(bar(), nullptr, TRUE);
}

void cSplitter::setBarInFront(bool front) {
    SetWindowPos(bar(), front ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void cSplitter::setBarThickness(splitter::Axis axis, int pixels) {
    RECT r;
    GetWindowRect(bar(), &r);
    const int across = static_cast<int>(innerSize(axis == splitter::Axis::X ? splitter::Axis::Y : splitter::Axis::X));
    SetWindowPos(bar(), nullptr, 0, 0, axis == splitter::Axis::X ? pixels : across,
                 axis == splitter::Axis::X ? across : pixels, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void cSplitter::moveBar(splitter::Axis axis, int position) {
    RECT r;
    GetWindowRect(bar(), &r);
    MapWindowPoints(nullptr, owner_, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(bar(), nullptr, axis == splitter::Axis::X ? position : r.left,
                 axis == splitter::Axis::Y ? position : r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace karvo::win32
