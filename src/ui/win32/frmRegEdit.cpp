// The registry's headers name a kernel helper that <windows.h> makes a macro: they come first.
#include "registry/RegistryService.h"
#include "registry/cRegistry.h"

#include "ui/win32/frmRegEdit.h"

#include "ui/Obeying.h"

#include "platform/GetWin.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

namespace karvo::win32 {

using tree::Image;
using tree::NodeId;

namespace {

constexpr wchar_t kClassName[] = L"KarvoRegEdit";
constexpr int kControlBase = 100;   // control ids: kControlBase + index in app::controls()
constexpr int kMenuBase = 1000;     // menu ids: kMenuBase + index in app::menus()
// A node the user closed: handled after the tree control has finished closing it, since the logic
// may drop and re-add the node itself.
constexpr UINT kCollapsed = WM_APP + 1;
// A comparison window has closed: its object (and comparison) is dropped outside its own calls.
constexpr UINT kComparisonClosed = WM_APP + 2;
constexpr int kPicture = 16;

using karvo::ui::Obeying;

Font makeFont(int points, int dpi, int weight, const wchar_t* face) {
    return Font(CreateFontW(-MulDiv(points, dpi, 72), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face));
}

// The tree's pictures, in the order of tree::Image so that an image's number is its index; None is
// an empty picture.
ImageList makeImages() {
    ImageList list(ImageList_Create(kPicture, kPicture, ILC_COLOR24 | ILC_MASK, 5, 0));
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    Bitmap strip(CreateCompatibleBitmap(screen, kPicture * 5, kPicture));
    ReleaseDC(nullptr, screen);
    const COLORREF clear = RGB(255, 0, 255);
    HGDIOBJ oldBitmap = SelectObject(dc, strip.get());
    Brush background(CreateSolidBrush(clear)), yellow(CreateSolidBrush(RGB(240, 200, 60))),
        pale(CreateSolidBrush(RGB(255, 236, 150))), white(CreateSolidBrush(RGB(255, 255, 255)));
    const RECT all{0, 0, kPicture * 5, kPicture};
    FillRect(dc, &all, background.get());
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, yellow.get());
    const auto folder = [&](int x) {
        SelectObject(dc, yellow.get());
        Rectangle(dc, x + 1, 2, x + 7, 5);
        Rectangle(dc, x + 1, 4, x + 15, 14);
    };
    folder(kPicture * static_cast<int>(Image::OpenFolder));
    {
        const int x = kPicture * static_cast<int>(Image::OpenFolder);
        const POINT flap[] = {{x + 3, 7}, {x + 16, 7}, {x + 14, 13}, {x + 1, 13}};
        SelectObject(dc, pale.get());
        Polygon(dc, flap, 4);
    }
    {
        const int x = kPicture * static_cast<int>(Image::DataItem);
        SelectObject(dc, white.get());
        Rectangle(dc, x + 3, 1, x + 13, 15);
        for (int y = 4; y < 13; y += 3) {
            MoveToEx(dc, x + 5, y, nullptr);
            LineTo(dc, x + 11, y);
        }
    }
    folder(kPicture * static_cast<int>(Image::ClosedFolder));
    {
        const int x = kPicture * static_cast<int>(Image::Selected);
        folder(x);
        std::unique_ptr<std::remove_pointer_t<HPEN>, GdiCloser> red(CreatePen(PS_SOLID, 2, RGB(220, 0, 0)));
        SelectObject(dc, red.get());
        const POINT tick[] = {{x + 3, 8}, {x + 6, 12}, {x + 14, 2}};
        Polyline(dc, tick, 3);
        SelectObject(dc, GetStockObject(BLACK_PEN));
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    ImageList_AddMasked(list.get(), strip.get(), clear);
    return list;
}

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

}  // namespace

frmRegEdit::frmRegEdit(HINSTANCE instance, const std::string& programFolder, std::function<void()> closed)
    : instance_(instance), closed_(std::move(closed)), reg_(std::make_unique<cRegistry>()) {
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    registerWindowClass(instance, kClassName, &windowProc, LoadIconW(nullptr, IDI_APPLICATION));
    window_.reset(CreateWindowExW(0, kClassName, wide(app::kCaption).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this));
    desktop_.setOwner(hwnd());
    const POINT dpi = windowDpi(hwnd());
    dpiX_ = dpi.x;
    dpiY_ = dpi.y;
    buildControls();
    buildMenus();
    app::Places places{programFolder, platform::GetWinDir(), reg::registryChoice().wine};
    app::MainView& view = *this;
    tree::TreeView& treeView = *this;
    logic_ = std::make_unique<app::MainWindow>(view, treeView, desktop_, desktop_, *reg_, std::move(places));
}

frmRegEdit::~frmRegEdit() {
    logic_.reset();
    while (busy_ > 0)
        setBusy(false);
    // The controls go before the fonts and pictures they show, the owned windows before their owner.
    about_.reset();
    mail_.reset();
    comparisons_.clear();
    window_.reset();
}

HWND frmRegEdit::control(std::string_view name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

void frmRegEdit::buildControls() {
    const auto x = [this](int twips) { return MulDiv(twips, dpiX_, 1440); };
    const auto y = [this](int twips) { return MulDiv(twips, dpiY_, 1440); };
    font_ = makeFont(8, dpiY_, FW_NORMAL, L"MS Shell Dlg");
    bold_ = makeFont(12, dpiY_, FW_BOLD, L"MS Sans Serif");
    treeFont_ = makeFont(8, dpiY_, FW_NORMAL, L"Tahoma");
    images_ = makeImages();
    HWND tips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, instance_, nullptr);
    const auto controls = app::controls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const app::Control& c = controls[i];
        const std::string_view text = c.text;
        const wchar_t* cls = WC_STATICW;
        DWORD style = WS_CHILD | WS_VISIBLE, exStyle = 0;
        int height = y(c.height);
        switch (c.kind) {
        case app::Kind::Line:
            style |= text == "dark" ? SS_GRAYRECT : SS_WHITERECT;
            height = 1;
            break;
        case app::Kind::Combo:
            cls = WC_COMBOBOXW;
            style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
            height *= 8;  // with its drop-down list
            break;
        case app::Kind::Picture: style |= SS_OWNERDRAW | SS_NOTIFY; break;
        case app::Kind::Button:
            cls = WC_BUTTONW;
            style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case app::Kind::TextBox:
        case app::Kind::StatusBox:
            cls = WC_EDITW;
            style |= ES_AUTOHSCROLL | WS_TABSTOP | (c.kind == app::Kind::StatusBox ? ES_READONLY : 0);
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case app::Kind::Label: style |= SS_LEFT | SS_NOPREFIX; break;
        case app::Kind::Tree:
            cls = WC_TREEVIEWW;
            style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_TABSTOP;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case app::Kind::List:
            cls = WC_LISTBOXW;
            style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        }
        if (std::string_view(c.name) == "lblMessage")
            style &= ~static_cast<DWORD>(WS_VISIBLE);
        HWND w = CreateWindowExW(exStyle, cls, nullptr, style, x(c.left), y(c.top), x(c.width), height, hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlBase + static_cast<int>(i))),
                                 instance_, nullptr);
        const bool bold = c.kind == app::Kind::Button && (text == "+" || text == "-");
        SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(bold ? bold_.get() : font_.get()), FALSE);
        if (c.kind != app::Kind::Line && c.kind != app::Kind::Picture && !text.empty())
            SetWindowTextW(w, wide(text).c_str());
        if (c.kind == app::Kind::Tree) {
            tvwReg = w;
            SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(treeFont_.get()), FALSE);
            TreeView_SetImageList(w, images_.get(), TVSIL_NORMAL);
            SetWindowSubclass(w, &childProc, 1, reinterpret_cast<DWORD_PTR>(this));
        } else if (c.kind == app::Kind::List) {
            lstBack = w;
            // Scrolled sideways to twice its width.
            SendMessageW(w, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(x(c.width) * 2), 0);
        } else if (c.kind == app::Kind::Combo) {
            Combo1 = w;
        } else if (c.kind == app::Kind::StatusBox) {
            SetWindowSubclass(w, &childProc, 2, reinterpret_cast<DWORD_PTR>(this));
        }
        if (*c.tip && tips) {
            std::wstring tip = wide(c.tip);
            TOOLINFOW info{};
            info.cbSize = sizeof info;
            info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            info.hwnd = hwnd();
            info.uId = reinterpret_cast<UINT_PTR>(w);
            info.lpszText = tip.data();
            SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        }
        controls_.push_back(w);
        byName_.emplace(c.name, w);
    }
}

void frmRegEdit::buildMenus() {
    Menu bar(CreateMenu());
    HMENU popup = nullptr;
    std::string_view current;
    const auto items = app::menus();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const app::MenuItem& m = items[i];
        if (m.menu != current) {
            current = m.menu;
            popup = CreatePopupMenu();
            AppendMenuW(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup), wide(m.title).c_str());
        }
        if (std::string_view(m.text) == "-")
            AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(kMenuBase + static_cast<int>(i)), wide(m.text).c_str());
    }
    // The window owns its menu from here on.
    if (SetMenu(hwnd(), bar.get()))
        static_cast<void>(bar.release());
}

bool frmRegEdit::preTranslate(const MSG& msg) {
    // The About box's buttons take the Tab key in table order, as the system's dialog keys walk them.
    if (about_ && IsChild(about_->hwnd(), msg.hwnd))
        return IsDialogMessageW(about_->hwnd(), const_cast<MSG*>(&msg));
    if (mail_ && IsChild(mail_->hwnd(), msg.hwnd))
        return IsDialogMessageW(mail_->hwnd(), const_cast<MSG*>(&msg));
    for (const auto& comparison : comparisons_)
        if (comparison->isOpen() && IsChild(comparison->hwnd(), msg.hwnd))
            return IsDialogMessageW(comparison->hwnd(), const_cast<MSG*>(&msg));
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || !hwnd() || !IsChild(hwnd(), msg.hwnd))
        return false;
    const auto order = app::tabOrder();
    std::vector<HWND> walk;
    for (const char* name : order)
        walk.push_back(control(name));
    // The focus may be inside a control (the combo's text field).
    HWND at = GetFocus();
    auto here = walk.end();
    while (at && at != hwnd() && (here = std::find(walk.begin(), walk.end(), at)) == walk.end())
        at = GetParent(at);
    const bool back = GetKeyState(VK_SHIFT) < 0;
    std::size_t index = here == walk.end() ? walk.size() - 1 : static_cast<std::size_t>(here - walk.begin());
    for (std::size_t tries = 0; tries < walk.size(); ++tries) {
        index = back ? (index + walk.size() - 1) % walk.size() : (index + 1) % walk.size();
        if (IsWindowVisible(walk[index]) && IsWindowEnabled(walk[index])) {
            SetFocus(walk[index]);
            break;
        }
    }
    return true;
}

LRESULT CALLBACK frmRegEdit::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<frmRegEdit*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || !self->logic_)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->handle(msg, wParam, lParam);
}

LRESULT CALLBACK frmRegEdit::childProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<frmRegEdit*>(data);
    if (self->logic_) {
        if (hwnd == self->tvwReg && msg == WM_LBUTTONDOWN) {
            // The tree reports a click without saying where; the press says which item it is.
            TVHITTESTINFO hit{};
            hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            TreeView_HitTest(hwnd, &hit);
            self->pressed_ = (hit.flags & TVHT_ONITEM) ? hit.hItem : nullptr;
        } else if (hwnd != self->tvwReg && (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK)) {
            // The second press of a double click counts as a press as well.
            self->logic_->statusLinePressed();
            return 0;
        }
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT frmRegEdit::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (lParam == 0 && HIWORD(wParam) == 0 && LOWORD(wParam) >= kMenuBase) {
            const std::size_t index = LOWORD(wParam) - kMenuBase;
            if (index < app::menus().size())
                logic_->menu(app::menus()[index].name);
        } else {
            command(LOWORD(wParam), HIWORD(wParam));
        }
        return 0;
    case WM_NOTIFY: return notify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_DRAWITEM: drawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_TIMER:
        if (desktop_.timer(wParam))
            return 0;
        break;
    case WM_SETCURSOR:
        if (busy_ > 0) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_CLOSE: logic_->unload(); return 0;
    case kCollapsed: logic_->tree().collapsed(static_cast<NodeId>(wParam)); return 0;
    case kComparisonClosed:
        std::erase_if(comparisons_, [](const auto& comparison) { return !comparison->isOpen(); });
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd(), msg, wParam, lParam);
}

void frmRegEdit::command(int id, int code) {
    const std::size_t index = static_cast<std::size_t>(id - kControlBase);
    if (id < kControlBase || index >= app::controls().size())
        return;
    const app::Control& c = app::controls()[index];
    const std::string_view name = c.name;
    switch (c.kind) {
    case app::Kind::Button:
        if (code == BN_CLICKED)
            logic_->buttonClicked(name);
        return;
    case app::Kind::Picture:
        if (code == STN_CLICKED)
            std::string_view(c.text) == "down" ? logic_->downArrow() : logic_->upArrow();
        return;
    case app::Kind::TextBox:
        if (name == "txtFilename" && code == EN_CHANGE && !obeying_)
            logic_->nameChanged();
        return;
    case app::Kind::List:
        if (code == LBN_SELCHANGE && !obeying_)
            logic_->backupChosen(static_cast<int>(SendMessageW(lstBack, LB_GETCURSEL, 0, 0)));
        return;
    case app::Kind::Combo: {
        // A choice is a click or Return in the open list, or an arrow key on the closed one.
        const bool dropped = SendMessageW(Combo1, CB_GETDROPPEDSTATE, 0, 0) != 0;
        if (!obeying_ && ((code == CBN_SELCHANGE && !dropped) || (code == CBN_SELENDOK && dropped))) {
            const int chosen = static_cast<int>(SendMessageW(Combo1, CB_GETCURSEL, 0, 0));
            if (chosen >= 0)
                logic_->favouriteChosen(chosen);
        }
        return;
    }
    default: return;
    }
}

LRESULT frmRegEdit::notify(const NMHDR& header) {
    if (header.hwndFrom != tvwReg)
        return 0;
    const auto& nm = reinterpret_cast<const NMTREEVIEWW&>(header);
    switch (header.code) {
    case TVN_ITEMEXPANDINGW:
        // Sub-keys are read before the node opens, so they arrive in one batch.
        if (!obeying_ && (nm.action & TVE_EXPAND))
            logic_->tree().expanded(nodeOf(nm.itemNew.hItem));
        else if (!obeying_ && (nm.action & TVE_COLLAPSE))
            PostMessageW(hwnd(), kCollapsed, nodeOf(nm.itemNew.hItem), 0);
        return FALSE;
    case TVN_SELCHANGEDW:
        if (!obeying_)
            logic_->tree().selected(nodeOf(nm.itemNew.hItem));
        return 0;
    case NM_CLICK:
        if (HTREEITEM clicked = std::exchange(pressed_, nullptr))
            logic_->nodeClick(nodeOf(clicked));
        return 0;
    default: return 0;
    }
}

void frmRegEdit::drawPicture(const DRAWITEMSTRUCT& item) const {
    const std::size_t index = item.CtlID - kControlBase;
    const bool down = index < app::controls().size() && std::string_view(app::controls()[index].text) == "down";
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    const RECT& r = item.rcItem;
    const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2, h = (r.bottom - r.top) / 5;
    const POINT arrow[] = {{cx - h, down ? cy - h / 2 : cy + h / 2},
                           {cx + h, down ? cy - h / 2 : cy + h / 2},
                           {cx, down ? cy + h / 2 : cy - h / 2}};
    HGDIOBJ oldBrush = SelectObject(item.hDC, GetSysColorBrush(COLOR_BTNTEXT));
    HGDIOBJ oldPen = SelectObject(item.hDC, GetStockObject(NULL_PEN));
    Polygon(item.hDC, arrow, 3);
    SelectObject(item.hDC, oldPen);
    SelectObject(item.hDC, oldBrush);
}

// ---- MainView ---------------------------------------------------------------------------------------

std::string frmRegEdit::text(std::string_view name) const {
    HWND w = control(name);
    return w ? windowText(w) : std::string();
}

void frmRegEdit::setText(std::string_view name, const std::string& text) {
    Obeying obeying(obeying_);
    if (HWND w = control(name))
        SetWindowTextW(w, wide(text).c_str());
}

void frmRegEdit::showStatus(app::Status mode) {
    ShowWindow(control("txtIndex"), mode == app::Status::KeyPath ? SW_SHOW : SW_HIDE);
    ShowWindow(control("lblMessage"), mode == app::Status::Message ? SW_SHOW : SW_HIDE);
}

void frmRegEdit::focus(std::string_view name) { SetFocus(control(name)); }

void frmRegEdit::selectAll(std::string_view name) { SendMessageW(control(name), EM_SETSEL, 0, -1); }

void frmRegEdit::setBackups(std::span<const std::string> names, int chosen) {
    Obeying obeying(obeying_);
    SendMessageW(lstBack, WM_SETREDRAW, FALSE, 0);
    SendMessageW(lstBack, LB_RESETCONTENT, 0, 0);
    for (const std::string& name : names)
        SendMessageW(lstBack, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(name).c_str()));
    SendMessageW(lstBack, LB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
    SendMessageW(lstBack, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(lstBack, nullptr, TRUE);
}

void frmRegEdit::setFavourites(std::span<const std::string> entries) {
    Obeying obeying(obeying_);
    const std::wstring typed = wide(windowText(Combo1));
    SendMessageW(Combo1, CB_RESETCONTENT, 0, 0);
    for (const std::string& entry : entries)
        SendMessageW(Combo1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(entry).c_str()));
    SetWindowTextW(Combo1, typed.c_str());
}

void frmRegEdit::chooseFavourite(int index) {
    Obeying obeying(obeying_);
    SendMessageW(Combo1, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void frmRegEdit::setBusy(bool busy) {
    if (busy)
        ++busy_;
    else if (busy_ > 0)
        --busy_;
    SetCursor(LoadCursorW(nullptr, busy_ > 0 ? IDC_WAIT : IDC_ARROW));
}

void frmRegEdit::letEventsRun() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!preTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void frmRegEdit::showWindow() {
    RECT frame{0, 0, MulDiv(app::kClientWidth, dpiX_, 1440), MulDiv(app::kClientHeight, dpiY_, 1440)};
    AdjustWindowRectEx(&frame, kStyle, TRUE, 0);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(hwnd(), nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER);
    ShowWindow(hwnd(), SW_SHOW);
    UpdateWindow(hwnd());
}

void frmRegEdit::openWindow(std::string_view name) {
    if (name == "frmBugReport") {
        if (!mail_)
            mail_ = std::make_unique<frmBugReport>(instance_, hwnd());
        mail_->open();
        return;
    }
    if (name != "frmAbout")
        return;
    if (!about_)
        about_ = std::make_unique<frmAbout>(instance_, hwnd(), reg::systemRegistry());
    about_->open();
}

void frmRegEdit::openComparison(const std::string& backupName, compare::Comparison comparison) {
    HWND self = hwnd();
    comparisons_.push_back(std::make_unique<frmCompare>(instance_, self, backupName, std::move(comparison),
                                                        [self] { PostMessageW(self, kComparisonClosed, 0, 0); }));
    SetForegroundWindow(comparisons_.back()->hwnd());
}

void frmRegEdit::enableMenu(std::string_view item, bool enabled) {
    const auto items = app::menus();
    for (std::size_t i = 0; i < items.size(); ++i)
        if (item == items[i].name)
            EnableMenuItem(GetMenu(hwnd()), static_cast<UINT>(kMenuBase + static_cast<int>(i)),
                           MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void frmRegEdit::closeOtherWindows() {
    if (about_)
        about_->close();
    if (mail_)
        mail_->close();
    comparisons_.clear();
}

void frmRegEdit::hideWindow() { ShowWindow(hwnd(), SW_HIDE); }

void frmRegEdit::closeWindow() {
    window_.reset();
    if (closed_)
        closed_();
}

// ---- TreeView ---------------------------------------------------------------------------------------

NodeId frmRegEdit::nodeOf(HTREEITEM at) const {
    if (!at)
        return tree::kNoNode;
    TVITEMW item{};
    item.mask = TVIF_PARAM | TVIF_HANDLE;
    item.hItem = at;
    return TreeView_GetItem(tvwReg, &item) ? static_cast<NodeId>(item.lParam) : tree::kNoNode;
}

void frmRegEdit::addNodes(NodeId parent, std::span<const NodeId> ids, std::span<const std::string> texts) {
    Obeying obeying(obeying_);
    HTREEITEM under = item(parent);
    SendMessageW(tvwReg, WM_SETREDRAW, FALSE, 0);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] >= items_.size())
            items_.resize(ids[i] + 1, nullptr);
        std::wstring text = wide(texts[i]);
        TVINSERTSTRUCTW insert{};
        insert.hParent = under ? under : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
        insert.item.pszText = text.data();
        insert.item.iImage = insert.item.iSelectedImage = static_cast<int>(Image::ClosedFolder);
        insert.item.cChildren = 1;
        insert.item.lParam = static_cast<LPARAM>(ids[i]);
        items_[ids[i]] = TreeView_InsertItem(tvwReg, &insert);
    }
    SendMessageW(tvwReg, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tvwReg, nullptr, TRUE);
}

void frmRegEdit::forgetItems(HTREEITEM below) {
    for (HTREEITEM child = TreeView_GetChild(tvwReg, below); child; child = TreeView_GetNextSibling(tvwReg, child)) {
        forgetItems(child);
        const NodeId id = nodeOf(child);
        if (id < items_.size())
            items_[id] = nullptr;
    }
}

void frmRegEdit::removeChildren(NodeId node) {
    Obeying obeying(obeying_);
    HTREEITEM at = item(node);
    if (!at)
        return;
    // Their ids are given to later nodes; the map forgets them first.
    forgetItems(at);
    while (HTREEITEM child = TreeView_GetChild(tvwReg, at))
        TreeView_DeleteItem(tvwReg, child);
    // The next opening asks again before it opens.
    TreeView_SetItemState(tvwReg, at, 0, TVIS_EXPANDEDONCE);
}

void frmRegEdit::moveToEnd(NodeId root) {
    Obeying obeying(obeying_);
    HTREEITEM at = item(root);
    if (!at)
        return;
    // The control cannot move an item: the root is made anew after the others.
    wchar_t buffer[512] = {};
    TVINSERTSTRUCTW insert{};
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_HANDLE;
    insert.item.hItem = at;
    insert.item.pszText = buffer;
    insert.item.cchTextMax = static_cast<int>(std::size(buffer));
    TreeView_GetItem(tvwReg, &insert.item);
    insert.item.mask &= ~static_cast<UINT>(TVIF_HANDLE);
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    const bool wasSelected = TreeView_GetSelection(tvwReg) == at;
    forgetItems(at);
    HTREEITEM made = TreeView_InsertItem(tvwReg, &insert);
    TreeView_DeleteItem(tvwReg, at);
    items_[root] = made;
    if (wasSelected)
        TreeView_SelectItem(tvwReg, made);
}

void frmRegEdit::setImages(NodeId node, Image image, Image selectedImage) {
    HTREEITEM at = item(node);
    if (!at)
        return;
    TVITEMW change{};
    change.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    change.hItem = at;
    change.iImage = static_cast<int>(image);
    change.iSelectedImage = static_cast<int>(selectedImage == Image::None ? image : selectedImage);
    TreeView_SetItem(tvwReg, &change);
}

void frmRegEdit::setRead(NodeId node, bool read) {
    HTREEITEM at = item(node);
    if (!at)
        return;
    TVITEMW change{};
    change.mask = TVIF_HANDLE | TVIF_CHILDREN;
    change.hItem = at;
    change.cChildren = !read || TreeView_GetChild(tvwReg, at) ? 1 : 0;
    TreeView_SetItem(tvwReg, &change);
}

void frmRegEdit::setExpanded(NodeId node, bool expanded) {
    Obeying obeying(obeying_);
    if (HTREEITEM at = item(node))
        TreeView_Expand(tvwReg, at, expanded ? TVE_EXPAND : TVE_COLLAPSE);
}

void frmRegEdit::select(NodeId node) {
    Obeying obeying(obeying_);
    if (HTREEITEM at = item(node))
        TreeView_SelectItem(tvwReg, at);
}

void frmRegEdit::scrollTo(NodeId node) {
    if (HTREEITEM at = item(node))
        TreeView_EnsureVisible(tvwReg, at);
}

}  // namespace karvo::win32
