// What the main window does, without a window: its controls and menus as tables, start-up and
// shutdown, the tree and the fields a click fills, "My Backups" and its three commands with the
// registry editor's outcome, and the favourites. A front end creates the controls from the tables,
// passes each event on, and carries out what MainView, TreeView and the desktop are told.
#pragma once

#include "compare/Comparison.h"
#include "platform/Desktop.h"
#include "tree/RegistryTree.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace karvo::app {

inline constexpr const char* kAppTitle = "Karvo Backup";
inline constexpr const char* kCaption = "Tolvane Karvo Backup";

enum class Kind {
    Line,       // a one-pixel line; its text names the colour: "dark" or "light"
    Combo,      // an editable drop-down list
    Picture,    // a clickable picture; its text names it: "down" or "up"
    Button,     // a push button; "+" and "-" in the bold font
    TextBox,    // a one-line text box
    StatusBox,  // the status line's key path: shown, not edited
    Label,
    Tree,
    List,       // sorted, scrolled sideways to twice its width
};

struct Control {
    const char* name;
    Kind kind;
    const char* text;
    int left, top, width, height;  // twips, in the client area
    const char* tip;
};

inline constexpr int kClientWidth = 7590;  // twips
inline constexpr int kClientHeight = 5295;

// The controls in the order they are made (a later one lies on top), and the Tab key's order.
std::span<const Control> controls();
std::span<const char* const> tabOrder();

struct MenuItem {
    const char* menu;   // the top-level menu's name
    const char* title;  // its title
    const char* name;   // the item's name, "mnuEdit_2"; its click goes to MainWindow::menu
    const char* text;   // "-" for a separator
};
std::span<const MenuItem> menus();

// The status line shows either the key path (a text box) or a message (a label in its place).
enum class Status { KeyPath, Message };

// What the main window's logic asks of the window. Controls are named as in controls().
class MainView {
public:
    // Texts of text boxes, labels and the combo's text field.
    virtual std::string text(std::string_view control) const = 0;
    virtual void setText(std::string_view control, const std::string& text) = 0;
    virtual void showStatus(Status mode) = 0;
    virtual void focus(std::string_view control) = 0;
    // Selects all of a text box's text.
    virtual void selectAll(std::string_view control) = 0;
    // "My Backups" becomes names, chosen the entry at that row (-1: none).
    virtual void setBackups(std::span<const std::string> names, int chosen) = 0;
    virtual void setFavourites(std::span<const std::string> entries) = 0;
    // Chooses the combo's entry: its text field shows it.
    virtual void chooseFavourite(int index) = 0;
    // The hourglass, nested: shown from the first true to the last false.
    virtual void setBusy(bool busy) = 0;
    virtual void letEventsRun() = 0;
    // Centred on the screen at a size the user cannot change.
    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    // Closes the window for good; the program ends after it.
    virtual void closeWindow() = 0;
    // Opens a window of the program modeless ("frmBugReport", "frmAbout"), or brings it forward.
    virtual void openWindow(std::string_view name) = 0;
    // Closes every other window of the program.
    virtual void closeOtherWindows() = 0;
    // Opens a comparison window ("frmCompare") on a backup compared with the registry; each
    // comparison gets a window of its own.
    virtual void openComparison(const std::string& backupName, compare::Comparison comparison) = 0;
    // Greys a menu item (named as in menus()) out, or back in.
    virtual void enableMenu(std::string_view item, bool enabled) = 0;
    // An export or import has finished and its outcome is on screen.
    virtual void editorFinished(bool ok) = 0;

protected:
    ~MainView() = default;
};

// Where the window finds its files and programs.
struct Places {
    std::filesystem::path programFolder;  // backups, favourites, help; also the working directory
    std::string winDir;                   // the Windows folder, where the registry editor is
    bool wineEditor = false;              // the editor is Wine's (see backup::checkedEditorStatus)
};

class MainWindow {
public:
    MainWindow(MainView& view, tree::TreeView& treeView, platform::Desktop& desktop,
               platform::ProcessRunner& runner, cRegistry& registry, Places places);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Start-up: the tree's roots, both lists, then the window is shown.
    void load();
    // Shutdown (once): hides, drops the open branch, closes the other windows, then itself.
    void unload();

    // The tree's own events go to tree().
    tree::RegistryTree& tree() { return *tree_; }
    void nodeClick(tree::NodeId node);
    // The user changed the name box.
    void nameChanged();
    // The user chose a backup (click or arrow keys): its row, or -1 when none is chosen.
    void backupChosen(int row);
    void backupCommand();
    void restoreCommand();
    void deleteCommand();
    // The chosen backup against the live key, in a window of its own.
    void compareCommand();
    // Makes the key exactly the chosen backup, after a safety backup of it.
    void restoreExactlyCommand();
    // Restores the newest safety backup exactly (taking a new one first, so an undo can be undone).
    void undoLastRestoreCommand();
    // Reads the selected key again, keeping it open or closed.
    void refresh();
    void addFavourite();
    void removeFavourite();
    // The user chose the combo's entry at index.
    void favouriteChosen(int index);
    void downArrow();
    void upArrow();
    // A press on the status line.
    void statusLinePressed();
    void menu(std::string_view item);
    // A click on the named button; other controls are ignored.
    void buttonClicked(std::string_view control);

    // Editor runs whose outcome has not arrived yet.
    int pendingEditorRuns() const { return pendingRuns_; }

private:
    void setName(const std::string& name);
    void showMessage(const std::string& text);
    void refillBackupList(bool emptyFirst);
    // Says "Nothing Selected" and sends the focus to the list unless a backup is chosen.
    bool backupIsChosen(const std::string& action);
    // The chosen backup's file, when one is chosen whose name the editor can be given.
    std::optional<std::filesystem::path> chosenBackupFile(const std::string& action);
    // The backup against the registry; a box says why when they cannot be compared.
    std::optional<compare::Comparison> compared(const std::filesystem::path& file, const std::string& label);
    void chooseFavourite(int index);
    void jumpToFavourite();
    void saveFavourites();
    // Runs the registry editor; outcome reports its end and says whether it worked, or nothing when
    // another run of the editor carries the command on.
    using Outcome = std::function<std::optional<bool>(MainWindow&, const platform::ProcessOutcome&)>;
    void runEditor(const std::string& commandLine, Outcome outcome);
    void editorDone();
    // Why the registry does not hold what file should have left there, or (when key is given) why
    // file is not that key's backup; "" when all is well.
    std::string verified(const std::filesystem::path& file, compare::Expect expect, const std::string& key = {});
    // Exact restore of file (label names it in messages): question, safety backup, import, check.
    void restoreExactly(const std::filesystem::path& file, const std::string& label, bool undo);
    void importExactly(const std::filesystem::path& file, const std::string& label);
    std::optional<bool> exactRestoreFailed(const std::string& label, bool started, const std::string& reason);
    void updateUndo();
    int box(const std::string& text, int style, const std::string& caption);

    MainView& view_;
    platform::Desktop& desktop_;
    platform::ProcessRunner& runner_;
    cRegistry& registry_;
    Places places_;
    std::unique_ptr<tree::RegistryTree> tree_;
    std::vector<std::string> backups_;
    int chosenBackup_ = -1;
    std::vector<std::string> favourites_;
    int chosenFavourite_ = -1;
    bool unloading_ = false;
    int pendingRuns_ = 0;
    // Outcomes arriving after the logic is gone are dropped.
    std::shared_ptr<MainWindow*> alive_;
};

}  // namespace karvo::app
