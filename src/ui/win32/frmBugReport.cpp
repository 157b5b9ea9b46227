// Winsock's headers must come before <windows.h>, which would bring the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "ui/win32/frmBugReport.h"

#include <mutex>

namespace karvo::win32 {

using mailer::Control;
using mailer::Kind;

namespace {

constexpr wchar_t kClassName[] = L"KarvoBugReport";
constexpr int kControlBase = 100;              // control ids: kControlBase + index in mailer::controls()
constexpr UINT kSocketMessage = WM_APP + 10;   // WSAAsyncSelect's: wParam the socket, lParam event and error
constexpr UINT_PTR kTickTimer = 1;             // below the desktop's own timer ids
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;

const Control* controlOf(UINT id) {
    const std::size_t index = id - kControlBase;
    return id >= kControlBase && index < mailer::controls().size() ? &mailer::controls()[index] : nullptr;
}

void startWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

}  // namespace

frmBugReport::frmBugReport(HINSTANCE instance, HWND owner)
    : logic_(*this, *this, *this, desktop_), socket_(INVALID_SOCKET) {
    registerWindowClass(instance, kClassName, &windowProc);
    window_.reset(CreateWindowExW(0, kClassName, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, owner, nullptr, instance, this));
    desktop_.setOwner(hwnd());
    dpi_ = windowDpi(hwnd()).y;
    const auto px = [this](int twips) { return MulDiv(twips, dpi_, 1440); };
    // The rows are laid out for 8-point text; larger text would clip the labels.
    font_.reset(CreateFontW(-MulDiv(80, dpi_, 720), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg"));
    const auto controls = mailer::controls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Control& c = controls[i];
        // The group box is no parent for controls: a frame's controls are placed from its top left
        // but belong to the window.
        int left = px(c.left), top = px(c.top);
        for (const Control& frame : controls)
            if (*c.frame && std::string_view(frame.name) == c.frame) {
                left += px(frame.left);
                top += px(frame.top);
            }
        int height = px(c.height);
        const wchar_t* cls = WC_STATICW;
        DWORD style = WS_CHILD | (c.hidden ? 0 : WS_VISIBLE), exStyle = 0;
        switch (c.kind) {
        case Kind::Frame:
            cls = WC_BUTTONW;
            style |= BS_GROUPBOX;
            break;
        case Kind::Label: style |= SS_LEFT | SS_NOPREFIX; break;
        case Kind::Picture: style |= SS_ICON | SS_CENTERIMAGE; break;
        case Kind::Combo:
            cls = WC_COMBOBOXW;
            style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
            height *= 8;  // a drop-down combo's height includes its open list
            break;
        case Kind::Edit:
            cls = WC_EDITW;
            style |= ES_AUTOHSCROLL | WS_TABSTOP;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case Kind::Memo:
            cls = WC_EDITW;
            style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case Kind::Button:
            cls = WC_BUTTONW;
            style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        }
        HWND w = CreateWindowExW(exStyle, cls, wide(c.text).c_str(), style, left, top, px(c.width), height, hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlBase + static_cast<int>(i))),
                                 instance, nullptr);
        SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        if (c.kind == Kind::Picture)
            SendMessageW(w, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_INFORMATION)), 0);
        byName_.emplace(c.name, w);
    }
    // The dialog keys walk the controls in z-order: it is made the logic's tab order, and the frame
    // lies behind what it holds.
    HWND previous = HWND_TOP;
    for (const char* name : mailer::tabOrder()) {
        SetWindowPos(control(name), previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control(name);
    }
    for (const Control& c : controls)
        if (c.kind == Kind::Frame)
            SetWindowPos(control(c.name), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

frmBugReport::~frmBugReport() {
    hangUp();
    window_.reset();
}

HWND frmBugReport::control(std::string_view name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

void frmBugReport::open() {
    if (!logic_.loaded())
        logic_.load();
    RECT frame{0, 0, MulDiv(mailer::kFormWidth, dpi_, 1440), MulDiv(mailer::kFormHeight, dpi_, 1440)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(hwnd(), HWND_TOP, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, 0);
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
}

void frmBugReport::close() {
    logic_.unload();
    ShowWindow(hwnd(), SW_HIDE);
}

LRESULT CALLBACK frmBugReport::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<frmBugReport*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self && self->window_ ? self->handle(msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT frmBugReport::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (const Control* c = controlOf(LOWORD(wParam)); c && HIWORD(wParam) == BN_CLICKED) {
            if (std::string_view(c->name) == "cmdSend")
                logic_.send();
            else if (std::string_view(c->name) == "cmdExit")
                close();
        }
        return 0;
    case kSocketMessage:
        socketEvent(wParam, WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kTickTimer)
            logic_.tick();
        else
            desktop_.timer(wParam);
        return 0;
    case WM_CLOSE: close(); return 0;
    default: break;
    }
    return DefWindowProcW(hwnd(), msg, wParam, lParam);
}

// ---- what the logic tells the window ----------------------------------------------------------

void frmBugReport::setCaption(const std::string& text) { SetWindowTextW(hwnd(), wide(text).c_str()); }

std::string frmBugReport::text(std::string_view name) const { return windowText(control(name)); }

void frmBugReport::setText(std::string_view name, const std::string& value) {
    SetWindowTextW(control(name), wide(value).c_str());
}

void frmBugReport::setItems(std::string_view name, const std::vector<std::string>& items, int current) {
    HWND combo = control(name);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(current), 0);
}

void frmBugReport::setEnabled(std::string_view name, bool enabled) { EnableWindow(control(name), enabled); }

void frmBugReport::setFocus(std::string_view name) { SetFocus(control(name)); }

// ---- the socket and the timer -------------------------------------------------------------------

void frmBugReport::connectTo(const std::string& host, int port) {
    hangUp();
    startWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    // The lookup blocks the window for its while; the connection itself does not.
    int error = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    socket_ = ::socket(found ? found->ai_family : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (error == 0 && socket_ == INVALID_SOCKET)
        error = WSAGetLastError();
    if (error == 0 && WSAAsyncSelect(socket_, hwnd(), kSocketMessage, FD_CONNECT | FD_READ | FD_CLOSE) != 0)
        error = WSAGetLastError();
    if (error == 0 && ::connect(socket_, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK)
        error = WSAGetLastError();
    if (found)
        freeaddrinfo(found);
    // A failure is reported as the connection's own would be, once the logic has started waiting.
    if (error != 0)
        PostMessageW(hwnd(), kSocketMessage, socket_, WSAMAKESELECTREPLY(FD_CONNECT, error));
}

void frmBugReport::socketEvent(UINT_PTR socket, int event, int error) {
    // Events of a connection already dropped are queued still; they are not this one's.
    if (socket != socket_ || socket_ == INVALID_SOCKET)
        return;
    switch (event) {
    case FD_CONNECT:
        if (error != 0) {
            error_ = error;
            logic_.socketError();
        } else {
            logic_.connected();
        }
        return;
    case FD_READ:
        if (const std::string bytes = readAll(); !bytes.empty())
            logic_.received(bytes);
        return;
    case FD_CLOSE: {
        // A server that says why it closes is reported in its own words.
        if (const std::string bytes = readAll(); !bytes.empty())
            logic_.received(bytes);
        if (socket != socket_)
            return;
        if (error != 0) {
            error_ = error;
            logic_.socketError();
        } else {
            logic_.socketClosed();
        }
        return;
    }
    default: return;
    }
}

std::string frmBugReport::readAll() {
    std::string bytes;
    char buffer[4096];
    // A server that floods the connection is read a bounded piece at a time.
    while (bytes.size() < 64 * 1024) {
        const int got = recv(socket_, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

void frmBugReport::send(const std::string& bytes) {
    // The session's commands and its one message are far smaller than the socket's send buffer.
    std::size_t done = 0;
    while (socket_ != INVALID_SOCKET && done < bytes.size()) {
        const int sent = ::send(socket_, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
        if (sent <= 0)
            break;
        done += static_cast<std::size_t>(sent);
    }
}

void frmBugReport::hangUp() {
    if (socket_ == INVALID_SOCKET)
        return;
    // The bytes already sent (a QUIT) still go out before the connection closes.
    shutdown(socket_, SD_SEND);
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
}

std::string frmBugReport::localAddress() const {
    sockaddr_storage address{};
    int length = sizeof address;
    char text[INET6_ADDRSTRLEN] = {};
    if (socket_ == INVALID_SOCKET || getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text, sizeof text);
    else
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
    return text;
}

std::string frmBugReport::errorText() const {
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error_), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text = length ? utf8(std::wstring_view(message, length)) : std::string();
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "Connection failed (Winsock error " + std::to_string(error_) + ")" : text;
}

void frmBugReport::start(int intervalMs) { SetTimer(hwnd(), kTickTimer, static_cast<UINT>(intervalMs), nullptr); }

void frmBugReport::stop() { KillTimer(hwnd(), kTickTimer); }

}  // namespace karvo::win32
