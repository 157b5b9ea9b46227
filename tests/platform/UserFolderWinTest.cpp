// Where a Windows copy keeps its files: a portable copy beside karvo.exe, an installed one (the
// installer's mark beside it) in the user's %APPDATA%\Karvo, with the help file copied in.
#include "platform/GetWin.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;
using namespace karvo::platform;

TEST(UserFolderWin, PortableBesideTheProgramInstalledInAppData) {
    karvo::test::TempDir tmp;
    const fs::path exe = tmp / "Program Files" / "Karvo", appData = tmp / "Roaming";
    fs::create_directories(exe);
    karvo::test::writeFile(exe / "Karvo.chm", "help 1");
    karvo::test::ScopedEnv env("APPDATA", appData.string());
    EXPECT_EQ(userProgramFolder(exe.string()), exe.string());
    ASSERT_TRUE(prepareUserFolder(exe.string(), exe.string()));

    karvo::test::writeFile(exe / kInstalledMark, "");
    const fs::path mine = appData / "Karvo";
    EXPECT_EQ(userProgramFolder(exe.string()), mine.string());
    ASSERT_TRUE(prepareUserFolder(mine.string(), exe.string()));
    EXPECT_EQ(karvo::test::readFile(mine / "Karvo.chm"), "help 1");

    // A newer install's help replaces the copy; the user's other files stay.
    karvo::test::writeFile(mine / "Software.reg", "backup");
    karvo::test::writeFile(exe / "Karvo.chm", "help 2");
    fs::last_write_time(exe / "Karvo.chm", fs::last_write_time(mine / "Karvo.chm") + std::chrono::hours(1));
    ASSERT_TRUE(prepareUserFolder(mine.string(), exe.string()));
    EXPECT_EQ(karvo::test::readFile(mine / "Karvo.chm"), "help 2");
    EXPECT_EQ(karvo::test::readFile(mine / "Software.reg"), "backup");

    // Without %APPDATA% the installed copy falls back to its own folder.
    karvo::test::ScopedEnv none("APPDATA", "");
    EXPECT_EQ(userProgramFolder(exe.string()), exe.string());
}
