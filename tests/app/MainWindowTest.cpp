// The main window driven as a user would: its favourite keys, and backing up, restoring and deleting
// with the build's registry editor.
#include "WindowFixture.h"

#include "app/Pictures.h"
#include "platform/ShexIt.h"

#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QScrollBar>

#include <filesystem>

using namespace karvo::platform;
using namespace karvo::test;

namespace {

using MainWindow = WindowTest;

TEST_F(MainWindow, StartUpInAFixedLayoutListsTheBackupsAndLoadsTheFavouritesCleanedNeverRewritten) {
    for (const char* name : {"Software_HKCU.reg", "Desktop_HKCU.reg", "notes.txt", ".Hidden_HKCU.reg"})
        writeFile(folder / name, "x");
    load();
    EXPECT_EQ(readFile(folder / "Favs.tlv"), "Favorite Keys\r\n");  // made on the first start
    EXPECT_EQ(favourites(), QStringList{"Favorite Keys"});
    EXPECT_EQ(backups(), (QStringList{"Desktop_HKCU", "Software_HKCU"}));
    EXPECT_TRUE(lstBack()->selectedItems().isEmpty());
    EXPECT_EQ(text("txtIndex"), "Select a Key to Backup, Restore or Add to Favorites");
    EXPECT_FALSE(messageMode());
    EXPECT_EQ(focusName(), "cmdDummy");
    EXPECT_TRUE(boxes.shown.empty());

    const double x = window->logicalDpiX(), y = window->logicalDpiY();
    EXPECT_EQ(window->centralWidget()->size(), QSize(twips(7590, x), twips(5295, y)));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->windowTitle(), "Tolvane Karvo Backup");
    EXPECT_EQ(control("cmdBackup")->geometry(), QRect(twips(1050, x), twips(4460, y), twips(1695, x), twips(350, y)));
    // The working fields lie below the visible client area.
    for (const char* hidden : {"txtRoot", "cmdDummy", "Label1"})
        EXPECT_GT(control(hidden)->y(), window->centralWidget()->height()) << hidden;

    const std::pair<const char*, const char*> items[] = {
        {"mnuFile_2", "E&xit"},           {"mnuEdit_0", "&Backup Selected"}, {"mnuEdit_2", "&Restore Selected"},
        {"mnuEdit_4", "&Delete Selected"}, {"mnuView_0", "Registry &Editor"}, {"mnuView_2", "&Refresh"},
        {"mnuHelp_0", "&Contents"},        {"mnuHelp_2", "&Tell a Friend"},   {"mnuHelp_4", "&About"}};
    for (const auto& [name, caption] : items)
        EXPECT_EQ(control<QAction>(name)->text(), caption);
    EXPECT_TRUE(control<QAction>("mnuEdit_1")->isSeparator());
    EXPECT_EQ(control<QMenu>("mnuEditTOP")->title(), "&Actions");

    EXPECT_EQ(tabWalk(12), (QStringList{"cmdDummy", "tvwReg", "Combo1", "cmdAdd", "cmdRemove", "txtFilename", "lstBack",
                                        "cmdBackup", "cmdRestore", "cmdDelete", "txtIndex", "txtRoot"}));

    writeFile(folder / "Favs.tlv", "Favorite Keys\r\nA\r\n\r\nA\r\nB\r\n");
    load();
    EXPECT_EQ(favourites(), (QStringList{"Favorite Keys", "A", "B"}));
    EXPECT_EQ(readFile(folder / "Favs.tlv"), "Favorite Keys\r\nA\r\n\r\nA\r\nB\r\n");
}

TEST_F(MainWindow, ClickingAKeyMarksItAndFillsTheFieldsAndRefreshReadsItAgain) {
    reg.touch("HKEY_CURRENT_USER\\Control Panel\\Desktop");
    reg.touch("HKEY_CURRENT_USER\\Software\\Old");
    reg.touch("HKEY_LOCAL_MACHINE\\SOFTWARE\\" + std::string(200, 'L'));
    load();
    menu("mnuView_2");  // nothing selected: nothing happens
    EXPECT_EQ(window->registryTree().enumerations(), 0);
    clickNode("HKEY_CURRENT_USER");
    EXPECT_EQ(fields(), QStringList({"HKEY_CURRENT_USER", "HKEY_CURRENT_USER", "_HKCU", "HKEY_CURRENT_USER_HKCU.reg"}));

    QTreeWidgetItem* panel = node("HKEY_CURRENT_USER\\Control Panel");
    clickNode("HKEY_CURRENT_USER\\Control Panel");
    EXPECT_TRUE(RegistryTree::isMarked(panel));
    EXPECT_EQ(tree()->currentItem(), panel);
    EXPECT_EQ(fields(),
              QStringList({"HKEY_CURRENT_USER\\Control Panel", "Control_Panel", "_HKCU", "Control_Panel_HKCU.reg"}));
    // Read, but still shown closed.
    EXPECT_FALSE(panel->isExpanded());
    EXPECT_EQ(panel->child(0)->text(0), "Desktop");

    // Typing recomputes the default file name with the marked key's short name.
    clickNode("HKEY_LOCAL_MACHINE\\SOFTWARE");
    typeName("mine");
    EXPECT_EQ(text("Label1"), "mine_HKLM.reg");
    typeName("");
    EXPECT_EQ(text("Label1"), "_HKLM.reg");
    // A name longer than the tree is wide can be scrolled to.
    node("HKEY_LOCAL_MACHINE\\SOFTWARE")->setExpanded(true);
    QTest::qWait(10);
    EXPECT_GT(tree()->horizontalScrollBar()->maximum(), 0);

    // A press on the status line, double or single, parks the focus and selects nothing.
    for (bool twice : {false, true}) {
        control("txtFilename")->setFocus();
        twice ? QTest::mouseDClick(control("txtIndex"), Qt::LeftButton)
              : QTest::mouseClick(control("txtIndex"), Qt::LeftButton);
        EXPECT_EQ(focusName(), "cmdDummy");
        EXPECT_FALSE(control<QLineEdit>("txtIndex")->hasSelectedText());
    }

    // Refresh reads the selected key again and keeps it marked, and open or closed as it was.
    QTreeWidgetItem* sw = node("HKEY_CURRENT_USER\\Software");
    clickNode("HKEY_CURRENT_USER\\Software");
    sw->setExpanded(true);
    node("HKEY_CURRENT_USER\\Software\\Old")->setExpanded(true);
    reg.touch("HKEY_CURRENT_USER\\Software\\New");
    menu("mnuView_2");
    EXPECT_TRUE(sw->isExpanded());
    EXPECT_TRUE(RegistryTree::isMarked(sw));
    EXPECT_EQ(tree()->currentItem(), sw);
    ASSERT_EQ(sw->childCount(), 2);
    EXPECT_EQ(sw->child(0)->text(0), "New");
    EXPECT_FALSE(sw->child(1)->isExpanded());

    // A key read while shown closed is read afresh too, and stays closed.
    sw->setExpanded(false);
    clickNode("HKEY_CURRENT_USER\\Software");
    reg.touch("HKEY_CURRENT_USER\\Software\\Newer");
    menu("mnuView_2");
    EXPECT_FALSE(sw->isExpanded());
    EXPECT_EQ(sw->childCount(), 3);
}

TEST_F(MainWindow, MenusOpenTheHelpEditorAndWindowsAndExitClosesThemAll) {
    TempDir windows;  // an editor that only says it ran
    ScopedEnv winDir("KARVO_WINDIR", windows.str());
    writeFile(windows / "regedit", "#!/bin/sh\necho \"$@\" > ran.txt\n");
    std::filesystem::permissions(windows / "regedit", std::filesystem::perms::owner_all);
    std::vector<std::string> opened;
    karvo::platform::setUrlOpener([&](const std::string& url) { return opened.push_back(url), true; });
    writeFile(folder / "Karvo.chm", "help");
    reg.touch("HKEY_CURRENT_USER\\Software\\Deep");
    load();

    menu("mnuView_0");
    EXPECT_TRUE(QTest::qWaitFor([&] { return readFile(folder / "ran.txt") == "\n"; }, 10000));
    menu("mnuHelp_0");
    EXPECT_EQ(opened, std::vector<std::string>{"file://" + (folder / "Karvo.chm").string()});
    for (const char* item : {"mnuHelp_2", "mnuHelp_4"}) {
        menu(item);
        menu(item);  // the window already open comes to the front; no second one
    }
    QStringList shown;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w != window.get())
            shown << w->objectName();
    shown.sort();
    EXPECT_EQ(shown, (QStringList{"frmAbout", "frmBugReport"}));

    bool unloaded = false;
    QObject::connect(window.get(), &frmRegEdit::unloaded, [&] { unloaded = true; });
    QTreeWidgetItem* hkcu = node("HKEY_CURRENT_USER");
    clickNode("HKEY_CURRENT_USER\\Software\\Deep");
    menu("mnuFile_2");
    EXPECT_TRUE(unloaded);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(hkcu->childCount(), 0);  // the open branch is discarded
    EXPECT_FALSE(RegistryTree::isEnumerated(hkcu));
    QTest::qWait(20);  // the other windows delete themselves once closed
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_TRUE(w == window.get() || !w->isVisible()) << w->objectName().toStdString();
    karvo::platform::setUrlOpener({});
}

const QString kDesktop = "HKEY_CURRENT_USER\\Control Panel\\Desktop";

class FavouritesCommands : public WindowTest {
protected:
    void SetUp() override {
        reg.touch("HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics");
        reg.touch("HKEY_CURRENT_USER\\Software");
    }
    void choose(int index) const {
        Combo1()->setCurrentIndex(index);
        emit Combo1()->activated(index);
    }
};

TEST_F(FavouritesCommands, AddingKeepsOneEntryPerKeyRemovingTakesOnlyTheChosenOne) {
    load();
    press("cmdAdd");  // no key clicked yet: nothing at all
    clickNode("HKEY_CURRENT_USER");
    press("cmdAdd");  // a bare root is no favourite
    EXPECT_EQ(favourites(), QStringList{"Favorite Keys"});
    EXPECT_EQ(readFile(folder / "Favs.tlv"), "Favorite Keys\r\n");

    clickNode(kDesktop);
    press("cmdAdd");
    press("cmdAdd");
    EXPECT_EQ(favourites(), (QStringList{"Favorite Keys", kDesktop}));
    EXPECT_EQ(Combo1()->currentText(), "Favorite Keys");
    EXPECT_EQ(readFile(folder / "Favs.tlv"), "Favorite Keys\r\nHKEY_CURRENT_USER\\Control Panel\\Desktop\r\n");

    // Typed text becomes a favourite of its own, after the key path.
    clickNode("HKEY_CURRENT_USER\\Software");
    Combo1()->setEditText("my note");
    press("cmdAdd");
    EXPECT_EQ(favourites(), (QStringList{"Favorite Keys", kDesktop, "HKEY_CURRENT_USER\\Software", "my note"}));

    // Only a chosen entry is removed: never the heading, nor anything by text typed over it.
    choose(0);
    press("cmdRemove");
    Combo1()->setEditText("typed, not chosen");
    press("cmdRemove");
    EXPECT_EQ(favourites().size(), 4);
    choose(2);
    press("cmdRemove");
    EXPECT_EQ(favourites(), (QStringList{"Favorite Keys", kDesktop, "my note"}));
    EXPECT_EQ(Combo1()->currentText(), "Favorite Keys");
    EXPECT_EQ(readFile(folder / "Favs.tlv"),
              "Favorite Keys\r\nHKEY_CURRENT_USER\\Control Panel\\Desktop\r\nmy note\r\n");
}

TEST_F(FavouritesCommands, ChoosingAFavouriteOrTheArrowsOpenTheTreeAndMarkTheKey) {
    const std::string file = "Favorite Keys\r\nHKEY_CURRENT_USER\\Control Panel\\Desktop\r\n"
                             "HKEY_CURRENT_USER\\control panel\r\nHKEY_CURRENT_USER\\Control Panel\\Gone\r\n";
    writeFile(folder / "Favs.tlv", file);
    load();
    EXPECT_FALSE(control<karvo::app::ClickablePicture>("Image1")->pixmap().isNull());
    // Typing is not completed, a favourite's path typed and Return or Enter pressed is no choice, and
    // the copying arrow has no key to copy yet: nothing opens, nothing changes.
    Combo1()->lineEdit()->clear();
    QTest::keyClicks(Combo1()->lineEdit(), "hkey_c");
    EXPECT_EQ(Combo1()->currentText(), "hkey_c");
    Combo1()->setEditText(kDesktop);
    for (QWidget* target : {static_cast<QWidget*>(Combo1()->lineEdit()), static_cast<QWidget*>(Combo1())})
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(target, key);
    press("Image2");
    EXPECT_EQ(text("txtIndex"), "Select a Key to Backup, Restore or Add to Favorites");
    EXPECT_EQ(Combo1()->currentText(), kDesktop);

    const QStringList desktopFields{kDesktop, "Desktop", "_HKCU", "Desktop_HKCU.reg"};
    QTest::keyClick(Combo1(), Qt::Key_Down);  // the arrow keys still choose from the list
    QTreeWidgetItem* desktop = tree()->currentItem();
    ASSERT_TRUE(desktop);
    EXPECT_EQ(RegistryTree::fullPath(desktop), kDesktop);
    EXPECT_TRUE(RegistryTree::isMarked(desktop));
    EXPECT_TRUE(desktop->isSelected() && desktop->isExpanded() && desktop->parent()->isExpanded());
    EXPECT_EQ(fields(), desktopFields);

    // A spelling that differs in letter case, or a missing key, stops short and marks nothing, not
    // even an ancestor clicked before: the backup then has no key to export.
    clickNode("HKEY_CURRENT_USER\\Control Panel");
    clickNode(kDesktop);
    for (int index : {2, 3}) {
        choose(index);
        EXPECT_EQ(fields(), desktopFields);
        EXPECT_FALSE(RegistryTree::isMarked(tree()->currentItem()));
    }
    EXPECT_EQ(RegistryTree::fullPath(tree()->currentItem()), "HKEY_CURRENT_USER\\Control Panel");
    press("cmdBackup");
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Key Not Selected");
    boxes.shown.clear();

    // The heading only tidies the name box.
    txtFilename()->setText("two words");
    choose(0);
    EXPECT_EQ(fields(), QStringList({kDesktop, "two_words", "_HKCU", "two_words_HKCU.reg"}));

    // The arrows copy the marked key into the box, adding no favourite, and follow a path typed there.
    clickNode("HKEY_CURRENT_USER\\Software");
    press("Image2");
    EXPECT_EQ(Combo1()->currentText(), "HKEY_CURRENT_USER\\Software");
    EXPECT_EQ(Combo1()->count(), 4);
    EXPECT_EQ(readFile(folder / "Favs.tlv"), file);
    Combo1()->setEditText("HKEY_CURRENT_USER\\Control Panel");
    press("Image1");
    EXPECT_EQ(text("txtIndex"), "HKEY_CURRENT_USER\\Control Panel");
    EXPECT_TRUE(RegistryTree::isMarked(tree()->currentItem()));
    EXPECT_EQ(text("txtFilename"), "Control_Panel");
}

TEST(Program, WithoutADisplayItSaysSoAndExitsWithStatusOne) {
    for (const char* program : {"karvo", "windows/regedit"}) {  // the editor's window too
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        run.setProcessEnvironment(env);
        run.start(QString::fromStdString((binaryDir() / program).string()), {});
        ASSERT_TRUE(run.waitForFinished(30000));
        EXPECT_EQ(std::make_pair(run.exitStatus(), run.exitCode()), std::make_pair(QProcess::NormalExit, 1));
        const QString err = QString::fromLocal8Bit(run.readAllStandardError());
        EXPECT_EQ(err.count(u'\n'), 1) << program;
        EXPECT_TRUE(err.contains("display")) << err.toStdString();
    }
}

const std::string kKey = "HKEY_CURRENT_USER\\Software\\Karvo Test";

class BackupCommands : public WindowTest {
protected:
    void SetUp() override {
        reg.touch(kKey + "\\Alpha");
        reg.setSz(kKey, "Colour", "Blue");
        load();
    }
    void markTestKey() { clickNode(QString::fromStdString(kKey)); }
};

TEST_F(BackupCommands, BackUpThenRestoreThroughTheRegistryEditorAndReplaceOnlyOnYes) {
    markTestKey();
    press("cmdBackup");
    EXPECT_TRUE(messageMode());
    ASSERT_TRUE(editorsFinished());
    EXPECT_EQ(takeBoxes(boxes), Boxes{});
    EXPECT_EQ(text("lblMessage"), "Karvo_Test backup has been created");
    EXPECT_EQ(backups(), QStringList{"Karvo_Test_HKCU"});

    // Change the key behind the program's back, then restore the backup: the backup held it all,
    // also listed from a file whose name has a blank and an upper-case extension.
    reg.store().DeleteTree(karvo::reg::kHkeyCurrentUser, "Software\\Karvo Test\\Alpha");
    reg.setSz(kKey, "Colour", "Red");
    std::filesystem::rename(folder / "Karvo_Test_HKCU.reg", folder / "Karvo Test_HKCU.REG");
    load();
    markTestKey();
    QTreeWidgetItem* item = node(QString::fromStdString(kKey));
    EXPECT_EQ(item->childCount(), 0);
    clickBackup("Karvo Test_HKCU");
    press("cmdRestore");
    EXPECT_EQ(text("lblMessage"), "Restoring backup file Karvo Test_HKCU");
    ASSERT_TRUE(editorsFinished());
    EXPECT_EQ(takeBoxes(boxes), Boxes{});
    EXPECT_EQ(text("lblMessage"), "Karvo Test_HKCU has been restored");
    EXPECT_EQ(reg.data(kKey, "Colour"), wz("Blue"));
    EXPECT_TRUE(reg.exists(kKey + "\\Alpha"));
    // The selected key was read again once the import had finished.
    EXPECT_FALSE(messageMode());
    EXPECT_TRUE(RegistryTree::isMarked(item));
    ASSERT_EQ(item->childCount(), 1);
    EXPECT_EQ(item->child(0)->text(0), "Alpha");

    // Blanks become underscores, and an existing backup is replaced only on Yes.
    writeFile(folder / "my_backup_HKCU.reg", "old");
    typeName("my backup");
    boxes.answers = {vbNo};
    press("cmdBackup");
    EXPECT_EQ(takeBoxes(boxes), Boxes{box("Replace File?", vbYesNo | vbExclamation,
                                          "A backup by that name already exists     \r\n"
                                          "Are you sure you want to replace it?     ")});
    EXPECT_EQ(window->pendingEditorRuns(), 0);
    EXPECT_EQ(focusName(), "txtFilename");
    EXPECT_EQ(txtFilename()->selectedText(), "my_backup");
    EXPECT_EQ(readFile(folder / "my_backup_HKCU.reg"), "old");

    for (int round = 0; round < 2; ++round) {
        boxes.answers = {vbYes};
        press("cmdBackup");
        EXPECT_EQ(text("lblMessage"), "Creating backup file my_backup");
        ASSERT_TRUE(editorsFinished());
        EXPECT_EQ(text("lblMessage"), "my_backup backup has been created");
        EXPECT_EQ(takeBoxes(boxes).size(), 1u);  // the question only
    }
    EXPECT_NE(readFile(folder / "my_backup_HKCU.reg"), "old");
    EXPECT_EQ(backups(), (QStringList{"Karvo Test_HKCU", "my_backup_HKCU"}));  // listed once however often made
    clickBackup("Karvo Test_HKCU");
    press("cmdDelete");
    EXPECT_EQ(takeBoxes(boxes), Boxes{});
    EXPECT_EQ(backups(), QStringList{"my_backup_HKCU"});
}

TEST_F(BackupCommands, ARefillKeepsTheChosenBackupAndOnlyAChoiceFillsTheNameBox) {
    for (const char* name : {"a_HKCU.reg", "B_HKCU.reg", "c_HKCU.reg"})
        writeFile(folder / name, "x");
    load();
    markTestKey();
    // The list getting the focus from the "Nothing Selected" box chooses nothing.
    press("cmdRestore");
    EXPECT_EQ(focusName(), "lstBack");
    control("txtFilename")->setFocus();
    EXPECT_EQ(text("txtFilename"), "Karvo_Test");
    // With none chosen, or one, a backup that works or fails leaves the same one chosen, or none.
    for (const char* chosen : {"", "B_HKCU", "a_HKCU"}) {
        for (const bool keyThere : {true, false}) {
            if (*chosen)
                clickBackup(chosen);
            typeName(keyThere ? "new" : "gone");
            boxes.answers = {vbYes};
            if (!keyThere)
                reg.store().DeleteTree(karvo::reg::kHkeyCurrentUser, "Software\\Karvo Test");
            press("cmdBackup");
            ASSERT_TRUE(editorsFinished());
            boxes.shown.clear();
            QStringList now;
            for (const QListWidgetItem* i : lstBack()->selectedItems())
                now << i->text();
            EXPECT_EQ(now, *chosen ? QStringList{chosen} : QStringList{}) << chosen << keyThere;
            reg.setSz(kKey, "Colour", "Blue");
        }
    }
    EXPECT_EQ(backups(), (QStringList{"a_HKCU", "B_HKCU", "c_HKCU", "new_HKCU"}));
}

TEST_F(BackupCommands, KeyNamesWithQuotesReachTheEditorWhole) {
    // Each key has a sibling that a wrongly split command line would name instead.
    const QStringList names{"a\"b", "q\"uote", "\"lead", "end\"", "x \"y\" z"};
    for (const char* sibling : {"ab", "quote", "lead", "end", "x y z"})
        reg.touch(kKey + "\\" + sibling);
    for (const QString& name : names)
        reg.touch(kKey + "\\" + name.toStdString());
    load();
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString path = QString::fromStdString(kKey) + "\\" + names[i];
        clickNode(path);
        typeName(QString("k%1").arg(i));
        press("cmdBackup");
        ASSERT_TRUE(editorsFinished());
        EXPECT_EQ(takeBoxes(boxes), Boxes{});
        const std::string bytes = readFile(folder / QString("k%1_HKCU.reg").arg(i).toStdString());
        const QString exported = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data()),
                                                    static_cast<qsizetype>(bytes.size() / 2));
        EXPECT_EQ(exported.split("\r\n").value(2), "[" + path + "]");
    }
}

TEST_F(BackupCommands, NothingRunsWithoutAMarkedKeyAFitNameOrAChosenBackupAndDeleteRefillsTheList) {
    const auto info = vbOKOnly | vbInformation;
    const Boxes notSelected{box("Key Not Selected", info,
                                "Select a Key to backup by clicking it     \r\n"
                                "The Key to backup will have a red check mark     ")};
    press("cmdBackup");
    EXPECT_EQ(takeBoxes(boxes), notSelected);
    // A marked key that has been collapsed away is no longer marked.
    markTestKey();
    node("HKEY_CURRENT_USER\\Software")->setExpanded(false);
    menu("mnuEdit_0");
    EXPECT_EQ(takeBoxes(boxes), notSelected);

    markTestKey();
    for (const QString name : {"", "../evil", "a:b", "-s", "/s x", "x|y"}) {
        typeName(name);
        press("cmdBackup");
        const Boxes shown = takeBoxes(boxes);
        ASSERT_EQ(shown.size(), 1u) << name.toStdString();
        EXPECT_TRUE(shown[0].starts_with(box(name.isEmpty() ? "Select a Name" : "Invalid Name", info,
                                             name.isEmpty() ? "Please enter a name for the backup file     " : "")))
            << shown[0];
        EXPECT_EQ(window->pendingEditorRuns(), 0);
        EXPECT_EQ(focusName(), "txtFilename");
        EXPECT_EQ(text("txtFilename"), name);
    }

    // Restore and delete need a chosen backup.
    for (const char* name : {"two words_HKCU.reg", "a_HKCU.reg", "B_HKCU.reg", "c_HKCU.reg"})
        writeFile(folder / name, "x");
    load();
    for (const char* item : {"mnuEdit_2", "mnuEdit_4"}) {
        menu(item);
        EXPECT_EQ(takeBoxes(boxes), Boxes{box("Nothing Selected", info,
                                              QString("Please select a Backup to %1     ")
                                                  .arg(item == std::string("mnuEdit_2") ? "restore" : "delete"))});
        EXPECT_EQ(focusName(), "lstBack");
    }
    clickBackup("B_HKCU");
    txtFilename()->setText("kept");
    press("cmdDelete");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "B_HKCU.reg"));
    EXPECT_EQ(backups(), (QStringList{"a_HKCU", "c_HKCU", "two words_HKCU"}));
    EXPECT_TRUE(lstBack()->selectedItems().isEmpty());
    EXPECT_EQ(text("txtFilename"), "kept");

    // Moving through the list with the arrow keys fills the name box as a click does.
    clickBackup("a_HKCU");
    QTest::keyClick(lstBack(), Qt::Key_Down);
    EXPECT_EQ(text("txtFilename"), "c_HKCU");

    // A file that went away meanwhile is reported, and the list shows the folder as it is.
    std::filesystem::remove(folder / "c_HKCU.reg");
    menu("mnuEdit_4");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Karvo Backup");
    EXPECT_EQ(backups(), (QStringList{"a_HKCU", "two words_HKCU"}));
}

TEST_F(BackupCommands, FailuresOfTheEditorAreReportedNotCalledASuccessAndChangeNothing) {
    TempDir noEditor;
    for (bool editorThere : {true, false}) {  // the key gone before the export, or no editor to start
        ScopedEnv windows("KARVO_WINDIR", editorThere ? (binaryDir() / "windows").string() : noEditor.str());
        markTestKey();
        reg.store().DeleteTree(karvo::reg::kHkeyCurrentUser, "Software\\Karvo Test");
        press("cmdBackup");
        ASSERT_TRUE(editorsFinished());
        EXPECT_EQ(text("lblMessage"), "Backup file Karvo_Test could not be created");
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].caption, "Karvo Backup");
        EXPECT_EQ(boxes.shown[0].style, vbOKOnly);
        boxes.shown.clear();
        EXPECT_TRUE(backups().isEmpty());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        reg.setSz(kKey, "Colour", "Blue");
    }

    writeFile(folder / "Broken_HKCU.reg", "this is not a registry file\r\n");
    load();
    markTestKey();
    clickBackup("Broken_HKCU");
    press("cmdRestore");
    ASSERT_TRUE(editorsFinished());
    EXPECT_TRUE(messageMode());
    EXPECT_EQ(text("lblMessage"), "Backup file Broken_HKCU could not be restored");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Karvo Backup");
    EXPECT_EQ(reg.data(kKey, "Colour"), wz("Blue"));
}

}  // namespace
