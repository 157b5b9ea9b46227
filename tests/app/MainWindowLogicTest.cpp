// The main window's logic driven through its events against a recording window and desktop: what it
// shows, asks, runs and writes.
#include "app/MainWindow.h"

#include "backup/Backups.h"
#include "favourites/Favourites.h"
#include "platform/CommandLine.h"
#include "regfile/RegFile.h"

#include "RecordingWindow.h"
#include "TestStore.h"
#include "registry/cRegistry.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace karvo;
using namespace karvo::test;
using karvo::platform::vbNo;
using karvo::platform::vbYes;

namespace {

class MainWindowLogic : public ::testing::Test, public TestStore {
protected:
    RecordingDesktop desktop;
    RecordingWindow view{desktop.lines};
    cRegistry registry{store()};
    app::MainWindow window{view, view, desktop, desktop, registry, {dir.path(), "C:\\WIN", false}};

    MainWindowLogic() {
        dropArea(store());
        touch(kArea + "\\Run Key\\Sub");
        touch(kArea + "\\Other");
    }
    ~MainWindowLogic() override { dropArea(store()); }
    void start(const std::string& favourites = "Favorite Keys\r\n") {
        writeFile(dir / "Favs.tlv", favourites);
        window.load();
        desktop.take();
    }
    void click(const std::string& keyPath) {
        window.nodeClick(window.tree().openPath(favourites::pathComponents(keyPath)));
        desktop.take();
    }
    std::vector<std::string> fields() {
        return {view.texts["txtIndex"], view.texts["txtFilename"], view.texts["txtRoot"], view.texts["Label1"]};
    }
    // The registry editor's stand-in: does what the oldest run's command line asks on the test's
    // registry (unless it only pretends), then ends with exitCode.
    void editor(int exitCode = 0, bool writes = true, const std::string& errorText = "") {
        const std::vector<std::string> args = platform::splitArguments(desktop.runningCommands.front());
        if (writes && args.at(1) == "/e") {
            regfile::exportRegFile(store(), (dir / args.at(2)).string(), args.at(3), regfile::Format::Unicode5);
            writtenLater(dir / args.at(2));
        }
        else if (writes && args.at(1) == "/s")
            regfile::importRegFile(store(), (dir / args.at(2)).string());
        desktop.finish(exitCode, errorText);
    }
    // File times can be coarser than a test's pace (Wine's are): a file the editor writes is dated
    // after any it wrote before.
    void writtenLater(const fs::path& file) {
        fs::last_write_time(file, fs::file_time_type::clock::now() + std::chrono::seconds(++rewrites));
    }
    int rewrites = 0;
    void backUp(const std::string& key, const std::string& file) {
        ASSERT_TRUE(regfile::exportRegFile(store(), (dir / file).string(), key, regfile::Format::Unicode5).ok);
    }
    void choose(const std::string& backup) {
        const auto at = std::find(view.backups.begin(), view.backups.end(), backup);
        ASSERT_NE(at, view.backups.end()) << backup;
        window.backupChosen(static_cast<int>(at - view.backups.begin()));
    }
};

TEST_F(MainWindowLogic, StartUpListsTheBackupsSortedAndCleansTheFavouritesWithoutRewritingThem) {
    for (const char* file : {"b_HKCU.reg", "A_HKLM.REG", ".hidden.reg", "notes.txt"})
        writeFile(dir / file, "x");
    const std::string favourites = "Favorite Keys\r\n\r\nX\r\nX\r\n";
    writeFile(dir / "Favs.tlv", favourites);
    window.load();
    EXPECT_EQ(desktop.take(), (Lines{"backups A_HKLM|b_HKCU", "favourites Favorite Keys|X", "grey mnuEdit_10", "show",
                                     "focus cmdDummy"}));
    EXPECT_EQ(readFile(dir / "Favs.tlv"), favourites);
    EXPECT_EQ(view.texts["txtIndex"], favourites::kPrompt);

    window.menu("mnuFile_2");
    window.unload();  // once only
    EXPECT_EQ(desktop.take(), (Lines{"hide", "close others", "close"}));
}

TEST_F(MainWindowLogic, AClickMarksTheKeyAndFillsTheFieldsAndRefreshReadsItAgain) {
    start();
    click(kArea + "\\Run Key");
    EXPECT_EQ(fields(), (std::vector<std::string>{kArea + "\\Run Key", "Run_Key", "_HKCU", "Run_Key_HKCU.reg"}));
    const tree::NodeId key = window.tree().selectedNode();
    EXPECT_TRUE(window.tree().isMarked(key));
    EXPECT_EQ(view.nodes.at(key).selected, tree::Image::Selected);
    EXPECT_EQ(view.nodes.at(key).image, tree::Image::OpenFolder);

    touch(kArea + "\\Run Key\\New");
    window.menu("mnuView_2");
    EXPECT_EQ(desktop.take(), (Lines{"close " + kArea + "\\Run Key", "remove under " + kArea + "\\Run Key",
                                     "select " + kArea + "\\Run Key", "add 2 under " + kArea + "\\Run Key", "status key",
                                     "open " + kArea + "\\Run Key", "scroll to " + kArea + "\\Run Key"}));
}

TEST_F(MainWindowLogic, TheBackupCommandRunsOnlyForAMarkedKeyAndAFitNameAndReportsTheEditorsOutcome) {
    const std::string kReplace = "box Replace File? [52]: A backup by that name already exists     \r\n"
                                 "Are you sure you want to replace it?     ";
    const std::string kRun = "run 1 C:\\WIN\\regedit /e Run_Key_HKCU.reg \"" + kArea + "\\Run Key\"";
    struct Row {
        const char* what;
        bool clicked;
        std::string name;
        bool exists;
        std::vector<int> answers;
        Lines lines;
    } rows[] = {
        {"no key", false, "", false, {}, {"box Key Not Selected [64]: Select a Key to backup by clicking it     \r\n"
                                          "The Key to backup will have a red check mark     "}},
        {"no name", true, "", false, {}, {"box Select a Name [64]: Please enter a name for the backup file     ",
                                           "focus txtFilename"}},
        {"bad name", true, "a:b", false, {},
         {"box Invalid Name [64]: A backup name cannot contain any of the characters \\ / : * ? \" < > |     ",
          "focus txtFilename"}},
        {"kept", true, "Run Key", true, {vbNo}, {kReplace, "focus txtFilename", "select all txtFilename"}},
        {"replaced", true, "Run Key", true, {vbYes}, {kReplace, "status message", kRun}},
        {"new", true, "Run Key", false, {}, {"status message", kRun}},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(dir / "Run_Key_HKCU.reg");
        if (row.exists)
            writeFile(dir / "Run_Key_HKCU.reg", "old");
        start();
        if (row.clicked)
            click(kArea + "\\Run Key");
        view.texts["txtFilename"] = row.name;
        window.nameChanged();
        desktop.answers = row.answers;
        window.backupCommand();
        EXPECT_EQ(desktop.take(), row.lines);
        EXPECT_EQ(window.pendingEditorRuns(), static_cast<int>(desktop.running.size()));
        while (!desktop.running.empty())
            desktop.finish(0);
        desktop.take();
    }
    EXPECT_EQ(view.busy, 0);
}

TEST_F(MainWindowLogic, AnExportIsBelievedOnlyWithItsFileAndTheListKeepsTheChosenBackup) {
    writeFile(dir / "b_HKCU.reg", "x");
    start();
    choose("b_HKCU");
    EXPECT_EQ(view.texts["txtFilename"], "b_HKCU");
    click(kArea + "\\Run Key");  // the name box follows the key again
    window.backupCommand();
    desktop.take();
    desktop.finish(0);  // status 0, yet no file written
    EXPECT_EQ(view.texts["lblMessage"], "Backup file Run_Key could not be created");
    EXPECT_EQ(desktop.take(), (Lines{"box Karvo Backup [0]: The registry editor could not create the backup Run_Key     "
                                     "\r\nThe registry editor wrote nothing to Run_Key_HKCU.reg     ",
                                     "backups b_HKCU [b_HKCU]", "finished failed"}));
    window.backupCommand();
    desktop.take();
    writeFile(dir / "a_HKCU.reg", "written");  // listed before the chosen one
    // A file that does not hold the key as the registry holds it is no backup, whatever the status
    // said: another key's, or one the registry no longer matches.
    for (const std::string& written : {kArea + "\\Other", kArea + "\\Run Key"}) {
        backUp(written, "Run_Key_HKCU.reg");
        writtenLater(dir / "Run_Key_HKCU.reg");
        setSz(kArea + "\\Run Key", "changed since", written);
        desktop.finish(0);
        EXPECT_EQ(view.texts["lblMessage"], "Backup file Run_Key could not be created");
        EXPECT_TRUE(desktop.take().at(0).starts_with("box Karvo Backup [0]: The registry editor could not create the "
                                                     "backup Run_Key     \r\nThe registry does not hold what "
                                                     "Run_Key_HKCU.reg holds: "))
            << written;
        desktop.answers = {vbYes};
        window.backupCommand();
        desktop.take();
    }
    editor();
    EXPECT_EQ(view.texts["lblMessage"], "Run_Key backup has been created");
    EXPECT_EQ(desktop.take(), (Lines{"backups a_HKCU|b_HKCU|Run_Key_HKCU [b_HKCU]", "finished ok"}));
}

TEST_F(MainWindowLogic, RestoreAndDeleteTakeTheChosenBackupsOwnFile) {
    backUp(kArea + "\\Run Key", "Run_HKCU.REG");
    writeFile(dir / "z.reg", "x");
    start();
    for (auto command : {&app::MainWindow::restoreCommand, &app::MainWindow::deleteCommand}) {
        (window.*command)();
        EXPECT_EQ(desktop.take().at(1), "focus lstBack");
    }
    click(kArea + "\\Run Key");
    choose("Run_HKCU");
    window.restoreCommand();
    EXPECT_EQ(desktop.take(), (Lines{"status message", "run 1 C:\\WIN\\regedit.exe /s Run_HKCU.REG"}));
    desktop.finish(2, "regedit: bad file");
    EXPECT_EQ(desktop.take(), (Lines{"box Karvo Backup [0]: The registry editor could not restore the backup Run_HKCU"
                                     "     \r\nregedit: bad file     ",
                                     "finished failed"}));
    window.restoreCommand();
    desktop.take();
    desktop.finish(0);
    EXPECT_EQ(view.texts["lblMessage"], "Run_HKCU has been restored");
    const Lines restored = desktop.take();
    EXPECT_EQ(restored.back(), "finished ok");
    EXPECT_NE(std::find(restored.begin(), restored.end(), "scroll to " + kArea + "\\Run Key"), restored.end());

    window.deleteCommand();
    EXPECT_EQ(desktop.take(), Lines{"backups z"});
    EXPECT_FALSE(fs::exists(dir / "Run_HKCU.REG"));
}

TEST_F(MainWindowLogic, FavouritesAreAddedOnceRemovedOnlyWhenChosenAndAJumpMarksOnlyTheKeyItReaches) {
    start("Favorite Keys\r\n" + kArea + "\\Other\r\n");
    window.addFavourite();  // the prompt is no key
    EXPECT_TRUE(desktop.take().empty());
    click(kArea + "\\Run Key");
    window.addFavourite();
    window.addFavourite();
    EXPECT_EQ(readFile(dir / "Favs.tlv"), "Favorite Keys\r\n" + kArea + "\\Other\r\n" + kArea + "\\Run Key\r\n");

    view.texts["Combo1"] = kArea + "\\Other";
    window.favouriteChosen(1);
    EXPECT_EQ(fields(), (std::vector<std::string>{kArea + "\\Other", "Other", "_HKCU", "Other_HKCU.reg"}));
    EXPECT_TRUE(window.tree().isMarked(window.tree().selectedNode()));

    // A path that stops short leaves the ancestor it reached selected and unmarked.
    click(kArea + "\\Run Key");
    click(kArea + "\\Other");
    view.texts["Combo1"] = kArea + "\\Run Key\\Missing";
    window.favouriteChosen(-1);
    EXPECT_EQ(view.path(window.tree().selectedNode()), kArea + "\\Run Key");
    EXPECT_FALSE(window.tree().isMarked(window.tree().selectedNode()));

    window.upArrow();  // the combo takes the key path
    EXPECT_EQ(view.texts["Combo1"], kArea + "\\Other");
    window.removeFavourite();  // typed, not chosen: nothing goes
    window.favouriteChosen(2);
    view.texts["Combo1"] = view.favourites[2];
    window.removeFavourite();
    EXPECT_EQ(readFile(dir / "Favs.tlv"), "Favorite Keys\r\n" + kArea + "\\Other\r\n");
    EXPECT_EQ(view.texts["Combo1"], "Favorite Keys");
    window.removeFavourite();  // never the heading
    EXPECT_EQ(view.favourites.size(), 2u);
}

TEST_F(MainWindowLogic, MenusAndTheStatusLine) {
    start();
    const std::pair<const char*, Lines> rows[] = {
        {"mnuView_0", {"open C:\\WIN\\Regedit.exe"}},
        {"mnuHelp_0", {"open " + (dir / "Karvo.chm").make_preferred().string()}},
        {"mnuHelp_2", {"window frmBugReport"}},
        {"mnuHelp_4", {"window frmAbout"}},
        {"mnuEdit_1", {}},
    };
    for (const auto& [item, lines] : rows) {
        window.menu(item);
        EXPECT_EQ(desktop.take(), lines) << item;
    }
    window.statusLinePressed();
    EXPECT_EQ(desktop.take(), Lines{"focus cmdDummy"});
    // Every control a front end makes has a name, and the Tab key's order names only those.
    for (const char* name : app::tabOrder())
        EXPECT_EQ(std::count_if(app::controls().begin(), app::controls().end(),
                                [&](const app::Control& c) { return std::string(c.name) == name; }), 1) << name;
}

TEST_F(MainWindowLogic, ARestoreIsBelievedOnlyWhenTheRegistryHoldsTheBackup) {
    setSz(kArea + "\\Run Key", "v", "backed up");
    backUp(kArea + "\\Run Key", "Run_HKCU.reg");
    setSz(kArea + "\\Run Key", "v", "changed since");
    start();
    choose("Run_HKCU");
    for (const bool writes : {false, true}) {
        window.restoreCommand();
        desktop.take();
        editor(0, writes);  // status 0 either way, as Wine's editor and a declined elevation end
        EXPECT_EQ(view.texts["lblMessage"], writes ? "Run_HKCU has been restored" : "Backup file Run_HKCU could not be restored");
        EXPECT_EQ(desktop.take().back(), writes ? "finished ok" : "finished failed");
    }
    EXPECT_EQ(data(kArea + "\\Run Key", "v"), wz("backed up"));
}

TEST_F(MainWindowLogic, AnExactRestoreKeepsASafetyBackupAndUndoingItBringsTheChangesBack) {
    const std::string key = kArea + "\\Run Key";
    setSz(key, "changed", "before");
    setSz(key, "deleted", "kept");
    backUp(key, "Run_HKCU.reg");
    setSz(key, "changed", "after");
    setSz(key, "added", "new");
    store().DeleteTree(open(key, true), "Sub");
    ASSERT_EQ(reg::kErrorSuccess, store().RegDeleteValueA(open(key, true), "deleted"));
    const auto state = [&] {
        return data(key, "changed") + "|" + data(key, "added") + "|" + data(key, "deleted") + (exists(key + "\\Sub") ? "|Sub" : "");
    };
    const std::string backedUp = wz("before") + "||" + wz("kept") + "|Sub", changed = wz("after") + "|" + wz("new") + "|";
    start();
    EXPECT_EQ(desktop.take(), Lines{});
    choose("Run_HKCU");
    window.menu("mnuEdit_6");
    EXPECT_EQ(desktop.take(), Lines{"comparison Run_HKCU"});
    EXPECT_EQ(view.comparisons.at(0).valueCounts.differences(), 3u);

    desktop.answers = {vbYes};
    window.menu("mnuEdit_8");
    Lines lines = desktop.take();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "box Restore Exactly? [36]: Restore Run_HKCU exactly?     \r\n\r\n" + key +
                            " will hold exactly what the backup holds: 1 value will change, 1 value and 1 key will come "
                            "back, 1 value and 0 keys will be removed.     \r\n\r\nA safety backup of the key is taken "
                            "first; Undo Last Restore puts it back.     ");
    EXPECT_TRUE(lines[2].starts_with("run 1 C:\\WIN\\regedit /e \"Safety Backups")) << lines[2];
    editor();  // the safety backup
    EXPECT_TRUE(desktop.take().back().ends_with("regedit.exe /s \"Safety Backups" + std::string(1, fs::path::preferred_separator) +
                                                ".exact restore.reg\""));
    editor();  // the composed file
    EXPECT_EQ(state(), backedUp);
    EXPECT_EQ(view.texts["lblMessage"], "Run_HKCU has been restored");
    lines = desktop.take();
    EXPECT_EQ(lines.front(), "enable mnuEdit_10");
    EXPECT_EQ(lines.back(), "finished ok");
    EXPECT_EQ(backup::backupNames(backup::safetyFolder(dir.path())).size(), 1u);  // the work file is gone

    // Undo, and undo the undo: each takes a safety backup of its own first.
    for (const std::string& expected : {changed, backedUp}) {
        desktop.answers = {vbYes};
        desktop.take();
        window.menu("mnuEdit_10");
        const std::string asked = desktop.take().at(0);
        EXPECT_TRUE(asked.starts_with("box Undo Last Restore? [36]: Undo the last restore (" +
                                      std::string(expected == changed ? "Run_HKCU, " : "an undo, ")))
            << asked;
        editor();
        editor();
        EXPECT_EQ(state(), expected);
    }
    EXPECT_EQ(backup::backupNames(backup::safetyFolder(dir.path())).size(), 3u);
    EXPECT_EQ(view.busy, 0);
}

TEST_F(MainWindowLogic, AnExactRestoreOfAKeyThatIsGoneBringsItBackAndItsUndoRemovesItAgain) {
    const std::string key = kArea + "\\Run Key";
    setSz(key + "\\Sub", "v", "kept");
    backUp(key, "Run_HKCU.reg");
    ASSERT_EQ(reg::kErrorSuccess, store().DeleteTree(open(kArea, true), "Run Key"));
    start();
    choose("Run_HKCU");
    for (const char* item : {"mnuEdit_8", "mnuEdit_10"}) {
        desktop.answers = {vbYes};
        window.menu(item);
        while (!desktop.running.empty())
            editor();  // no export runs for a key that is not there: its safety backup says so itself
        EXPECT_TRUE(view.texts["lblMessage"].ends_with("has been restored")) << item;
        EXPECT_EQ(exists(key + "\\Sub"), item == std::string("mnuEdit_8"));
    }
    EXPECT_FALSE(exists(key));
    EXPECT_EQ(backup::backupNames(backup::safetyFolder(dir.path())).size(), 2u);
}

TEST_F(MainWindowLogic, AnExactRestoreIsRefusedOrStoppedBeforeItChangesAnything) {
    const std::string key = kArea + "\\Run Key";
    backUp(key, "Same_HKCU.reg");
    writeFile(dir / "Two_HKCU.reg", "REGEDIT4\r\n\r\n[" + key + "]\r\n\r\n[" + kArea + "\\Other]\r\n");
    writeFile(dir / "Junk_HKCU.reg", "junk");
    setSz(key, "added", "since");
    backUp(key, "Later_HKCU.reg");
    ASSERT_EQ(reg::kErrorSuccess, store().RegDeleteValueA(open(key, true), "added"));
    start();
    struct Row {
        const char* backup;
        std::vector<int> answers;
        std::string firstLine;
    } rows[] = {
        {"", {}, "box Nothing Selected [64]: Please select a Backup to restore     "},
        {"Same_HKCU", {}, "box Karvo Backup [64]: " + key + " already holds exactly what the backup Same_HKCU holds     "},
        {"Two_HKCU", {}, "box Karvo Backup [64]: The backup Two_HKCU holds more than one key, so it cannot be restored "
                         "exactly     \r\nUse Restore to import it     "},
        {"Junk_HKCU", {}, "box Karvo Backup [48]: The backup Junk_HKCU could not be compared with the registry     \r\n"},
        {"Later_HKCU", {vbNo}, "box Restore Exactly? [36]: Restore Later_HKCU exactly?     \r\n\r\n"},
    };
    for (const Row& row : rows) {
        if (*row.backup)
            choose(row.backup);
        desktop.answers = row.answers;
        window.restoreExactlyCommand();
        const Lines lines = desktop.take();
        EXPECT_TRUE(lines.at(0).starts_with(row.firstLine)) << lines.at(0);
        EXPECT_TRUE(desktop.running.empty()) << row.backup;
    }
    window.undoLastRestoreCommand();
    EXPECT_EQ(desktop.take(), (Lines{"grey mnuEdit_10", "box Nothing to Undo [64]: There is no restore to undo     "}));

    // A safety backup that the editor could not take stops the restore.
    desktop.answers = {vbYes};
    window.restoreExactlyCommand();
    desktop.take();
    editor(1, false, "regedit: disk full");
    EXPECT_EQ(view.texts["lblMessage"], "Backup file Later_HKCU could not be restored");
    EXPECT_EQ(desktop.take().at(0), "box Karvo Backup [0]: The registry editor could not restore the backup Later_HKCU     "
                                    "\r\nNo safety backup could be taken, so nothing was restored: regedit: disk full     ");
    EXPECT_TRUE(desktop.running.empty());
    EXPECT_FALSE(backup::newestSafetyBackup(backup::safetyFolder(dir.path())));
    EXPECT_EQ(data(key, "added"), "");
}

}  // namespace
