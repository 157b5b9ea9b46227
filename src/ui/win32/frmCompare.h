// The comparison window's Win32 front end: makes its controls from the logic's table, passes the
// switch, the Close button and every expansion to compare::CompareWindow, and carries out what it
// is told. The tree shows each row on one line, coloured by its difference. Closing destroys the
// window; the owner then drops the object, and the comparison with it.
#pragma once

#include "compare/CompareWindow.h"
#include "ui/win32/Handles.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace karvo::win32 {

class frmCompare final : compare::CompareView {
public:
    // closed runs once the window has been closed, from inside the window's own calls: it may post a
    // message to have the object dropped, never drop it there.
    frmCompare(HINSTANCE instance, HWND owner, const std::string& backupName, compare::Comparison comparison,
               std::function<void()> closed = {});
    ~frmCompare();
    frmCompare(const frmCompare&) = delete;
    frmCompare& operator=(const frmCompare&) = delete;

    HWND hwnd() const { return window_.get(); }
    bool isOpen() const { return window_ != nullptr; }
    void close();
    compare::CompareWindow& logic() { return logic_; }
    // A control by its name in compare::controls(), nullptr for none.
    HWND control(std::string_view name) const;
    compare::RowId rowOf(HTREEITEM item) const;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT notify(const NMHDR& header);

    void addRows(compare::RowId parent, std::span<const compare::Row> rows) override;
    void removeChildren(compare::RowId parent) override;
    void showOpen(compare::RowId row) override;
    void setText(std::string_view control, const std::string& text) override;
    void setChecked(std::string_view control, bool checked) override;
    void closeWindow() override { close(); }

    void buildControls(HINSTANCE instance);
    void forgetItems(HTREEITEM below);

    std::function<void()> closed_;
    compare::CompareWindow logic_;
    Window window_;
    Font font_;
    int dpiX_ = 96, dpiY_ = 96;
    std::map<std::string, HWND, std::less<>> byName_;
    HWND tree_ = nullptr;
    std::vector<HTREEITEM> items_;      // by row id
    std::vector<compare::Mark> marks_;  // by row id: the colour each row is drawn in
    int obeying_ = 0;                   // > 0 while carrying out an order: its echoes are not events
};

}  // namespace karvo::win32
