#include "app/MainWindow.h"

#include "backup/Backups.h"
#include "favourites/Favourites.h"
#include "registry/TextCodec.h"
#include "registry/cRegistry.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace karvo::app {

namespace fs = std::filesystem;
namespace fav = favourites;
using platform::vbExclamation;
using platform::vbInformation;
using platform::vbNo;
using platform::vbOKOnly;
using platform::vbQuestion;
using platform::vbYesNo;
using tree::kNoNode;
using tree::NodeId;

namespace {

constexpr const char* kFiveBlanks = "     ";
constexpr const char* kCrLf = "\r\n";

// Working fields below the client area's bottom edge (txtRoot, cmdDummy, Label1) are present but
// never seen.
constexpr Control kControls[] = {
    {"Line1", Kind::Line, "dark", 0, 120, 7600, 0, ""},
    {"Line2", Kind::Line, "light", 0, 135, 7600, 0, ""},
    {"Combo1", Kind::Combo, "Combo1", 80, 360, 5940, 315, ""},
    {"Image1", Kind::Picture, "down", 5895, 270, 480, 480, ""},
    {"Image2", Kind::Picture, "up", 6260, 315, 480, 480, ""},
    {"cmdAdd", Kind::Button, "+", 6700, 360, 375, 315, "Add selected Key to Favorites"},
    {"cmdRemove", Kind::Button, "-", 7140, 360, 375, 315, "Remove selected from Favorites"},
    {"txtFilename", Kind::TextBox, "", 80, 840, 3640, 285, "Backup Filename"},
    {"Label2", Kind::Label, "My Backups", 3880, 855, 3620, 285, ""},
    {"tvwReg", Kind::Tree, "", 75, 1290, 3645, 3000, ""},
    {"lstBack", Kind::List, "", 3885, 1320, 3615, 2985, ""},
    {"cmdBackup", Kind::Button, "&Backup Key", 1050, 4460, 1695, 350, ""},
    {"cmdRestore", Kind::Button, "&Restore", 3920, 4460, 1695, 350, ""},
    {"cmdDelete", Kind::Button, "&Delete", 5785, 4460, 1695, 350, ""},
    {"txtIndex", Kind::StatusBox, fav::kPrompt, 75, 4920, 7460, 285, ""},
    {"lblMessage", Kind::Label, "", 75, 4920, 7455, 285, ""},
    {"txtRoot", Kind::TextBox, "", 5400, 6840, 735, 405, ""},
    {"cmdDummy", Kind::Button, "Command1", 4560, 6960, 495, 255, ""},
    {"Label1", Kind::Label, "Label1", 960, 6960, 480, 195, ""},
};

constexpr const char* kTabOrder[] = {"cmdDummy", "tvwReg",    "Combo1",    "cmdAdd",   "cmdRemove", "txtFilename",
                                     "lstBack",  "cmdBackup", "cmdRestore", "cmdDelete", "txtIndex",  "txtRoot"};

constexpr MenuItem kMenus[] = {
    {"mnuFileTOP", "&File", "mnuFile_2", "E&xit"},
    {"mnuEditTOP", "&Actions", "mnuEdit_0", "&Backup Selected"},
    {"mnuEditTOP", "&Actions", "mnuEdit_1", "-"},
    {"mnuEditTOP", "&Actions", "mnuEdit_2", "&Restore Selected"},
    {"mnuEditTOP", "&Actions", "mnuEdit_3", "-"},
    {"mnuEditTOP", "&Actions", "mnuEdit_4", "&Delete Selected"},
    {"mnuEditTOP", "&Actions", "mnuEdit_5", "-"},
    {"mnuEditTOP", "&Actions", "mnuEdit_6", "&Compare with Registry..."},
    {"mnuEditTOP", "&Actions", "mnuEdit_7", "-"},
    {"mnuEditTOP", "&Actions", "mnuEdit_8", "Restore E&xactly..."},
    {"mnuEditTOP", "&Actions", "mnuEdit_9", "-"},
    {"mnuEditTOP", "&Actions", "mnuEdit_10", "&Undo Last Restore"},
    {"mnuViewTOP", "&View", "mnuView_0", "Registry &Editor"},
    {"mnuViewTOP", "&View", "mnuView_1", "-"},
    {"mnuViewTOP", "&View", "mnuView_2", "&Refresh"},
    {"mnuHelpTOP", "&Help", "mnuHelp_0", "&Contents"},
    {"mnuHelpTOP", "&Help", "mnuHelp_1", "-"},
    {"mnuHelpTOP", "&Help", "mnuHelp_2", "&Tell a Friend"},
    {"mnuHelpTOP", "&Help", "mnuHelp_3", "-"},
    {"mnuHelpTOP", "&Help", "mnuHelp_4", "&About"},
};

}  // namespace

std::span<const Control> controls() { return kControls; }
std::span<const char* const> tabOrder() { return kTabOrder; }
std::span<const MenuItem> menus() { return kMenus; }

MainWindow::MainWindow(MainView& view, tree::TreeView& treeView, platform::Desktop& desktop,
                       platform::ProcessRunner& runner, cRegistry& registry, Places places)
    : view_(view), desktop_(desktop), runner_(runner), registry_(registry), places_(std::move(places)),
      tree_(std::make_unique<tree::RegistryTree>(treeView, registry)), alive_(std::make_shared<MainWindow*>(this)) {}

MainWindow::~MainWindow() {
    // An editor run still in flight never reports back once the window is gone.
    *alive_ = nullptr;
    while (pendingRuns_ > 0)
        editorDone();
}

int MainWindow::box(const std::string& text, int style, const std::string& caption) {
    return desktop_.messageBox(text, style, caption);
}

// ---- start-up and shutdown -------------------------------------------------------------------

void MainWindow::load() {
    tree_->buildRoots();
    refillBackupList(true);

    const auto favouritesFile = fav::favouritesPath(places_.programFolder);
    fav::ensureFavouritesFile(favouritesFile);
    view_.letEventsRun();
    // A long file does not freeze the window.
    for (std::string& line : fav::readFavourites(favouritesFile)) {
        view_.letEventsRun();
        favourites_.push_back(std::move(line));
    }
    fav::ClearBlanks(favourites_);
    fav::ClearDoubles(favourites_);
    view_.setFavourites(favourites_);
    if (!favourites_.empty())
        chooseFavourite(0);
    view_.letEventsRun();

    updateUndo();
    view_.showWindow();
    view_.focus("cmdDummy");
}

void MainWindow::unload() {
    if (unloading_)
        return;
    unloading_ = true;
    view_.hideWindow();
    view_.letEventsRun();
    if (const NodeId selected = tree_->selectedNode(); selected != kNoNode)
        tree_->collapse(tree_->rootOf(selected));
    view_.letEventsRun();
    view_.closeOtherWindows();
    view_.closeWindow();
}

// ---- the status line, the tree and the fields it fills ------------------------------------------

void MainWindow::showMessage(const std::string& text) {
    view_.showStatus(Status::Message);
    view_.setText("lblMessage", text);
}

void MainWindow::statusLinePressed() { view_.focus("cmdDummy"); }

// The name box; the default file name follows every change of it.
void MainWindow::setName(const std::string& name) {
    if (view_.text("txtFilename") == name)
        return;
    view_.setText("txtFilename", name);
    nameChanged();
}

void MainWindow::nameChanged() {
    view_.setText("Label1", tree::defaultFileName(view_.text("txtFilename"), view_.text("txtRoot")));
}

void MainWindow::nodeClick(NodeId node) {
    if (node == kNoNode)
        return;
    view_.setBusy(true);
    tree_->selected(node);
    tree_->expand(node);
    view_.showStatus(Status::KeyPath);
    const tree::KeySelection sel = tree::selectionFor(tree_->fullPath(node), tree_->text(node));
    view_.setText("txtIndex", sel.keyPath);
    tree_->mark(node);
    view_.setText("txtRoot", sel.root);
    setName(sel.name);
    view_.setText("Label1", sel.fileName);
    view_.setBusy(false);
}

void MainWindow::refresh() {
    const NodeId node = tree_->selectedNode();
    if (node == kNoNode)
        return;
    const bool wasExpanded = tree_->isExpanded(node);
    if (wasExpanded)
        tree_->collapse(node);
    // A node read while shown closed, or found without sub-keys, is read afresh as well, so the
    // tree never keeps what it saw before the refresh.
    if (tree_->isEnumerated(node))
        tree_->forget(node);
    nodeClick(tree_->selectedNode());
    if (const NodeId now = tree_->selectedNode(); now != kNoNode) {
        if (wasExpanded)
            tree_->open(now);
        tree_->scrollTo(now);
    }
}

// ---- backups --------------------------------------------------------------------------------------

void MainWindow::refillBackupList(bool emptyFirst) {
    // Afterwards the same backup is chosen as before, or none; never the entry that moved into its
    // row, which a restore would then import unasked. An emptied list has none chosen.
    const std::string before = emptyFirst || chosenBackup_ < 0 ? std::string() : backups_[chosenBackup_];
    if (emptyFirst)
        backups_.clear();
    for (std::string& name : backup::backupNames(places_.programFolder))
        backups_.push_back(std::move(name));
    std::stable_sort(backups_.begin(), backups_.end(), tree::lessIgnoringCase);
    fav::ClearDoubles(backups_);
    fav::ClearBlanks(backups_);
    const auto same = std::find(backups_.begin(), backups_.end(), before);
    chosenBackup_ = before.empty() || same == backups_.end() ? -1 : static_cast<int>(same - backups_.begin());
    view_.setBackups(backups_, chosenBackup_);
}

void MainWindow::backupChosen(int row) {
    chosenBackup_ = row >= 0 && row < static_cast<int>(backups_.size()) ? row : -1;
    if (chosenBackup_ >= 0)
        setName(backups_[chosenBackup_]);
}

void MainWindow::runEditor(const std::string& commandLine, Outcome outcome) {
    // The outcome is reported only once the editor has finished; the window keeps running.
    runner_.runProgram(commandLine, platform::kStyleNormalFocus,
                       [alive = alive_, outcome = std::move(outcome)](const platform::ProcessOutcome& result) {
                           if (MainWindow* self = *alive) {
                               self->editorDone();
                               if (const std::optional<bool> ok = outcome(*self, result))
                                   self->view_.editorFinished(*ok);
                           }
                       });
}

void MainWindow::editorDone() {
    if (pendingRuns_ > 0) {
        --pendingRuns_;
        view_.setBusy(false);
    }
}

void MainWindow::backupCommand() {
    const NodeId node = tree_->selectedNode();
    if (node == kNoNode || !tree_->isMarked(node)) {
        box(std::string("Select a Key to backup by clicking it") + kFiveBlanks + kCrLf +
                "The Key to backup will have a red check mark" + kFiveBlanks,
            vbOKOnly | vbInformation, "Key Not Selected");
        return;
    }
    if (view_.text("txtFilename").empty()) {
        box(std::string("Please enter a name for the backup file") + kFiveBlanks, vbOKOnly | vbInformation,
            "Select a Name");
        view_.focus("txtFilename");
        return;
    }
    if (const auto refusal = backup::checkBackupName(view_.text("txtFilename"))) {
        box(refusal->text, vbOKOnly | vbInformation, refusal->caption);
        view_.focus("txtFilename");
        return;
    }
    setName(tree::blanksToUnderscores(view_.text("txtFilename")));
    // The editor writes the file in its working folder, which is the program folder.
    const auto file = places_.programFolder / view_.text("Label1");
    if (backup::FileExist(file)) {
        const int answer = box(std::string("A backup by that name already exists") + kFiveBlanks + kCrLf +
                                   "Are you sure you want to replace it?" + kFiveBlanks,
                               vbYesNo | vbExclamation, "Replace File?");
        if (answer == vbNo) {
            view_.focus("txtFilename");
            view_.selectAll("txtFilename");
            return;
        }
    }
    const std::string name = view_.text("txtFilename");
    const std::string commandLine =
        backup::exportCommandLine(places_.winDir, name, view_.text("txtRoot"), view_.text("txtIndex"));
    view_.setBusy(true);
    ++pendingRuns_;
    view_.letEventsRun();
    showMessage("Creating backup file " + name);
    view_.letEventsRun();
    const backup::WriteTime writtenBefore = backup::lastWritten(file);
    const std::string key = view_.text("txtIndex");
    runEditor(commandLine, [name, file, writtenBefore, key](MainWindow& self, const platform::ProcessOutcome& outcome) {
        std::string reason = outcome.errorText;
        int status =
            backup::checkedEditorStatus(outcome.exitCode, reason, self.places_.wineEditor, file, writtenBefore);
        // A backup counts once the file has been read back and holds what the registry holds.
        if (outcome.started && status == 0) {
            if (reason = self.verified(file, compare::Expect::Equal, key); !reason.empty())
                status = 1;
        }
        const auto report = backup::exportReport(name, outcome.started, status, reason);
        self.view_.setText("lblMessage", report.status);
        if (!report.ok)
            self.box(report.message, vbOKOnly, kAppTitle);
        self.refillBackupList(false);
        return std::optional<bool>(report.ok);
    });
}

bool MainWindow::backupIsChosen(const std::string& action) {
    if (chosenBackup_ >= 0)
        return true;
    box("Please select a Backup to " + action + kFiveBlanks, vbOKOnly | vbInformation, "Nothing Selected");
    view_.focus("lstBack");
    return false;
}

std::optional<fs::path> MainWindow::chosenBackupFile(const std::string& action) {
    if (!backupIsChosen(action))
        return std::nullopt;
    const std::string& entry = backups_[chosenBackup_];
    if (const auto refusal = backup::checkBackupName(entry)) {
        box(refusal->text, vbOKOnly | vbInformation, refusal->caption);
        view_.focus("lstBack");
        return std::nullopt;
    }
    // The listed name stands for its file whatever the letter case of its extension.
    const std::string file = backup::backupFileName(places_.programFolder, entry);
    return places_.programFolder / (file.empty() ? entry + ".reg" : file);
}

void MainWindow::restoreCommand() {
    const auto backupFile = chosenBackupFile("restore");
    if (!backupFile)
        return;
    const std::string name = view_.text("txtFilename");
    showMessage("Restoring backup file " + name);
    view_.setBusy(true);
    ++pendingRuns_;
    view_.letEventsRun();
    const std::string commandLine = backup::importCommandLine(places_.winDir, backupFile->filename().string());
    runEditor(commandLine, [name, backupFile = *backupFile](MainWindow& self, const platform::ProcessOutcome& outcome) {
        std::string reason = outcome.errorText;
        int status = backup::checkedEditorStatus(outcome.exitCode, reason, self.places_.wineEditor);
        // Whatever the editor's status said, the registry must now hold every key and value of the
        // backup (an editor that did not write, or an elevation the user declined, ends with 0 too).
        if (outcome.started && status == 0) {
            if (reason = self.verified(backupFile, compare::Expect::Merged); !reason.empty())
                status = 1;
        }
        const auto report = backup::importReport(name, outcome.started, status, reason);
        self.view_.setText("lblMessage", report.status);
        if (report.ok) {
            self.view_.letEventsRun();
            // The tree shows the key as the import left it.
            self.refresh();
        } else {
            self.box(report.message, vbOKOnly, kAppTitle);
        }
        return std::optional<bool>(report.ok);
    });
}

void MainWindow::deleteCommand() {
    if (!backupIsChosen("delete"))
        return;
    std::string why;
    if (!backup::deleteBackup(places_.programFolder, backups_[chosenBackup_], &why))
        box(std::string("The backup file could not be deleted") + kFiveBlanks + kCrLf + why + kFiveBlanks, vbOKOnly,
            kAppTitle);
    view_.letEventsRun();
    refillBackupList(true);
}

// ---- comparison, exact restore and undo ---------------------------------------------------------

namespace {

std::string count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What an exact restore will do to the key, for the question before it.
std::string changesText(const compare::Comparison& c) {
    const compare::Counts& v = c.valueCounts;
    const compare::Counts& k = c.keyCounts;
    return count(v.changed, "value", "values") + " will change, " + count(v.onlyInBackup, "value", "values") + " and " +
           count(k.onlyInBackup, "key", "keys") + " will come back, " + count(v.onlyInRegistry, "value", "values") +
           " and " + count(k.onlyInRegistry, "key", "keys") + " will be removed";
}

// The editor gets paths relative to its working folder, the program folder.
std::string relativeToProgramFolder(const fs::path& file, const fs::path& programFolder) {
    return file.lexically_relative(programFolder).make_preferred().string();
}

// The safety backup taken before an undo is named after it.
constexpr const char* kUndoLabel = "Undo";

// The work file an exact restore imports: hidden, so it is never taken for a safety backup.
fs::path exactRestoreFile(const fs::path& safety) { return safety / ".exact restore.reg"; }

}  // namespace

std::string MainWindow::verified(const fs::path& file, compare::Expect expect, const std::string& key) {
    view_.setBusy(true);
    const compare::Comparison c = compare::compareWithRegistry(registry_.service(), file);
    view_.setBusy(false);
    std::string wrong = compare::mismatch(c, expect);
    if (wrong.empty() && !key.empty()) {
        const std::string holds = c.tops.size() == 1 ? c.fullPath(c.tops.front()) : std::string();
        if (tree::lessIgnoringCase(holds, key) || tree::lessIgnoringCase(key, holds))
            wrong = "it is no backup of " + key;
    }
    return wrong.empty() ? wrong : "The registry does not hold what " + file.filename().string() + " holds: " + wrong;
}

void MainWindow::updateUndo() {
    view_.enableMenu("mnuEdit_10", backup::newestSafetyBackup(backup::safetyFolder(places_.programFolder)).has_value());
}

std::optional<compare::Comparison> MainWindow::compared(const fs::path& file, const std::string& label) {
    view_.setBusy(true);
    compare::Comparison c = compare::compareWithRegistry(registry_.service(), file);
    view_.setBusy(false);
    if (c.ok)
        return c;
    box("The backup " + label + " could not be compared with the registry" + kFiveBlanks + kCrLf + c.problem +
            kFiveBlanks,
        vbOKOnly | vbExclamation, kAppTitle);
    return std::nullopt;
}

void MainWindow::compareCommand() {
    if (const auto file = chosenBackupFile("compare")) {
        const std::string entry = backups_[chosenBackup_];
        if (auto c = compared(*file, entry))
            view_.openComparison(entry, std::move(*c));
    }
}

void MainWindow::restoreExactlyCommand() {
    if (const auto file = chosenBackupFile("restore"))
        restoreExactly(*file, backups_[chosenBackup_], false);
}

void MainWindow::undoLastRestoreCommand() {
    const auto newest = backup::newestSafetyBackup(backup::safetyFolder(places_.programFolder));
    if (!newest) {
        updateUndo();  // the safety backups have gone since the item was last set
        box(std::string("There is no restore to undo") + kFiveBlanks, vbOKOnly | vbInformation, "Nothing to Undo");
        return;
    }
    restoreExactly(*newest, newest->stem().string(), true);
}

void MainWindow::restoreExactly(const fs::path& file, const std::string& label, bool undo) {
    const auto comparison = compared(file, label);
    if (!comparison)
        return;
    const compare::Comparison& c = *comparison;
    // The safety backup is one export of one key.
    if (c.tops.size() != 1) {
        box("The backup " + label + " holds more than one key, so it cannot be restored exactly" + kFiveBlanks + kCrLf +
                "Use Restore to import it" + kFiveBlanks,
            vbOKOnly | vbInformation, kAppTitle);
        return;
    }
    const std::string key = c.fullPath(c.tops.front());
    if (c.identical()) {
        box(key + " already holds exactly what the backup " + label + " holds" + kFiveBlanks, vbOKOnly | vbInformation,
            kAppTitle);
        return;
    }
    const backup::SafetyName taken = backup::readSafetyName(file.filename().string());
    const std::string what = taken.label == kUndoLabel ? "an undo" : taken.label;
    const std::string question =
        (undo ? "Undo the last restore (" + what + ", " + taken.time + ")?" : "Restore " + label + " exactly?") +
        kFiveBlanks + kCrLf + kCrLf + key +
        (undo ? " will hold exactly what it held before: " : " will hold exactly what the backup holds: ") +
        changesText(c) + "." + kFiveBlanks + kCrLf + kCrLf +
        "A safety backup of the key is taken first; Undo Last Restore puts it back." + kFiveBlanks;
    if (box(question, vbYesNo | vbQuestion, undo ? "Undo Last Restore?" : "Restore Exactly?") != platform::vbYes)
        return;

    showMessage("Restoring backup file " + label);
    view_.setBusy(true);
    ++pendingRuns_;
    view_.letEventsRun();
    const fs::path folder = backup::safetyFolder(places_.programFolder);
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path safety = folder / backup::safetyFileName(undo ? kUndoLabel : label, std::chrono::system_clock::now());
    if (c.keys[c.tops.front()].difference == compare::Difference::OnlyInBackup) {
        // No key to export: the safety backup says that the key did not exist, so an undo removes it.
        std::ofstream out(safety, std::ios::binary);
        out << "\xFF\xFE" << text::utf8ToUtf16le("Windows Registry Editor Version 5.00\r\n\r\n[-" + key + "]\r\n\r\n");
        out.close();
        if (!out) {
            editorDone();
            view_.editorFinished(*exactRestoreFailed(label, true, "The safety backup " + safety.string() + " could not be written"));
            return;
        }
        editorDone();
        importExactly(file, label);
        return;
    }
    runEditor(backup::exportToCommandLine(places_.winDir, relativeToProgramFolder(safety, places_.programFolder), key),
              [file, label, safety, key](MainWindow& self, const platform::ProcessOutcome& outcome) -> std::optional<bool> {
                  std::string reason = outcome.errorText;
                  int status = backup::checkedEditorStatus(outcome.exitCode, reason, self.places_.wineEditor, safety, {});
                  if (outcome.started && status == 0) {
                      if (reason = self.verified(safety, compare::Expect::Equal, key); !reason.empty())
                          status = 1;
                  }
                  if (!outcome.started || status != 0) {
                      std::error_code ignored;
                      fs::remove(safety, ignored);  // half a safety backup must never be undone to
                      return self.exactRestoreFailed(
                          label, outcome.started, "No safety backup could be taken, so nothing was restored: " + reason);
                  }
                  self.importExactly(file, label);
                  return std::nullopt;
              });
}

std::optional<bool> MainWindow::exactRestoreFailed(const std::string& label, bool started, const std::string& reason) {
    const auto report = backup::importReport(label, started, 1, reason);
    view_.setText("lblMessage", report.status);
    box(report.message, vbOKOnly, kAppTitle);
    updateUndo();
    return false;
}

void MainWindow::importExactly(const fs::path& file, const std::string& label) {
    view_.setBusy(true);
    ++pendingRuns_;
    // Composed from the registry as it is now, after the safety backup.
    const compare::Comparison c = compare::compareWithRegistry(registry_.service(), file);
    const fs::path work = exactRestoreFile(backup::safetyFolder(places_.programFolder));
    bool written = c.ok;
    if (written) {
        std::ofstream out(work, std::ios::binary | std::ios::trunc);
        written = compare::writeExactRestore(c, out);
        out.close();
        written = written && static_cast<bool>(out);
    }
    if (!written) {
        editorDone();
        view_.editorFinished(*exactRestoreFailed(
            label, true, c.ok ? "The file " + work.string() + " could not be written" : c.problem));
        return;
    }
    runEditor(backup::importCommandLine(places_.winDir, relativeToProgramFolder(work, places_.programFolder)),
              [file, label, work](MainWindow& self, const platform::ProcessOutcome& outcome) -> std::optional<bool> {
                  std::error_code ignored;
                  fs::remove(work, ignored);
                  std::string reason = outcome.errorText;
                  int status = backup::checkedEditorStatus(outcome.exitCode, reason, self.places_.wineEditor);
                  if (outcome.started && status == 0) {
                      if (reason = self.verified(file, compare::Expect::Equal); !reason.empty())
                          status = 1;
                  }
                  if (!outcome.started || status != 0)
                      return self.exactRestoreFailed(label, outcome.started, reason);
                  const auto report = backup::importReport(label, true, 0, reason);
                  self.view_.setText("lblMessage", report.status);
                  self.updateUndo();
                  self.view_.letEventsRun();
                  self.refresh();
                  return std::optional<bool>(true);
              });
}

// ---- favourites -----------------------------------------------------------------------------------

void MainWindow::saveFavourites() {
    fav::writeFavourites(fav::favouritesPath(places_.programFolder), favourites_);
}

void MainWindow::chooseFavourite(int index) {
    chosenFavourite_ = index;
    view_.chooseFavourite(index);
    jumpToFavourite();
}

void MainWindow::addFavourite() {
    const std::string keyPath = view_.text("txtIndex");
    if (!fav::mayBeFavourite(keyPath))
        return;
    // The combo's own text goes in as well, so a typed key is kept too.
    const std::string typed = view_.text("Combo1");
    favourites_.push_back(keyPath);
    view_.letEventsRun();
    favourites_.push_back(typed);
    fav::ClearBlanks(favourites_);
    fav::ClearDoubles(favourites_);
    view_.setFavourites(favourites_);
    chooseFavourite(0);
    saveFavourites();
}

void MainWindow::removeFavourite() {
    const std::string text = view_.text("Combo1");
    if (text == fav::kHeading)
        return;
    // Only an entry actually chosen is removed; typed text names none.
    if (chosenFavourite_ >= 0 && chosenFavourite_ < static_cast<int>(favourites_.size()) &&
        favourites_[chosenFavourite_] == text)
        favourites_.erase(favourites_.begin() + chosenFavourite_);
    fav::ClearBlanks(favourites_);
    fav::ClearDoubles(favourites_);
    view_.setFavourites(favourites_);
    chosenFavourite_ = -1;
    if (!favourites_.empty())
        chooseFavourite(0);
    saveFavourites();
}

void MainWindow::favouriteChosen(int index) {
    chosenFavourite_ = index;
    jumpToFavourite();
}

void MainWindow::jumpToFavourite() {
    const std::string text = view_.text("Combo1");
    if (text != fav::kHeading) {
        const NodeId before = tree_->selectedNode();
        if (const NodeId node = tree_->openPath(fav::pathComponents(text)); node != kNoNode) {
            tree_->mark(node);
            view_.setText("txtIndex", tree_->fullPath(node));
            setName(tree_->text(node));
        } else if (const NodeId ancestor = tree_->selectedNode(); ancestor != before) {
            // The jump ended on an ancestor, which it does not mark: an old check mark there
            // would show one key while the backup command exported another.
            tree_->unmark(ancestor);
        }
        view_.setText("txtRoot", tree::rootOfKeyPath(view_.text("txtIndex")));
    }
    setName(tree::blanksToUnderscores(view_.text("txtFilename")));
    view_.setText("Label1", tree::defaultFileName(view_.text("txtFilename"), view_.text("txtRoot")));
}

void MainWindow::downArrow() {
    if (fav::arrowsApply(view_.text("Combo1"), view_.text("txtIndex")))
        jumpToFavourite();
}

void MainWindow::upArrow() {
    if (fav::arrowsApply(view_.text("Combo1"), view_.text("txtIndex")))
        view_.setText("Combo1", view_.text("txtIndex"));
}

void MainWindow::buttonClicked(std::string_view control) {
    if (control == "cmdBackup")
        backupCommand();
    else if (control == "cmdRestore")
        restoreCommand();
    else if (control == "cmdDelete")
        deleteCommand();
    else if (control == "cmdAdd")
        addFavourite();
    else if (control == "cmdRemove")
        removeFavourite();
}

// ---- menus -----------------------------------------------------------------------------------------

void MainWindow::menu(std::string_view item) {
    if (item == "mnuFile_2")
        unload();
    else if (item == "mnuEdit_0")
        backupCommand();
    else if (item == "mnuEdit_2")
        restoreCommand();
    else if (item == "mnuEdit_4")
        deleteCommand();
    else if (item == "mnuEdit_6")
        compareCommand();
    else if (item == "mnuEdit_8")
        restoreExactlyCommand();
    else if (item == "mnuEdit_10")
        undoLastRestoreCommand();
    else if (item == "mnuView_0")
        desktop_.open(places_.winDir + "\\Regedit.exe");
    else if (item == "mnuView_2")
        refresh();
    else if (item == "mnuHelp_0")
        desktop_.open((places_.programFolder / "Karvo.chm").make_preferred().string());
    else if (item == "mnuHelp_2")
        view_.openWindow("frmBugReport");
    else if (item == "mnuHelp_4")
        view_.openWindow("frmAbout");
}

}  // namespace karvo::app
