#include "WindowFixture.h"

#include "tree/RegistryTree.h"

#include <QAction>
#include <QApplication>

#include <filesystem>

using namespace karvo;
using karvo::platform::vbExclamation;
using karvo::platform::vbInformation;
using karvo::platform::vbNo;
using karvo::platform::vbOKOnly;
using karvo::platform::vbYes;
using karvo::tree::RegistryTree;

namespace {

// UTF-16LE bytes (after the BOM) as text.
QString utf16File(const std::filesystem::path& file) {
    const std::string bytes = test::readFile(file);
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF || static_cast<unsigned char>(bytes[1]) != 0xFE)
        return {};
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data() + 2),
                              static_cast<qsizetype>((bytes.size() - 2) / 2));
}

class BackupCommands : public test::WindowTest {
protected:
    void SetUp() override {
        test::createKey(*store, reg::kHkeyCurrentUser, "Software\\Karvo Test\\Alpha");
        test::setText(*store, reg::kHkeyCurrentUser, "Software\\Karvo Test", "Colour", "Blue");
        load();
    }
    void markTestKey() {
        QTreeWidgetItem* item = node("HKEY_CURRENT_USER\\Software\\Karvo Test");
        ASSERT_TRUE(item);
        clickNode(item);
    }
};

TEST_F(BackupCommands, BackUpThenRestoreThroughTheRegistryEditor) {
    markTestKey();
    EXPECT_EQ(txtFilename()->text(), "Karvo_Test");
    press("cmdBackup");
    EXPECT_TRUE(messageMode());
    ASSERT_TRUE(editorsFinished());
    EXPECT_TRUE(boxes.shown.empty()) << lastBoxCaption().toStdString();
    EXPECT_EQ(lblMessage()->text(), "Karvo_Test backup has been created");
    EXPECT_EQ(backups(), QStringList{"Karvo_Test_HKCU"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    const QString text = utf16File(folder / "Karvo_Test_HKCU.reg");
    EXPECT_TRUE(text.startsWith("Windows Registry Editor Version 5.00\r\n")) << text.left(60).toStdString();
    EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Software\\Karvo Test]\r\n\"Colour\"=\"Blue\"\r\n"));
    EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Software\\Karvo Test\\Alpha]"));

    // Change the key behind the program's back, then restore the backup.
    store->DeleteTree(reg::kHkeyCurrentUser, "Software\\Karvo Test\\Alpha");
    test::setText(*store, reg::kHkeyCurrentUser, "Software\\Karvo Test", "Colour", "Red");
    QTreeWidgetItem* item = node("HKEY_CURRENT_USER\\Software\\Karvo Test");
    control<QAction>("mnuView_2")->trigger();
    EXPECT_EQ(item->childCount(), 0);

    clickBackup("Karvo_Test_HKCU");
    EXPECT_EQ(txtFilename()->text(), "Karvo_Test_HKCU");
    press("cmdRestore");
    EXPECT_EQ(lblMessage()->text(), "Restoring backup file Karvo_Test_HKCU");
    ASSERT_TRUE(editorsFinished());
    EXPECT_TRUE(boxes.shown.empty()) << lastBoxCaption().toStdString();
    EXPECT_EQ(test::getText(*store, reg::kHkeyCurrentUser, "Software\\Karvo Test", "Colour"), "Blue");
    EXPECT_NE(test::getText(*store, reg::kHkeyCurrentUser, "Software\\Karvo Test\\Alpha", ""), "<no key>");
    // The selected key was read again once the import had finished.
    EXPECT_FALSE(messageMode());
    EXPECT_TRUE(RegistryTree::isMarked(item));
    ASSERT_EQ(item->childCount(), 1);
    EXPECT_EQ(item->child(0)->text(0), "Alpha");
}

TEST_F(BackupCommands, NothingRunsWithoutAMarkedKeyOrAName) {
    const QString notSelected = "Select a Key to backup by clicking it     \r\nThe Key to backup will have a red check mark     ";
    press("cmdBackup");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, notSelected);
    EXPECT_EQ(boxes.shown[0].caption, "Key Not Selected");
    EXPECT_EQ(boxes.shown[0].style, vbOKOnly | vbInformation);

    // A marked key that has been collapsed away is no longer marked.
    QTreeWidgetItem* sw = node("HKEY_CURRENT_USER\\Software");
    markTestKey();
    sw->setExpanded(false);
    control<QAction>("mnuEdit_0")->trigger();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].caption, "Key Not Selected");

    markTestKey();
    typeName("");
    press("cmdBackup");
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[2].text, "Please enter a name for the backup file     ");
    EXPECT_EQ(boxes.shown[2].caption, "Select a Name");
    EXPECT_TRUE(txtFilename()->hasFocus());
    EXPECT_EQ(window->pendingEditorRuns(), 0);
    EXPECT_FALSE(messageMode());
}

TEST_F(BackupCommands, NamesThatWouldMisleadTheEditorAreRefused) {
    markTestKey();
    for (const QString& bad : {QString("../evil"), QString("a:b"), QString("-s"), QString("/s x"), QString("x|y")}) {
        boxes.shown.clear();
        typeName(bad);
        press("cmdBackup");
        ASSERT_EQ(boxes.shown.size(), 1u) << bad.toStdString();
        EXPECT_EQ(boxes.shown[0].caption, "Invalid Name");
        EXPECT_EQ(boxes.shown[0].style, vbOKOnly | vbInformation);
        EXPECT_EQ(txtFilename()->text(), bad);
        EXPECT_EQ(window->pendingEditorRuns(), 0);
    }
    EXPECT_FALSE(messageMode());

    // Blanks are fine: they become "_" on both the check and the export.
    boxes.shown.clear();
    typeName("my backup");
    press("cmdBackup");
    EXPECT_EQ(txtFilename()->text(), "my_backup");
    EXPECT_EQ(lblMessage()->text(), "Creating backup file my_backup");
    ASSERT_TRUE(editorsFinished());
    EXPECT_EQ(lblMessage()->text(), "my_backup backup has been created");
    EXPECT_TRUE(std::filesystem::exists(folder / "my_backup_HKCU.reg"));
}

TEST_F(BackupCommands, AnExistingBackupIsReplacedOnlyWhenTheUserAgrees) {
    test::writeFile(folder / "Karvo_Test_HKCU.reg", "old");
    markTestKey();
    boxes.answers = {vbNo};
    press("cmdBackup");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "A backup by that name already exists     \r\nAre you sure you want to replace it?     ");
    EXPECT_EQ(boxes.shown[0].caption, "Replace File?");
    EXPECT_EQ(boxes.shown[0].style, platform::vbYesNo | vbExclamation);
    EXPECT_EQ(window->pendingEditorRuns(), 0);
    EXPECT_TRUE(txtFilename()->hasFocus());
    EXPECT_EQ(txtFilename()->selectedText(), "Karvo_Test");
    EXPECT_EQ(test::readFile(folder / "Karvo_Test_HKCU.reg"), "old");

    boxes.answers = {vbYes};
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    EXPECT_NE(test::readFile(folder / "Karvo_Test_HKCU.reg"), "old");
    // Listed once, however often it is backed up.
    boxes.answers = {vbYes};
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    EXPECT_EQ(backups(), QStringList{"Karvo_Test_HKCU"});
}

TEST_F(BackupCommands, AFailedExportIsReportedNotCalledASuccess) {
    markTestKey();
    store->DeleteTree(reg::kHkeyCurrentUser, "Software\\Karvo Test");
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    EXPECT_FALSE(lblMessage()->text().contains("has been created"));
    EXPECT_TRUE(lblMessage()->text().contains("Karvo_Test"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Karvo Backup");
    EXPECT_EQ(boxes.shown[0].style, vbOKOnly);
    EXPECT_TRUE(backups().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(BackupCommands, AnEditorThatCannotBeStartedIsReported) {
    test::TempDir emptyWindows;
    test::ScopedEnv noEditor("KARVO_WINDIR", emptyWindows.str());
    markTestKey();
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    EXPECT_FALSE(lblMessage()->text().contains("has been created"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Karvo Backup");
}

TEST_F(BackupCommands, RestoreAndDeleteNeedASelectedBackup) {
    test::writeFile(folder / "Some_HKCU.reg", "x");
    window.reset();
    load();
    for (const char* item : {"mnuEdit_2", "mnuEdit_4"}) {
        boxes.shown.clear();
        control<QAction>(item)->trigger();
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].caption, "Nothing Selected");
        EXPECT_EQ(boxes.shown[0].style, vbOKOnly | vbInformation);
        EXPECT_TRUE(lstBack()->hasFocus());
    }
    EXPECT_EQ(boxes.shown[0].text, "Please select a Backup to delete     ");
    EXPECT_EQ(window->pendingEditorRuns(), 0);
    EXPECT_TRUE(std::filesystem::exists(folder / "Some_HKCU.reg"));
}

TEST_F(BackupCommands, AFailedImportChangesNothingAndSaysWhy) {
    test::writeFile(folder / "Broken_HKCU.reg", "this is not a registry file\r\n");
    window.reset();
    load();
    markTestKey();
    clickBackup("Broken_HKCU");
    press("cmdRestore");
    ASSERT_TRUE(editorsFinished());
    EXPECT_TRUE(messageMode());
    EXPECT_FALSE(lblMessage()->text().contains("has been restored"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Karvo Backup");
    EXPECT_EQ(test::getText(*store, reg::kHkeyCurrentUser, "Software\\Karvo Test", "Colour"), "Blue");
}

TEST_F(BackupCommands, DeleteRemovesTheFileAndRefillsTheList) {
    for (const char* name : {"a_HKCU.reg", "B_HKCU.reg", "c_HKCU.reg"})
        test::writeFile(folder / name, "x");
    window.reset();
    load();
    clickBackup("B_HKCU");
    txtFilename()->setText("kept");
    press("cmdDelete");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "B_HKCU.reg"));
    EXPECT_EQ(backups(), (QStringList{"a_HKCU", "c_HKCU"}));
    EXPECT_TRUE(lstBack()->selectedItems().isEmpty());
    EXPECT_EQ(txtFilename()->text(), "kept");

    // Moving through the list with the arrow keys fills the name box as a click does.
    clickBackup("a_HKCU");
    QTest::keyClick(lstBack(), Qt::Key_Down);
    EXPECT_EQ(txtFilename()->text(), "c_HKCU");

    // A file that went away meanwhile is reported, and the list shows the folder as it is.
    clickBackup("c_HKCU");
    std::filesystem::remove(folder / "c_HKCU.reg");
    control<QAction>("mnuEdit_4")->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Karvo Backup");
    EXPECT_EQ(backups(), QStringList{"a_HKCU"});
}

}  // namespace
