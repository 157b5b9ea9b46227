// The registry's headers name a kernel helper that <windows.h> makes a macro: they come first.
#include "registry/RegistryService.h"

#include "ui/win32/frmAbout.h"

namespace karvo::win32 {

namespace {

constexpr wchar_t kClassName[] = L"KarvoAbout";
constexpr int kControlBase = 100;  // control ids: kControlBase + index in about::controls()
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;

Font makeFont(int tenthsOfPoints, int dpi, int weight) {
    return Font(CreateFontW(-MulDiv(tenthsOfPoints, dpi, 720), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg"));
}

const about::Control* controlOf(UINT id) {
    const std::size_t index = id - kControlBase;
    return id >= kControlBase && index < about::controls().size() ? &about::controls()[index] : nullptr;
}

}  // namespace

frmAbout::frmAbout(HINSTANCE instance, HWND owner, reg::RegistryService& registry)
    : logic_(*this, desktop_, registry) {
    registerWindowClass(instance, kClassName, &windowProc);
    window_.reset(CreateWindowExW(0, kClassName, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, owner, nullptr, instance, this));
    desktop_.setOwner(hwnd());
    dpi_ = windowDpi(hwnd()).y;
    const auto px = [this](int twips) { return MulDiv(twips, dpi_, 1440); };
    // The box was laid out for small 8-point text; larger text would not fit the frames.
    font_ = makeFont(80, dpi_, FW_NORMAL);
    heading_ = makeFont(98, dpi_, FW_BOLD);
    const auto controls = about::controls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const about::Control& c = controls[i];
        // A frame's labels are placed from its top left but belong to the box, as the group box
        // is no parent for controls.
        int left = px(c.left), top = px(c.top);
        if (*c.frame) {
            for (const about::Control& frame : controls)
                if (std::string_view(frame.name) == c.frame) {
                    left += px(frame.left);
                    top += px(frame.top);
                }
        }
        const wchar_t* cls = WC_STATICW;
        DWORD style = WS_CHILD | WS_VISIBLE;
        switch (c.kind) {
        case about::Kind::PictureBox:
        case about::Kind::Image: style |= SS_OWNERDRAW; break;
        case about::Kind::Heading:
        case about::Kind::Label: style |= SS_LEFT | SS_NOPREFIX; break;
        case about::Kind::Frame:
            cls = WC_BUTTONW;
            style |= BS_GROUPBOX;
            break;
        case about::Kind::Button:
            cls = WC_BUTTONW;
            style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        }
        if (c.kind != about::Kind::Button && c.click != about::Click::None)
            style |= SS_NOTIFY;
        HWND w = CreateWindowExW(0, cls, wide(c.text).c_str(), style, left, top, px(c.width), px(c.height), hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlBase + static_cast<int>(i))),
                                 instance, nullptr);
        SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(c.kind == about::Kind::Heading ? heading_.get() : font_.get()),
                     FALSE);
        byName_.emplace(c.name, w);
    }
    // The frames lie behind the labels they hold.
    for (const about::Control& c : controls)
        if (c.kind == about::Kind::Frame)
            SetWindowPos(byName_[c.name], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

frmAbout::~frmAbout() { window_.reset(); }

void frmAbout::open() {
    logic_.load();
    RECT frame{0, 0, MulDiv(about::kBoxWidth, dpi_, 1440), MulDiv(about::kBoxHeight, dpi_, 1440)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(hwnd(), HWND_TOP, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, 0);
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
}

LRESULT CALLBACK frmAbout::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<frmAbout*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self && self->window_ ? self->handle(msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT frmAbout::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (const about::Control* c = controlOf(LOWORD(wParam));
            c && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == STN_CLICKED))
            logic_.click(c->name);
        return 0;
    case WM_DRAWITEM: draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_CTLCOLORSTATIC: {
        const about::Control* c = controlOf(static_cast<UINT>(GetDlgCtrlID(reinterpret_cast<HWND>(lParam))));
        const auto dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        SetTextColor(dc, c && c->kind == about::Kind::Heading ? RGB(0, 0, 255) : GetSysColor(COLOR_BTNTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_TIMER:
        if (desktop_.timer(wParam))
            return 0;
        break;
    case WM_CLOSE: close(); return 0;
    default: break;
    }
    return DefWindowProcW(hwnd(), msg, wParam, lParam);
}

// The banner (a key above three folders on a blue band) and the web site's globe, drawn plainly.
void frmAbout::draw(const DRAWITEMSTRUCT& item) const {
    const about::Control* c = controlOf(item.CtlID);
    HDC dc = item.hDC;
    const RECT& r = item.rcItem;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ oldBrush = GetCurrentObject(dc, OBJ_BRUSH), oldPen = GetCurrentObject(dc, OBJ_PEN);
    if (c && c->kind == about::Kind::PictureBox) {
        Brush blue(CreateSolidBrush(RGB(40, 90, 180))), folder(CreateSolidBrush(RGB(240, 200, 90))),
            key(CreateSolidBrush(RGB(250, 220, 80)));
        SelectObject(dc, GetStockObject(BLACK_PEN));
        SelectObject(dc, blue.get());
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
        const int cx = (r.left + r.right) / 2, h = r.bottom - r.top;
        SelectObject(dc, folder.get());
        for (int i = 0; i < 3; ++i) {
            const int top = r.top + h * (55 + i * 13) / 100;
            Rectangle(dc, cx - 22, top, cx + 22, top + h / 10);
        }
        SelectObject(dc, key.get());
        Ellipse(dc, cx - 12, r.top + h / 5 - 12, cx + 12, r.top + h / 5 + 12);
        Rectangle(dc, cx - 3, r.top + h / 5 + 12, cx + 3, r.top + h * 48 / 100);
        SelectObject(dc, oldBrush);  // before the brushes go
    } else {
        Brush sea(CreateSolidBrush(RGB(70, 150, 230)));
        SelectObject(dc, GetStockObject(BLACK_PEN));
        SelectObject(dc, sea.get());
        Ellipse(dc, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        const int w = r.right - r.left;
        Ellipse(dc, r.left + w / 3, r.top + 1, r.right - w / 3, r.bottom - 1);
        MoveToEx(dc, r.left + 1, (r.top + r.bottom) / 2, nullptr);
        LineTo(dc, r.right - 1, (r.top + r.bottom) / 2);
        SelectObject(dc, oldBrush);
    }
    SelectObject(dc, oldPen);
}

void frmAbout::setCaption(const std::string& text) { SetWindowTextW(hwnd(), wide(text).c_str()); }

void frmAbout::setText(const std::string& control, const std::string& text) {
    if (const auto it = byName_.find(control); it != byName_.end())
        SetWindowTextW(it->second, wide(text).c_str());
}

}  // namespace karvo::win32
