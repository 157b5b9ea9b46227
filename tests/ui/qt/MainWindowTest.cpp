// The main window driven as a user would: its favourite keys, and backing up, restoring and deleting
// with the build's registry editor.
#include "WindowFixture.h"

#include "ui/qt/Pictures.h"
#include "ui/qt/ShexIt.h"

#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QScrollBar>

#include <filesystem>

using namespace karvo::platform;
using namespace karvo::test;

namespace {

using MainWindow = WindowTest;

TEST_F(MainWindow, StartUpInAFixedLayoutFromTheTablesWithBothListsFilled) {
    for (const char* name : {"Software_HKCU.reg", "Desktop_HKCU.reg", "notes.txt", ".Hidden_HKCU.reg"})
        writeFile(folder / name, "x");
    load();
    EXPECT_EQ(favourites(), QStringList{"Favorite Keys"});
    EXPECT_EQ(backups(), (QStringList{"Desktop_HKCU", "Software_HKCU"}));
    EXPECT_TRUE(lstBack()->selectedItems().isEmpty());
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

    for (const karvo::app::MenuItem& item : karvo::app::menus())  // the menus as the logic names them
        EXPECT_EQ(control<QAction>(item.name)->text(), std::string_view(item.text) == "-" ? "" : item.text);
    EXPECT_TRUE(control<QAction>("mnuEdit_1")->isSeparator());
    EXPECT_EQ(control<QMenu>("mnuEditTOP")->title(), "&Actions");

    EXPECT_EQ(tabWalk(12), (QStringList{"cmdDummy", "tvwReg", "Combo1", "cmdAdd", "cmdRemove", "txtFilename", "lstBack",
                                        "cmdBackup", "cmdRestore", "cmdDelete", "txtIndex", "txtRoot"}));
}

TEST_F(MainWindow, ClickingAKeyMarksItAndFillsTheFieldsAndRefreshReadsItAgain) {
    reg.touch("HKEY_CURRENT_USER\\Control Panel\\Desktop");
    reg.touch("HKEY_CURRENT_USER\\Software\\Old");
    reg.touch("HKEY_LOCAL_MACHINE\\SOFTWARE\\" + std::string(200, 'L'));
    load();
    clickNode("HKEY_CURRENT_USER");
    EXPECT_EQ(fields(), QStringList({"HKEY_CURRENT_USER", "HKEY_CURRENT_USER", "_HKCU", "HKEY_CURRENT_USER_HKCU.reg"}));

    QTreeWidgetItem* panel = node("HKEY_CURRENT_USER\\Control Panel");
    clickNode("HKEY_CURRENT_USER\\Control Panel");
    EXPECT_TRUE(marked(panel));
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

}

TEST_F(MainWindow, MenusOpenTheHelpAndWindowsAndExitClosesThemAll) {
    std::vector<std::string> opened;
    karvo::platform::setUrlOpener([&](const std::string& url) { return opened.push_back(url), true; });
    writeFile(folder / "Karvo.chm", "help");
    reg.touch("HKEY_CURRENT_USER\\Software\\Deep");
    load();

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
    EXPECT_FALSE(window->logic().tree().isEnumerated(window->nodeOf(hkcu)));
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

TEST_F(FavouritesCommands, ChoosingAFavouriteOrTheArrowsOpenTheTreeAndMarkTheKey) {
    const std::string file = "Favorite Keys\r\nHKEY_CURRENT_USER\\Control Panel\\Desktop\r\n"
                             "HKEY_CURRENT_USER\\control panel\r\nHKEY_CURRENT_USER\\Control Panel\\Gone\r\n";
    writeFile(folder / "Favs.tlv", file);
    load();
    EXPECT_FALSE(control<karvo::ui::ClickablePicture>("Image1")->pixmap().isNull());
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
    EXPECT_EQ(window->logic().tree().fullPath(window->nodeOf(desktop)), kDesktop.toStdString());
    EXPECT_TRUE(marked(desktop));
    EXPECT_TRUE(desktop->isSelected() && desktop->isExpanded() && desktop->parent()->isExpanded());
    EXPECT_EQ(fields(), desktopFields);

    // The arrows copy the marked key into the box, adding no favourite, and follow a path typed there.
    clickNode("HKEY_CURRENT_USER\\Software");
    press("Image2");
    EXPECT_EQ(Combo1()->currentText(), "HKEY_CURRENT_USER\\Software");
    EXPECT_EQ(Combo1()->count(), 4);
    EXPECT_EQ(readFile(folder / "Favs.tlv"), file);
    Combo1()->setEditText("HKEY_CURRENT_USER\\Control Panel");
    press("Image1");
    EXPECT_EQ(text("txtIndex"), "HKEY_CURRENT_USER\\Control Panel");
    EXPECT_TRUE(marked(tree()->currentItem()));
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
    EXPECT_TRUE(marked(item));
    ASSERT_EQ(item->childCount(), 1);
    EXPECT_EQ(item->child(0)->text(0), "Alpha");

    // Blanks become underscores, and an existing backup is replaced only on Yes.
    writeFile(folder / "my_backup_HKCU.reg", "old");
    typeName("my backup");
    boxes.answers = {vbNo};
    press("cmdBackup");
    EXPECT_EQ(takeBoxes(boxes).size(), 1u);
    EXPECT_EQ(focusName(), "txtFilename");
    EXPECT_EQ(txtFilename()->selectedText(), "my_backup");
    boxes.answers = {vbYes};
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    EXPECT_EQ(takeBoxes(boxes).size(), 1u);  // the question only
    EXPECT_NE(readFile(folder / "my_backup_HKCU.reg"), "old");
    EXPECT_EQ(backups(), (QStringList{"Karvo Test_HKCU", "my_backup_HKCU"}));  // listed once however often made
    clickBackup("Karvo Test_HKCU");
    press("cmdDelete");
    EXPECT_EQ(takeBoxes(boxes), Boxes{});
    EXPECT_EQ(backups(), QStringList{"my_backup_HKCU"});
}

TEST_F(BackupCommands, RestoreExactlyMakesTheKeyTheBackupAndUndoBringsTheChangesBack) {
    reg.setSz(kKey, "Shape", "Round");
    markTestKey();
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    const auto state = [&] {
        return reg.data(kKey, "Colour") + "|" + reg.data(kKey, "Added") + "|" + reg.data(kKey, "Shape");
    };
    const std::string backedUp = state();
    reg.setSz(kKey, "Colour", "Red");
    reg.setSz(kKey, "Added", "New");
    ASSERT_EQ(karvo::reg::kErrorSuccess, reg.store().RegDeleteValueA(reg.open(kKey, true), "Shape"));
    const std::string changed = state();
    clickBackup("Karvo_Test_HKCU");
    // The comparison sees exactly the three changes, in a window of its own that Exit closes too.
    menu("mnuEdit_6");
    EXPECT_EQ(comparedCounts(), "1 value changed, 1 only in the backup, 1 only in the registry; 0 keys only in the backup, 0 only in "
              "the registry");
    EXPECT_EQ(restoreExactlyThenUndo(state), (std::vector<std::string>{backedUp, changed}));
    const Boxes shown = takeBoxes(boxes);
    ASSERT_EQ(shown.size(), 2u);  // the two questions, no failure
    EXPECT_NE(shown[0].find("Restore Karvo_Test_HKCU exactly?"), std::string::npos) << shown[0];
    EXPECT_TRUE(text("lblMessage").endsWith(" Karvo_Test_HKCU has been restored"));  // a safety backup's name
    menu("mnuFile_2");
    EXPECT_EQ(comparedCounts(), "");
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
    // A backup refills the list with the same one chosen (which one is the logic's choice).
    clickBackup("B_HKCU");
    typeName("new");
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    ASSERT_EQ(lstBack()->selectedItems().size(), 1);
    EXPECT_EQ(lstBack()->selectedItems()[0]->text(), "B_HKCU");
    EXPECT_EQ(backups(), (QStringList{"a_HKCU", "B_HKCU", "c_HKCU", "new_HKCU"}));
}

}  // namespace
