// The About box's Win32 window: builds its controls from the box's table and passes the opening and
// every click to about::AboutBox, which decides what happens. Closing only hides it; the next
// opening loads it afresh.
#pragma once

#include "about/AboutBox.h"
#include "ui/win32/Handles.h"
#include "ui/win32/Win32Desktop.h"

#include <map>
#include <string>

namespace karvo::win32 {

class frmAbout final : about::AboutView {
public:
    frmAbout(HINSTANCE instance, HWND owner, reg::RegistryService& registry);
    ~frmAbout();
    frmAbout(const frmAbout&) = delete;
    frmAbout& operator=(const frmAbout&) = delete;

    HWND hwnd() const { return window_.get(); }
    // Loads the box, centres it on the screen and brings it forward.
    void open();
    void close() { ShowWindow(hwnd(), SW_HIDE); }

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void draw(const DRAWITEMSTRUCT& item) const;

    void setCaption(const std::string& text) override;
    void setText(const std::string& control, const std::string& text) override;
    void closeWindow() override { close(); }

    Win32Desktop desktop_;
    about::AboutBox logic_;
    Window window_;
    Font font_, heading_;
    int dpi_ = 96;
    std::map<std::string, HWND, std::less<>> byName_;
};

}  // namespace karvo::win32
