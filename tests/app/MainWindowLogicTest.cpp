// The main window's logic driven through its events against a recording window and desktop: what it
// shows, asks, runs and writes.
#include "app/MainWindow.h"

#include "favourites/Favourites.h"

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
    EXPECT_EQ(desktop.take(), (Lines{"backups A_HKLM|b_HKCU", "favourites Favorite Keys|X", "show", "focus cmdDummy"}));
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
    writeFile(dir / "a_HKCU.reg", "written");  // what the editor writes; listed before the chosen one
    writeFile(dir / "Run_Key_HKCU.reg", "written");
    desktop.finish(0);
    EXPECT_EQ(view.texts["lblMessage"], "Run_Key backup has been created");
    EXPECT_EQ(desktop.take(), (Lines{"backups a_HKCU|b_HKCU|Run_Key_HKCU [b_HKCU]", "finished ok"}));
}

TEST_F(MainWindowLogic, RestoreAndDeleteTakeTheChosenBackupsOwnFile) {
    writeFile(dir / "Run_HKCU.REG", "x");
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

}  // namespace
