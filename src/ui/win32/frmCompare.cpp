#include "ui/win32/frmCompare.h"

#include "ui/Obeying.h"

#include <utility>

namespace karvo::win32 {

using compare::RowId;
using karvo::ui::Obeying;

namespace {

constexpr wchar_t kClassName[] = L"KarvoCompare";
constexpr int kControlBase = 100;  // control ids: kControlBase + index in compare::controls()
// A row the user closed: handled after the tree control has finished closing it.
constexpr UINT kCollapsed = WM_APP + 1;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

const compare::Control* controlOf(int id) {
    const std::size_t index = static_cast<std::size_t>(id - kControlBase);
    return id >= kControlBase && index < compare::controls().size() ? &compare::controls()[index] : nullptr;
}

}  // namespace

frmCompare::frmCompare(HINSTANCE instance, HWND owner, const std::string& backupName, compare::Comparison comparison,
                       std::function<void()> closed)
    : closed_(std::move(closed)), logic_(*this, backupName, std::move(comparison)) {
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    registerWindowClass(instance, kClassName, &windowProc, LoadIconW(nullptr, IDI_APPLICATION));
    window_.reset(CreateWindowExW(0, kClassName, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, owner, nullptr, instance, this));
    const POINT dpi = windowDpi(hwnd());
    dpiX_ = dpi.x;
    dpiY_ = dpi.y;
    RECT frame{0, 0, MulDiv(compare::kClientWidth, dpiX_, 1440), MulDiv(compare::kClientHeight, dpiY_, 1440)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    SetWindowPos(hwnd(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    buildControls(instance);
    logic_.load();
    ShowWindow(hwnd(), SW_SHOW);
}

frmCompare::~frmCompare() {
    closed_ = nullptr;
    window_.reset();
}

void frmCompare::close() {
    if (!window_)
        return;
    // The rows go with the window; the comparison goes with this object, which the owner drops.
    window_.reset();
    tree_ = nullptr;
    items_.clear();
    byName_.clear();
    if (const std::function<void()> closed = std::exchange(closed_, nullptr))
        closed();
}

HWND frmCompare::control(std::string_view name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

void frmCompare::buildControls(HINSTANCE instance) {
    const auto x = [this](int twips) { return MulDiv(twips, dpiX_, 1440); };
    const auto y = [this](int twips) { return MulDiv(twips, dpiY_, 1440); };
    font_.reset(CreateFontW(-MulDiv(8, dpiY_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg"));
    const auto controls = compare::controls();
    bool firstOption = true;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const compare::Control& c = controls[i];
        const wchar_t* cls = WC_STATICW;
        DWORD style = WS_CHILD | WS_VISIBLE, exStyle = 0;
        switch (c.kind) {
        case compare::Kind::Label: style |= SS_LEFT | SS_NOPREFIX; break;
        case compare::Kind::Option:
            cls = WC_BUTTONW;
            style |= BS_AUTORADIOBUTTON | WS_TABSTOP | (firstOption ? WS_GROUP : 0);
            firstOption = false;
            break;
        case compare::Kind::Tree:
            cls = WC_TREEVIEWW;
            style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_TABSTOP | WS_GROUP;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case compare::Kind::Button:
            cls = WC_BUTTONW;
            style |= BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP;
            break;
        }
        HWND w = CreateWindowExW(exStyle, cls, wide(c.text).c_str(), style, x(c.left), y(c.top), x(c.width),
                                 y(c.height), hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlBase + static_cast<int>(i))),
                                 instance, nullptr);
        SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        if (c.kind == compare::Kind::Tree)
            tree_ = w;
        byName_.emplace(c.name, w);
    }
}

LRESULT CALLBACK frmCompare::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<frmCompare*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self && self->window_ && self->hwnd() == hwnd ? self->handle(msg, wParam, lParam)
                                                         : DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT frmCompare::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (const compare::Control* c = controlOf(LOWORD(wParam)); c && HIWORD(wParam) == BN_CLICKED && !obeying_)
            logic_.click(c->name);
        return 0;
    case WM_NOTIFY: return notify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CLOSE: close(); return 0;
    case kCollapsed: logic_.collapsed(static_cast<RowId>(wParam)); return 0;
    default: break;
    }
    return DefWindowProcW(hwnd(), msg, wParam, lParam);
}

LRESULT frmCompare::notify(const NMHDR& header) {
    if (header.hwndFrom != tree_)
        return 0;
    switch (header.code) {
    case TVN_ITEMEXPANDINGW: {
        // A level arrives in one batch before the row opens.
        const auto& nm = reinterpret_cast<const NMTREEVIEWW&>(header);
        if (!obeying_ && (nm.action & TVE_EXPAND))
            logic_.expanded(static_cast<RowId>(nm.itemNew.lParam));
        else if (!obeying_ && (nm.action & TVE_COLLAPSE))
            PostMessageW(hwnd(), kCollapsed, static_cast<WPARAM>(nm.itemNew.lParam), 0);
        return FALSE;
    }
    case NM_CUSTOMDRAW: {
        auto& draw = const_cast<NMTVCUSTOMDRAW&>(reinterpret_cast<const NMTVCUSTOMDRAW&>(header));
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
            return CDRF_NOTIFYITEMDRAW;
        if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && !(draw.nmcd.uItemState & CDIS_SELECTED)) {
            const auto row = static_cast<std::size_t>(draw.nmcd.lItemlParam);
            if (row < marks_.size() && marks_[row] != compare::Mark::Same) {
                const compare::Colour c = compare::markColour(marks_[row]);
                draw.clrText = RGB(c.red, c.green, c.blue);
            }
        }
        return CDRF_DODEFAULT;
    }
    default: return 0;
    }
}

RowId frmCompare::rowOf(HTREEITEM at) const {
    if (!at || !tree_)
        return compare::kNoRow;
    TVITEMW item{};
    item.mask = TVIF_PARAM | TVIF_HANDLE;
    item.hItem = at;
    return TreeView_GetItem(tree_, &item) ? static_cast<RowId>(item.lParam) : compare::kNoRow;
}

void frmCompare::addRows(RowId parent, std::span<const compare::Row> rows) {
    if (!tree_)
        return;
    Obeying obeying(obeying_);
    HTREEITEM under = parent < items_.size() ? items_[parent] : nullptr;
    SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
    for (const compare::Row& row : rows) {
        if (row.id >= items_.size()) {
            items_.resize(row.id + 1, nullptr);
            marks_.resize(row.id + 1, compare::Mark::Same);
        }
        std::wstring text = wide(compare::oneLine(row));
        TVINSERTSTRUCTW insert{};
        insert.hParent = under ? under : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
        insert.item.pszText = text.data();
        insert.item.cChildren = row.expandable ? 1 : 0;
        insert.item.lParam = static_cast<LPARAM>(row.id);
        items_[row.id] = TreeView_InsertItem(tree_, &insert);
        marks_[row.id] = row.mark;
    }
    SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree_, nullptr, TRUE);
}

void frmCompare::forgetItems(HTREEITEM below) {
    for (HTREEITEM child = TreeView_GetChild(tree_, below); child; child = TreeView_GetNextSibling(tree_, child)) {
        forgetItems(child);
        if (const RowId id = rowOf(child); id < items_.size())
            items_[id] = nullptr;
    }
}

void frmCompare::showOpen(RowId row) {
    Obeying obeying(obeying_);
    if (HTREEITEM at = row < items_.size() ? items_[row] : nullptr)
        TreeView_Expand(tree_, at, TVE_EXPAND);
}

void frmCompare::removeChildren(RowId parent) {
    if (!tree_)
        return;
    Obeying obeying(obeying_);
    SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
    if (parent == compare::kNoRow) {
        TreeView_DeleteAllItems(tree_);
        items_.clear();
    } else if (HTREEITEM at = parent < items_.size() ? items_[parent] : nullptr) {
        // Their ids are given to later rows; the map forgets them first.
        forgetItems(at);
        while (HTREEITEM child = TreeView_GetChild(tree_, at))
            TreeView_DeleteItem(tree_, child);
        // The row keeps its expander (the control drops it with the last child), and the next
        // opening asks again before it opens.
        TVITEMW change{};
        change.mask = TVIF_HANDLE | TVIF_CHILDREN;
        change.hItem = at;
        change.cChildren = 1;
        TreeView_SetItem(tree_, &change);
        TreeView_SetItemState(tree_, at, 0, TVIS_EXPANDEDONCE);
    }
    SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree_, nullptr, TRUE);
}

void frmCompare::setText(std::string_view control, const std::string& text) {
    if (control == compare::kWindowName)
        SetWindowTextW(hwnd(), wide(text).c_str());
    else if (HWND w = this->control(control))
        SetWindowTextW(w, wide(text).c_str());
}

void frmCompare::setChecked(std::string_view control, bool checked) {
    if (HWND w = this->control(control))
        SendMessageW(w, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace karvo::win32
