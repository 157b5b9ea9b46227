// The main window's Win32 front end: makes the controls and menus from the logic's tables, passes
// every event to app::MainWindow and carries out what it is told; it decides nothing.
#pragma once

#include "app/MainWindow.h"
#include "ui/win32/Handles.h"
#include "ui/win32/frmAbout.h"
#include "ui/win32/frmBugReport.h"
#include "ui/win32/frmCompare.h"
#include "ui/win32/Win32Desktop.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class cRegistry;

namespace karvo::win32 {

class frmRegEdit final : app::MainView, tree::TreeView {
public:
    // programFolder holds the backups, the favourites file and the help file; the working
    // directory must be the same folder. closed runs once the window has closed for good.
    frmRegEdit(HINSTANCE instance, const std::string& programFolder, std::function<void()> closed = {});
    ~frmRegEdit();
    frmRegEdit(const frmRegEdit&) = delete;
    frmRegEdit& operator=(const frmRegEdit&) = delete;

    void Form_Load() { logic_->load(); }
    app::MainWindow& logic() { return *logic_; }
    Win32Desktop& desktop() { return desktop_; }
    // The About box once it has been opened.
    frmAbout* about() const { return about_.get(); }
    // The Tell-a-Friend window once it has been opened.
    frmBugReport* mail() const { return mail_.get(); }
    // The comparison windows open now, oldest first.
    const std::vector<std::unique_ptr<frmCompare>>& comparisons() const { return comparisons_; }
    HWND hwnd() const { return window_.get(); }
    // A control by its name in app::controls(), nullptr for none.
    HWND control(std::string_view name) const;
    tree::NodeId nodeOf(HTREEITEM item) const;
    HTREEITEM item(tree::NodeId node) const { return node < items_.size() ? items_[node] : nullptr; }
    // The message loop's look at a message before it is dispatched: Tab walks the logic's order
    // (the About box's and the Tell-a-Friend window's, their tables'). True when it was handled.
    bool preTranslate(const MSG& msg);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK childProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void command(int id, int code);
    LRESULT notify(const NMHDR& header);
    void drawPicture(const DRAWITEMSTRUCT& item) const;

    // MainView
    std::string text(std::string_view control) const override;
    void setText(std::string_view control, const std::string& text) override;
    void showStatus(app::Status mode) override;
    void focus(std::string_view control) override;
    void selectAll(std::string_view control) override;
    void setBackups(std::span<const std::string> names, int chosen) override;
    void setFavourites(std::span<const std::string> entries) override;
    void chooseFavourite(int index) override;
    void setBusy(bool busy) override;
    void letEventsRun() override;
    void showWindow() override;
    void hideWindow() override;
    void closeWindow() override;
    void openWindow(std::string_view name) override;
    void closeOtherWindows() override;
    void openComparison(const std::string& backupName, karvo::compare::Comparison comparison) override;
    void enableMenu(std::string_view item, bool enabled) override;
    void editorFinished(bool) override {}
    // TreeView
    void addNodes(tree::NodeId parent, std::span<const tree::NodeId> ids, std::span<const std::string> texts) override;
    void removeChildren(tree::NodeId node) override;
    void moveToEnd(tree::NodeId root) override;
    void setImages(tree::NodeId node, tree::Image image, tree::Image selectedImage) override;
    void setRead(tree::NodeId node, bool read) override;
    void setExpanded(tree::NodeId node, bool expanded) override;
    void select(tree::NodeId node) override;
    void scrollTo(tree::NodeId node) override;

    void buildControls();
    void buildMenus();
    void forgetItems(HTREEITEM below);

    HINSTANCE instance_;
    std::function<void()> closed_;
    Win32Desktop desktop_;
    std::unique_ptr<cRegistry> reg_;
    Window window_;
    Menu menu_;
    Font font_, bold_, treeFont_;
    ImageList images_;
    int dpiX_ = 96, dpiY_ = 96;
    std::vector<HWND> controls_;  // by index in app::controls()
    std::map<std::string, HWND, std::less<>> byName_;
    HWND tvwReg = nullptr, lstBack = nullptr, Combo1 = nullptr;
    std::vector<HTREEITEM> items_;  // by node id
    HTREEITEM pressed_ = nullptr;   // the item under the last mouse press in the tree
    int obeying_ = 0;               // > 0 while carrying out an order: its echoes are not events
    int busy_ = 0;
    std::unique_ptr<frmAbout> about_;
    std::unique_ptr<frmBugReport> mail_;
    std::vector<std::unique_ptr<frmCompare>> comparisons_;
    std::unique_ptr<app::MainWindow> logic_;
};

}  // namespace karvo::win32
