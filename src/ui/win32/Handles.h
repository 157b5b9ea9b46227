// Owners for the handles the Win32 windows hold, and the UTF-8 <-> UTF-16 boundary: the program keeps
// UTF-8 inside and speaks the wide-character window calls only at the edge.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace karvo::win32 {

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view text);

// A window's text as UTF-8.
std::string windowText(HWND window);

// Registers one of our window classes, once per process: the arrow cursor, the button face behind.
void registerWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, HICON icon = nullptr);
// The window's screen density in dots per inch, across (x) and down (y); read once per window.
POINT windowDpi(HWND window);

struct WindowCloser {
    void operator()(HWND h) const { DestroyWindow(h); }
};
struct GdiCloser {
    void operator()(void* h) const { DeleteObject(static_cast<HGDIOBJ>(h)); }
};
struct ImageListCloser {
    void operator()(HIMAGELIST h) const { ImageList_Destroy(h); }
};
struct MenuCloser {
    void operator()(HMENU h) const { DestroyMenu(h); }
};
struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};

using Window = std::unique_ptr<std::remove_pointer_t<HWND>, WindowCloser>;
using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiCloser>;
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiCloser>;
using Brush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiCloser>;
using ImageList = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, ImageListCloser>;
using Menu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuCloser>;
using Handle = std::unique_ptr<void, HandleCloser>;

}  // namespace karvo::win32
