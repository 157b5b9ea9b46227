#include "backup/BackupList.h"
#include "backup/Backups.h"

#include "TestSupport.h"

#include <QDir>
#include <QScrollBar>

#include <filesystem>

#include <gtest/gtest.h>

using namespace karvo;
using namespace karvo::backup;

namespace {

QString q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

TEST(BackupFolder, ListsRegFilesOfAnyCaseButNotHiddenOnesOrFolders) {
    test::TempDir dir;
    for (const char* name : {"Software_HKCU.reg", "Desktop_HKCU.reg", "notes.txt", "old.reg.reg", "Run_HKLM.REG",
                             ".Hidden_HKCU.reg", "reg", "x.regx"})
        test::writeFile(dir / name, "x");
    std::filesystem::create_directory(dir / "Folder.reg");

    BackupListBox list;
    FillBackupList(&list, q(dir.path()) + "/");
    EXPECT_EQ(list.names(), (QStringList{"Desktop_HKCU", "old.reg", "Run_HKLM", "Software_HKCU"}));

    // Filling again does not empty the list first.
    FillBackupList(&list, q(dir.path()));
    EXPECT_EQ(list.count(), 8);

    EXPECT_TRUE(backupNames(q(dir / "missing")).isEmpty());
}

TEST(BackupFolder, FileExistSeesHiddenFilesButNotFolders) {
    test::TempDir dir;
    test::writeFile(dir / ".Hidden_HKCU.reg", "x");
    std::filesystem::create_directory(dir / "Folder.reg");
    EXPECT_TRUE(FileExist(q(dir / ".Hidden_HKCU.reg")));
    EXPECT_FALSE(FileExist(q(dir / "Folder.reg")));
    EXPECT_FALSE(FileExist(q(dir / "nothing.reg")));
    EXPECT_FALSE(FileExist(""));

    // A bare name is looked up in the working directory.
    const QString old = QDir::currentPath();
    QDir::setCurrent(q(dir.path()));
    EXPECT_TRUE(FileExist(".Hidden_HKCU.reg"));
    QDir::setCurrent(old);
}

TEST(BackupNames, RefusesWhatWouldBreakTheCommandLineOrLeaveTheFolder) {
    for (const QString& bad : {QString("a/b"), QString("a\\b"), QString("c:x"), QString("what?"), QString("st*r"),
                               QString("say\"hi"), QString("<in"), QString("out>"), QString("p|q"),
                               QString("tab\there"), QString("nl\nx"), QString("-e"), QString("/s"),
                               QString("..\\up")}) {
        const auto refusal = checkBackupName(bad);
        ASSERT_TRUE(refusal) << bad.toStdString();
        EXPECT_EQ(refusal->caption, "Invalid Name");
        EXPECT_TRUE(refusal->text.endsWith("     "));
    }
    for (const QString& good : {QString("my backup"), QString("a-b"), QString("Ünïcode.1"),
                                QString("_-"), QString("a,b;c")}) {
        EXPECT_FALSE(checkBackupName(good)) << good.toStdString();
    }
    // A listed backup is imported by its bare name, so blanks cannot pass there.
    EXPECT_TRUE(checkRestoreName("two words"));
    EXPECT_FALSE(checkRestoreName("Control_Panel_HKCU"));
}

TEST(EditorCommandLines, ExportAndImportCharacterForCharacter) {
    EXPECT_EQ(exportCommandLine("C:\\WINDOWS", "Control_Panel", "_HKCU", "HKEY_CURRENT_USER\\Control Panel"),
              "C:\\WINDOWS\\regedit /e Control_Panel_HKCU.reg \"HKEY_CURRENT_USER\\Control Panel\"");
    EXPECT_EQ(exportCommandLine("", "x", "_HKLM", "HKEY_LOCAL_MACHINE"),
              "\\regedit /e x_HKLM.reg \"HKEY_LOCAL_MACHINE\"");
    EXPECT_EQ(importCommandLine("C:\\WINDOWS", "Control_Panel_HKCU"),
              "C:\\WINDOWS\\regedit.exe /s Control_Panel_HKCU.reg");
}

TEST(EditorReports, SuccessOnlyWhenTheEditorRanAndSucceeded) {
    auto r = exportReport("my_backup", true, 0, "");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.status, "my_backup backup has been created");
    EXPECT_TRUE(r.message.isEmpty());

    r = exportReport("my_backup", true, 1, "regedit: no such key");
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.status.contains("has been created"));
    EXPECT_TRUE(r.message.contains("regedit: no such key"));

    r = importReport("Desk", false, -1, "");
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.status.contains("has been restored"));
    EXPECT_TRUE(r.message.contains("could not be started"));
    EXPECT_EQ(importReport("Desk", true, 0, "").status, "Desk has been restored");
    EXPECT_TRUE(importReport("Desk", true, 3, "").message.contains("status 3"));
}

TEST(BackupFiles, DeleteRemovesTheFileAndExplainsAFailure) {
    test::TempDir dir;
    test::writeFile(dir / "Gone_HKCU.reg", "x");
    QString why;
    EXPECT_TRUE(deleteBackup(q(dir.path()), "Gone_HKCU", &why));
    EXPECT_FALSE(std::filesystem::exists(dir / "Gone_HKCU.reg"));
    EXPECT_FALSE(deleteBackup(q(dir.path()), "Gone_HKCU", &why));
    EXPECT_FALSE(why.isEmpty());
}

TEST(BackupListBox, SortsIgnoringCaseAndScrollsSideways) {
    BackupListBox list;
    for (const char* name : {"beta", "Alpha", "gamma", "Beta"})
        list.addBackupName(name);
    const QStringList names = list.names();
    EXPECT_EQ(names.indexOf("Alpha"), 0);
    EXPECT_EQ(names.last(), "gamma");
    list.resize(200, 150);
    list.setHorizontalExtent(400);
    EXPECT_EQ(list.horizontalExtent(), 400);
    EXPECT_EQ(list.horizontalScrollBar()->maximum(), 400 - list.viewport()->width());
}

}  // namespace
