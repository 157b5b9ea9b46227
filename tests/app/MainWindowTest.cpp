// The main window and its favourite keys, driven as a user would.
#include "WindowFixture.h"

#include "app/Pictures.h"
#include "platform/ShexIt.h"

#include <QMenu>
#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>

using namespace karvo::test;

namespace {

using MainWindow = WindowTest;

TEST_F(MainWindow, StartUpListsTheBackupsAndLoadsTheFavouritesCleanedNeverRewritten) {
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

    writeFile(folder / "Favs.tlv", "Favorite Keys\r\nA\r\n\r\nA\r\nB\r\n");
    load();
    EXPECT_EQ(favourites(), (QStringList{"Favorite Keys", "A", "B"}));
    EXPECT_EQ(readFile(folder / "Favs.tlv"), "Favorite Keys\r\nA\r\n\r\nA\r\nB\r\n");
}

TEST_F(MainWindow, FixedLayoutMenusAndTabOrder) {
    load();
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
}

TEST_F(MainWindow, ClickingAKeyMarksItAndFillsTheFields) {
    reg.touch("HKEY_CURRENT_USER\\Control Panel\\Desktop");
    reg.touch("HKEY_LOCAL_MACHINE\\SOFTWARE");
    load();
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

    // A press on the status line, double or single, parks the focus and selects nothing.
    for (bool twice : {false, true}) {
        control("txtFilename")->setFocus();
        twice ? QTest::mouseDClick(control("txtIndex"), Qt::LeftButton)
              : QTest::mouseClick(control("txtIndex"), Qt::LeftButton);
        EXPECT_EQ(focusName(), "cmdDummy");
        EXPECT_FALSE(control<QLineEdit>("txtIndex")->hasSelectedText());
    }
}

TEST_F(MainWindow, RefreshRereadsTheSelectedKeyAndKeepsItsState) {
    reg.touch("HKEY_CURRENT_USER\\Software\\Old");
    load();
    menu("mnuView_2");  // nothing selected: nothing happens
    EXPECT_EQ(window->registryTree().enumerations(), 0);

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

TEST_F(FavouritesCommands, ChoosingAFavouriteOpensTheTreeAndMarksTheKey) {
    writeFile(folder / "Favs.tlv", "Favorite Keys\r\nHKEY_CURRENT_USER\\Control Panel\\Desktop\r\n"
                                   "HKEY_CURRENT_USER\\control panel\r\nHKEY_CURRENT_USER\\Control Panel\\Gone\r\n");
    load();
    // Typing a favourite's path and pressing Return is no choice: nothing opens.
    Combo1()->setEditText(kDesktop);
    QTest::keyClick(Combo1()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(text("txtIndex"), "Select a Key to Backup, Restore or Add to Favorites");

    const QStringList desktopFields{kDesktop, "Desktop", "_HKCU", "Desktop_HKCU.reg"};
    choose(1);
    QTreeWidgetItem* desktop = tree()->currentItem();
    ASSERT_TRUE(desktop);
    EXPECT_EQ(RegistryTree::fullPath(desktop), kDesktop);
    EXPECT_TRUE(RegistryTree::isMarked(desktop));
    EXPECT_TRUE(desktop->isSelected() && desktop->isExpanded() && desktop->parent()->isExpanded());
    EXPECT_EQ(fields(), desktopFields);

    // A spelling that differs in letter case, or a missing key, stops short and marks nothing new.
    for (int index : {2, 3}) {
        choose(index);
        EXPECT_EQ(fields(), desktopFields);
        EXPECT_FALSE(RegistryTree::isMarked(tree()->currentItem()));
    }
    EXPECT_EQ(RegistryTree::fullPath(tree()->currentItem()), "HKEY_CURRENT_USER\\Control Panel");

    // The heading only tidies the name box.
    txtFilename()->setText("two words");
    choose(0);
    EXPECT_EQ(fields(), QStringList({kDesktop, "two_words", "_HKCU", "two_words_HKCU.reg"}));
}

TEST_F(FavouritesCommands, TheArrowsCopyAndFollowTheMarkedKey) {
    load();
    EXPECT_FALSE(control<karvo::app::ClickablePicture>("Image1")->pixmap().isNull());
    press("Image2");  // nothing clicked yet
    EXPECT_EQ(Combo1()->currentText(), "Favorite Keys");

    clickNode("HKEY_CURRENT_USER\\Software");
    press("Image2");
    EXPECT_EQ(Combo1()->currentText(), "HKEY_CURRENT_USER\\Software");
    EXPECT_EQ(Combo1()->count(), 1);
    EXPECT_EQ(readFile(folder / "Favs.tlv"), "Favorite Keys\r\n");

    Combo1()->setEditText("HKEY_CURRENT_USER\\Control Panel");
    press("Image1");
    EXPECT_EQ(text("txtIndex"), "HKEY_CURRENT_USER\\Control Panel");
    EXPECT_TRUE(RegistryTree::isMarked(tree()->currentItem()));
    EXPECT_EQ(text("txtFilename"), "Control_Panel");
}

TEST(Program, WithoutADisplayItSaysSoAndExitsWithStatusOne) {
    QProcess karvo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    karvo.setProcessEnvironment(env);
    karvo.start(QString::fromStdString((binaryDir() / "karvo").string()), {});
    ASSERT_TRUE(karvo.waitForFinished(30000));
    EXPECT_EQ(karvo.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(karvo.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(karvo.readAllStandardError());
    EXPECT_EQ(err.count(u'\n'), 1);
    EXPECT_TRUE(err.contains("display")) << err.toStdString();
}

}  // namespace
