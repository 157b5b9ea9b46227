// Backing up, restoring and deleting from the main window, with the build's registry editor.
#include "WindowFixture.h"

#include <QApplication>

#include <filesystem>

using namespace karvo::test;
using namespace karvo::platform;

namespace {

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

TEST_F(BackupCommands, BackUpThenRestoreThroughTheRegistryEditor) {
    markTestKey();
    press("cmdBackup");
    EXPECT_TRUE(messageMode());
    ASSERT_TRUE(editorsFinished());
    EXPECT_EQ(takeBoxes(boxes), Boxes{});
    EXPECT_EQ(text("lblMessage"), "Karvo_Test backup has been created");
    EXPECT_EQ(backups(), QStringList{"Karvo_Test_HKCU"});

    // Change the key behind the program's back, then restore the backup: the backup held it all.
    reg.store().DeleteTree(karvo::reg::kHkeyCurrentUser, "Software\\Karvo Test\\Alpha");
    reg.setSz(kKey, "Colour", "Red");
    QTreeWidgetItem* item = node(QString::fromStdString(kKey));
    menu("mnuView_2");
    EXPECT_EQ(item->childCount(), 0);
    clickBackup("Karvo_Test_HKCU");
    press("cmdRestore");
    EXPECT_EQ(text("lblMessage"), "Restoring backup file Karvo_Test_HKCU");
    ASSERT_TRUE(editorsFinished());
    EXPECT_EQ(takeBoxes(boxes), Boxes{});
    EXPECT_EQ(text("lblMessage"), "Karvo_Test_HKCU has been restored");
    EXPECT_EQ(reg.data(kKey, "Colour"), wz("Blue"));
    EXPECT_TRUE(reg.exists(kKey + "\\Alpha"));
    // The selected key was read again once the import had finished.
    EXPECT_FALSE(messageMode());
    EXPECT_TRUE(RegistryTree::isMarked(item));
    ASSERT_EQ(item->childCount(), 1);
    EXPECT_EQ(item->child(0)->text(0), "Alpha");
}

TEST_F(BackupCommands, NothingRunsWithoutAMarkedKeyAFitNameOrAChosenBackup) {
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

    // Restore and delete need a chosen backup; restore also one it can name on the command line.
    writeFile(folder / "two words_HKCU.reg", "x");
    load();
    for (const char* item : {"mnuEdit_2", "mnuEdit_4"}) {
        menu(item);
        EXPECT_EQ(takeBoxes(boxes), Boxes{box("Nothing Selected", info,
                                              QString("Please select a Backup to %1     ")
                                                  .arg(item == std::string("mnuEdit_2") ? "restore" : "delete"))});
        EXPECT_EQ(focusName(), "lstBack");
    }
    clickBackup("two words_HKCU");
    press("cmdRestore");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Invalid Name");
    EXPECT_EQ(window->pendingEditorRuns(), 0);
    EXPECT_FALSE(messageMode());
    EXPECT_TRUE(std::filesystem::exists(folder / "two words_HKCU.reg"));
}

TEST_F(BackupCommands, BlanksBecomeUnderscoresAndAnExistingBackupIsReplacedOnlyOnYes) {
    writeFile(folder / "my_backup_HKCU.reg", "old");
    markTestKey();
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
    EXPECT_EQ(backups(), QStringList{"my_backup_HKCU"});  // listed once, however often backed up
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

TEST_F(BackupCommands, DeleteRemovesTheFileAndRefillsTheList) {
    for (const char* name : {"a_HKCU.reg", "B_HKCU.reg", "c_HKCU.reg"})
        writeFile(folder / name, "x");
    load();
    clickBackup("B_HKCU");
    txtFilename()->setText("kept");
    press("cmdDelete");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "B_HKCU.reg"));
    EXPECT_EQ(backups(), (QStringList{"a_HKCU", "c_HKCU"}));
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
    EXPECT_EQ(backups(), QStringList{"a_HKCU"});
}

}  // namespace
