// The backup folder and list, backup names, and the registry editor's command lines and outcomes.
#include "backup/BackupList.h"
#include "backup/Backups.h"

#include "TestSupport.h"

#include <QFileInfo>
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
    FillBackupList(&list, q(dir.path()));  // filling again does not empty the list first
    EXPECT_EQ(list.count(), 8);
    EXPECT_TRUE(backupNames(q(dir / "missing")).isEmpty());
    EXPECT_EQ(backupFileName(q(dir.path()), "Run_HKLM"), "Run_HKLM.REG");  // the file a listed name stands for
    EXPECT_EQ(backupFileName(q(dir.path()), "Hidden_HKCU"), "");

    // Hidden files exist all the same, folders do not.
    EXPECT_TRUE(FileExist(q(dir / ".Hidden_HKCU.reg")));
    for (const QString& no : {q(dir / "Folder.reg"), q(dir / "nothing.reg"), QString()})
        EXPECT_FALSE(FileExist(no)) << no.toStdString();

    // Sorted ignoring case, and scrolled sideways for long names.
    for (const char* name : {"Zeta", "alpha"})
        list.addBackupName(name);
    EXPECT_EQ(list.names().first(), "alpha");
    EXPECT_EQ(list.names().last(), "Zeta");
    list.resize(200, 150);
    list.setHorizontalExtent(400);
    EXPECT_EQ(list.horizontalExtent(), 400);
    EXPECT_EQ(list.horizontalScrollBar()->maximum(), 400 - list.viewport()->width());
}

TEST(EditorCommands, NamesThatBreakNoCommandLineWhichIsExactAndSuccessOnlyWhenTheEditorSucceeded) {
    for (const QString bad : {"a/b", "a\\b", "c:x", "what?", "st*r", "say\"hi", "<in", "out>", "p|q", "tab\there",
                               "nl\nx", "-e", "/s", "..\\up"}) {
        const auto refusal = checkBackupName(bad);
        EXPECT_TRUE(refusal && refusal->caption == "Invalid Name" && refusal->text.endsWith("     "))
            << bad.toStdString();
    }
    for (const QString good : {"my backup", "a-b", "Ünïcode.1", "_-", "a,b;c"})
        EXPECT_FALSE(checkBackupName(good)) << good.toStdString();
    EXPECT_EQ(exportCommandLine("C:\\WINDOWS", "Control_Panel", "_HKCU", "HKEY_CURRENT_USER\\Control Panel"),
              "C:\\WINDOWS\\regedit /e Control_Panel_HKCU.reg \"HKEY_CURRENT_USER\\Control Panel\"");
    EXPECT_EQ(exportCommandLine("", "x", "_HKLM", "HKEY_LOCAL_MACHINE"),
              "\\regedit /e x_HKLM.reg \"HKEY_LOCAL_MACHINE\"");
    EXPECT_EQ(importCommandLine("C:\\WINDOWS", "Control_Panel_HKCU.reg"),
              "C:\\WINDOWS\\regedit.exe /s Control_Panel_HKCU.reg");

    for (const auto& [r, said] : {std::pair{exportReport("my_backup", true, 1, "regedit: no such key"), "no such key"},
                                  {importReport("Desk", false, -1, ""), "could not be started"},
                                  {importReport("Desk", true, 3, ""), "status 3"}})
        EXPECT_TRUE(!r.ok && r.message.contains(said)) << r.message.toStdString();

    // A status 0 is believed only when the editor said nothing (Wine's) and its export file is new.
    test::TempDir dir;
    const QString file = q(dir / "x_HKCU.reg");
    QString reason = "regedit: cannot open key";
    EXPECT_EQ(checkedEditorStatus(3, reason, true, file), 3);
    EXPECT_EQ(checkedEditorStatus(0, reason, true), 1);
    EXPECT_EQ(checkedEditorStatus(0, reason, false), 0);
    reason.clear();
    EXPECT_EQ(checkedEditorStatus(0, reason, false, file), 1);  // no file
    EXPECT_EQ(reason, "The registry editor wrote nothing to x_HKCU.reg");
    test::writeFile(dir / "x_HKCU.reg", "");
    EXPECT_EQ(checkedEditorStatus(0, reason, false, file), 1);  // an empty one
    test::writeFile(dir / "x_HKCU.reg", "x");
    const QDateTime now = QFileInfo(file).lastModified();
    EXPECT_EQ(checkedEditorStatus(0, reason, false, file, now), 1);  // the old one, untouched
    EXPECT_EQ(checkedEditorStatus(0, reason, false, file, now.addSecs(-60)), 0);
}

}  // namespace
