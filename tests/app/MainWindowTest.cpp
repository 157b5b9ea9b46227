#include "WindowFixture.h"

#include "tree/RegistryTree.h"

#include <QAction>
#include <QMenu>
#include <QProcess>
#include <QProcessEnvironment>

using namespace karvo;
using karvo::tree::RegistryTree;

namespace {

class MainWindow : public test::WindowTest {};

TEST_F(MainWindow, FirstStartCreatesTheFavouritesFileAndListsTheBackups) {
    for (const char* name : {"Software_HKCU.reg", "Desktop_HKCU.reg", "notes.txt", ".Hidden_HKCU.reg"})
        test::writeFile(folder / name, "x");
    load();
    EXPECT_EQ(test::readFile(folder / "Favs.tlv"), "Favorite Keys\r\n");
    ASSERT_EQ(Combo1()->count(), 1);
    EXPECT_EQ(Combo1()->currentIndex(), 0);
    EXPECT_EQ(Combo1()->currentText(), "Favorite Keys");
    EXPECT_EQ(backups(), (QStringList{"Desktop_HKCU", "Software_HKCU"}));
    EXPECT_TRUE(lstBack()->selectedItems().isEmpty());
    EXPECT_EQ(tree()->topLevelItemCount(), 6);
    EXPECT_EQ(txtIndex()->text(), "Select a Key to Backup, Restore or Add to Favorites");
    EXPECT_FALSE(messageMode());
    EXPECT_TRUE(control<QPushButton>("cmdDummy")->hasFocus());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindow, ExistingFavouritesAreLoadedCleanedAndKept) {
    test::writeFile(folder / "Favs.tlv", "Favorite Keys\r\nA\r\n\r\nA\r\nB\r\n");
    load();
    ASSERT_EQ(Combo1()->count(), 3);
    EXPECT_EQ(Combo1()->itemText(1), "A");
    EXPECT_EQ(Combo1()->itemText(2), "B");
    // Loading never rewrites the file.
    EXPECT_EQ(test::readFile(folder / "Favs.tlv"), "Favorite Keys\r\nA\r\n\r\nA\r\nB\r\n");
}

TEST_F(MainWindow, FixedLayoutMenusAndTabOrder) {
    load();
    const double dpiX = window->logicalDpiX();
    const double dpiY = window->logicalDpiY();
    auto px = [](int twips, double dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); };
    EXPECT_EQ(window->centralWidget()->size(), QSize(px(7590, dpiX), px(5295, dpiY)));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->windowTitle(), "Tolvane Karvo Backup");
    EXPECT_EQ(control<QPushButton>("cmdBackup")->geometry(),
              QRect(px(1050, dpiX), px(4460, dpiY), px(1695, dpiX), px(350, dpiY)));
    EXPECT_EQ(txtIndex()->geometry(), QRect(px(75, dpiX), px(4920, dpiY), px(7460, dpiX), px(285, dpiY)));
    // The etched rule: grey line at 120 twips, white one at 135.
    EXPECT_EQ(control<QWidget>("Line1")->y(), px(120, dpiY));
    EXPECT_EQ(control<QWidget>("Line2")->y(), px(135, dpiY));
    EXPECT_EQ(control<QPushButton>("cmdAdd")->toolTip(), "Add selected Key to Favorites");
    EXPECT_EQ(control<QPushButton>("cmdRemove")->toolTip(), "Remove selected from Favorites");
    EXPECT_EQ(txtFilename()->toolTip(), "Backup Filename");
    // The working fields lie below the visible client area.
    for (const char* hidden : {"txtRoot", "cmdDummy", "Label1"})
        EXPECT_GT(control<QWidget>(hidden)->y(), window->centralWidget()->height()) << hidden;

    const std::pair<const char*, const char*> items[] = {
        {"mnuFile_2", "E&xit"},           {"mnuEdit_0", "&Backup Selected"}, {"mnuEdit_2", "&Restore Selected"},
        {"mnuEdit_4", "&Delete Selected"}, {"mnuView_0", "Registry &Editor"}, {"mnuView_2", "&Refresh"},
        {"mnuHelp_0", "&Contents"},        {"mnuHelp_2", "&Tell a Friend"},   {"mnuHelp_4", "&About"}};
    for (const auto& [name, caption] : items)
        EXPECT_EQ(control<QAction>(name)->text(), caption);
    EXPECT_TRUE(control<QAction>("mnuEdit_1")->isSeparator());
    EXPECT_EQ(control<QMenu>("mnuEditTOP")->title(), "&Actions");

    QStringList order;
    QWidget* w = control<QWidget>("cmdDummy");
    for (int i = 0; i < 12; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
            w = w->nextInFocusChain();
        order.append(w->objectName());
    }
    EXPECT_EQ(order, (QStringList{"cmdDummy", "tvwReg", "Combo1", "cmdAdd", "cmdRemove", "txtFilename", "lstBack",
                                  "cmdBackup", "cmdRestore", "cmdDelete", "txtIndex", "txtRoot"}));
}

TEST_F(MainWindow, ClickingAKeyMarksItAndFillsTheFields) {
    test::createKey(*store, reg::kHkeyCurrentUser, "Control Panel\\Desktop");
    test::createKey(*store, reg::kHkeyLocalMachine, "SOFTWARE");
    load();
    QTreeWidgetItem* hkcu = node("HKEY_CURRENT_USER");
    clickNode(hkcu);
    EXPECT_EQ(txtIndex()->text(), "HKEY_CURRENT_USER");
    EXPECT_EQ(txtFilename()->text(), "HKEY_CURRENT_USER");
    EXPECT_EQ(txtRoot()->text(), "_HKCU");
    EXPECT_EQ(Label1()->text(), "HKEY_CURRENT_USER_HKCU.reg");

    QTreeWidgetItem* panel = node("HKEY_CURRENT_USER\\Control Panel");
    ASSERT_TRUE(panel);
    clickNode(panel);
    EXPECT_TRUE(RegistryTree::isMarked(panel));
    EXPECT_EQ(tree()->currentItem(), panel);
    EXPECT_EQ(txtIndex()->text(), "HKEY_CURRENT_USER\\Control Panel");
    EXPECT_EQ(txtFilename()->text(), "Control_Panel");
    EXPECT_EQ(Label1()->text(), "Control_Panel_HKCU.reg");
    // Read, but still shown closed; opening it later does not read again.
    EXPECT_FALSE(panel->isExpanded());
    EXPECT_EQ(panel->child(0)->text(0), "Desktop");
    const int reads = window->registryTree().enumerations();
    panel->setExpanded(true);
    EXPECT_EQ(window->registryTree().enumerations(), reads);

    // Typing recomputes the default file name with the marked key's short name.
    clickNode(node("HKEY_LOCAL_MACHINE\\SOFTWARE"));
    typeName("mine");
    EXPECT_EQ(Label1()->text(), "mine_HKLM.reg");
    typeName("");
    EXPECT_EQ(Label1()->text(), "_HKLM.reg");
}

TEST_F(MainWindow, PressingTheStatusLineParksTheFocus) {
    load();
    txtFilename()->setFocus();
    QTest::mouseClick(txtIndex(), Qt::LeftButton);
    EXPECT_TRUE(control<QPushButton>("cmdDummy")->hasFocus());
    EXPECT_FALSE(txtIndex()->hasFocus());
    // A double click neither takes the focus nor selects a word of the status line.
    txtFilename()->setFocus();
    QTest::mouseDClick(txtIndex(), Qt::LeftButton);
    EXPECT_TRUE(control<QPushButton>("cmdDummy")->hasFocus());
    EXPECT_FALSE(txtIndex()->hasSelectedText());
}

TEST_F(MainWindow, RefreshRereadsTheSelectedKeyAndKeepsItsState) {
    test::createKey(*store, reg::kHkeyCurrentUser, "Software\\Old");
    load();
    control<QAction>("mnuView_2")->trigger();  // nothing selected: nothing happens
    EXPECT_EQ(window->registryTree().enumerations(), 0);

    QTreeWidgetItem* sw = node("HKEY_CURRENT_USER\\Software");
    clickNode(sw);
    sw->setExpanded(true);
    node("HKEY_CURRENT_USER\\Software\\Old")->setExpanded(true);
    test::createKey(*store, reg::kHkeyCurrentUser, "Software\\New");
    control<QAction>("mnuView_2")->trigger();
    EXPECT_TRUE(sw->isExpanded());
    EXPECT_TRUE(RegistryTree::isMarked(sw));
    EXPECT_EQ(tree()->currentItem(), sw);
    ASSERT_EQ(sw->childCount(), 2);
    EXPECT_EQ(sw->child(0)->text(0), "New");
    EXPECT_FALSE(sw->child(1)->isExpanded());

    // A key read while shown closed is read afresh too, and stays closed.
    sw->setExpanded(false);
    clickNode(sw);
    test::createKey(*store, reg::kHkeyCurrentUser, "Software\\Newer");
    control<QAction>("mnuView_2")->trigger();
    EXPECT_FALSE(sw->isExpanded());
    EXPECT_EQ(sw->childCount(), 3);
}

TEST_F(MainWindow, ExitDiscardsTheOpenBranchAndEndsTheProgram) {
    test::createKey(*store, reg::kHkeyCurrentUser, "Software\\Deep");
    load();
    bool unloaded = false;
    QObject::connect(window.get(), &frmRegEdit::unloaded, [&] { unloaded = true; });
    QTreeWidgetItem* hkcu = node("HKEY_CURRENT_USER");
    clickNode(node("HKEY_CURRENT_USER\\Software\\Deep"));
    control<QAction>("mnuFile_2")->trigger();
    EXPECT_TRUE(unloaded);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(hkcu->childCount(), 0);
    EXPECT_FALSE(RegistryTree::isEnumerated(hkcu));
}

TEST(Program, WithoutADisplayItSaysSoAndExitsWithStatusOne) {
    QProcess karvo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    karvo.setProcessEnvironment(env);
    karvo.start(QString::fromStdString((test::binaryDir() / "karvo").string()), {});
    ASSERT_TRUE(karvo.waitForFinished(30000));
    EXPECT_EQ(karvo.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(karvo.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(karvo.readAllStandardError());
    EXPECT_EQ(err.count(u'\n'), 1);
    EXPECT_TRUE(err.contains("display")) << err.toStdString();
}

}  // namespace
