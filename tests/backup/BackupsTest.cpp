// The backup folder, backup names, and the registry editor's command lines and outcomes.
#include "backup/Backups.h"

#include "TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

using namespace karvo;
using namespace karvo::backup;
using Names = std::vector<std::string>;

namespace {

TEST(BackupFolder, ListsRegFilesOfAnyCaseButNotHiddenOnesOrFolders) {
    test::TempDir dir;
    for (const char* name : {"Software_HKCU.reg", "Desktop_HKCU.reg", "notes.txt", "old.reg.reg", "Run_HKLM.REG",
                             ".Hidden_HKCU.reg", "reg", "x.regx"})
        test::writeFile(dir / name, "x");
    std::filesystem::create_directory(dir / "Folder.reg");
    Names names = backupNames(dir.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"Desktop_HKCU", "Run_HKLM", "Software_HKCU", "old.reg"}));
    EXPECT_TRUE(backupNames(dir / "missing").empty());
    EXPECT_EQ(backupFileName(dir.path(), "Run_HKLM"), "Run_HKLM.REG");  // the file a listed name stands for
    EXPECT_EQ(backupFileName(dir.path(), "Hidden_HKCU"), "");

    // Hidden files exist all the same, folders do not.
    EXPECT_TRUE(FileExist(dir / ".Hidden_HKCU.reg"));
    for (const std::filesystem::path& no : {dir / "Folder.reg", dir / "nothing.reg", std::filesystem::path()})
        EXPECT_FALSE(FileExist(no)) << no;

    std::string why;
    EXPECT_TRUE(deleteBackup(dir.path(), "Run_HKLM", &why));
    EXPECT_FALSE(FileExist(dir / "Run_HKLM.REG"));
    EXPECT_FALSE(deleteBackup(dir.path(), "Run_HKLM", &why));
    EXPECT_NE(why.find("no longer exists"), std::string::npos) << why;
}

TEST(EditorCommands, NamesThatBreakNoCommandLineWhichIsExactAndSuccessOnlyWhenTheEditorSucceeded) {
    for (const std::string bad : {"a/b", "a\\b", "c:x", "what?", "st*r", "say\"hi", "<in", "out>", "p|q", "tab\there",
                                   "nl\nx", "-e", "/s", "..\\up"}) {
        const auto refusal = checkBackupName(bad);
        EXPECT_TRUE(refusal && refusal->caption == "Invalid Name" && refusal->text.ends_with("     ")) << bad;
    }
    for (const std::string good : {"my backup", "a-b", "\xC3\x9Cn\xC3\xAF" "code.1", "_-", "a,b;c"})
        EXPECT_FALSE(checkBackupName(good)) << good;
    EXPECT_EQ(exportCommandLine("C:\\WINDOWS", "Control_Panel", "_HKCU", "HKEY_CURRENT_USER\\Control Panel"),
              "C:\\WINDOWS\\regedit /e Control_Panel_HKCU.reg \"HKEY_CURRENT_USER\\Control Panel\"");
    EXPECT_EQ(exportCommandLine("", "x", "_HKLM", "HKEY_LOCAL_MACHINE"), "\\regedit /e x_HKLM.reg \"HKEY_LOCAL_MACHINE\"");
    EXPECT_EQ(importCommandLine("C:\\WINDOWS", "Control_Panel_HKCU.reg"),
              "C:\\WINDOWS\\regedit.exe /s Control_Panel_HKCU.reg");

    for (const auto& [r, said] : {std::pair{exportReport("my_backup", true, 1, "regedit: no such key"), "no such key"},
                                  {importReport("Desk", false, -1, ""), "could not be started"},
                                  {importReport("Desk", true, 3, ""), "status 3"}})
        EXPECT_TRUE(!r.ok && r.message.find(said) != std::string::npos) << r.message;

    // A status 0 is believed only when the editor said nothing (Wine's) and its export file is new.
    test::TempDir dir;
    const auto file = dir / "x_HKCU.reg";
    std::string reason = "regedit: cannot open key";
    EXPECT_EQ(checkedEditorStatus(3, reason, true, file), 3);
    EXPECT_EQ(checkedEditorStatus(0, reason, true), 1);
    EXPECT_EQ(checkedEditorStatus(0, reason, false), 0);
    reason.clear();
    EXPECT_EQ(checkedEditorStatus(0, reason, false, file), 1);  // no file
    EXPECT_EQ(reason, "The registry editor wrote nothing to x_HKCU.reg");
    test::writeFile(file, "");
    EXPECT_EQ(checkedEditorStatus(0, reason, false, file), 1);  // an empty one
    test::writeFile(file, "x");
    const WriteTime before = lastWritten(file);
    EXPECT_EQ(checkedEditorStatus(0, reason, false, file, before), 1);  // the old one, untouched
    std::filesystem::last_write_time(file, *before + std::chrono::seconds(2));
    EXPECT_EQ(checkedEditorStatus(0, reason, false, file, before), 0);
}

}  // namespace
