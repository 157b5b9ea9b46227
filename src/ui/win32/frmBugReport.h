// The Tell-a-Friend window's Win32 front end: builds its controls from mailer::controls(), passes
// the clicks, the socket's events and the timer's ticks to mailer::TellAFriend and carries out what
// it says. The connection is a non-blocking Winsock socket whose events arrive as window messages.
// Closing only hides the window; the next opening loads it afresh.
#pragma once

#include "mailer/TellAFriend.h"
#include "ui/win32/Handles.h"
#include "ui/win32/Win32Desktop.h"

#include <map>
#include <string>

namespace karvo::win32 {

class frmBugReport final : mailer::MailerView, mailer::MailSocket, mailer::Ticker {
public:
    frmBugReport(HINSTANCE instance, HWND owner);
    ~frmBugReport();
    frmBugReport(const frmBugReport&) = delete;
    frmBugReport& operator=(const frmBugReport&) = delete;

    HWND hwnd() const { return window_.get(); }
    Win32Desktop& desktop() { return desktop_; }
    // A control by its name in mailer::controls(), nullptr for none.
    HWND control(std::string_view name) const;
    // Loads the window unless it is still loaded, centres it on the screen and brings it forward.
    void open();
    // "&Cancel" and the close box: any session ends quietly.
    void close();

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void socketEvent(UINT_PTR socket, int event, int error);
    std::string readAll();

    // MailerView
    void setCaption(const std::string& text) override;
    std::string text(std::string_view control) const override;
    void setText(std::string_view control, const std::string& text) override;
    void setItems(std::string_view control, const std::vector<std::string>& items, int current) override;
    void setEnabled(std::string_view control, bool enabled) override;
    void setFocus(std::string_view control) override;
    void closeWindow() override { close(); }
    // MailSocket
    void connectTo(const std::string& host, int port) override;
    void send(const std::string& bytes) override;
    void hangUp() override;
    std::string localAddress() const override;
    std::string errorText() const override;
    // Ticker
    void start(int intervalMs) override;
    void stop() override;

    Win32Desktop desktop_;
    mailer::TellAFriend logic_;
    Window window_;
    Font font_;
    int dpi_ = 96;
    std::map<std::string, HWND, std::less<>> byName_;
    UINT_PTR socket_;  // a SOCKET; INVALID_SOCKET when there is no connection
    int error_ = 0;    // the Winsock error code of the last failure
};

}  // namespace karvo::win32
