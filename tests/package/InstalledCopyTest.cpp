// Where an installed copy keeps each user's files, and when Help shows the HTML copy.
#include "platform/GetWin.h"
#include "ui/qt/ShexIt.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

namespace fs = std::filesystem;
using namespace karvo::platform;

TEST(InstalledCopy, EachUserGetsAFolderOfTheirOwn) {
    karvo::test::TempDir tmp;
    const fs::path exe = tmp / "lib", home = tmp / "home";
    fs::create_directories(exe);
    karvo::test::writeFile(exe / "Karvo.chm", "help");
    // Marked as installed, XDG_DATA_HOME, HOME, and the folder that the user gets.
    const std::tuple<bool, const char*, const char*, fs::path> cases[] = {
        {false, "/xdg", "/home/u", exe},  // run where built: its own folder
        {true, "", home.c_str(), home / ".local/share/karvo"},
        {true, "/xdg", home.c_str(), "/xdg/karvo"},
        {true, "relative", home.c_str(), home / ".local/share/karvo"},  // ignored, as XDG says
        {true, "", "", exe},  // no home at all
    };
    for (const auto& [marked, xdgValue, homeValue, expected] : cases) {
        if (marked)
            karvo::test::writeFile(exe / kInstalledMark, "");
        else
            fs::remove(exe / kInstalledMark);
        karvo::test::ScopedEnv xdg("XDG_DATA_HOME", xdgValue), homeVar("HOME", homeValue);
        EXPECT_EQ(userProgramFolder(exe.string()), expected.string()) << marked << xdgValue << homeValue;
    }

    // The user's folder is created and gets the help file through a link, renewed when stale;
    // a file of the user's own of that name is kept.
    const fs::path mine = home / ".local/share/karvo";
    ASSERT_TRUE(prepareUserFolder(mine.string(), exe.string()));
    EXPECT_EQ(karvo::test::readFile(mine / "Karvo.chm"), "help");
    fs::remove(mine / "Karvo.chm");
    fs::create_symlink(tmp / "gone.chm", mine / "Karvo.chm");
    ASSERT_TRUE(prepareUserFolder(mine.string(), exe.string()));
    EXPECT_EQ(fs::read_symlink(mine / "Karvo.chm"), exe / "Karvo.chm");
    fs::remove(mine / "Karvo.chm");
    karvo::test::writeFile(mine / "Karvo.chm", "mine");
    ASSERT_TRUE(prepareUserFolder(mine.string(), exe.string()));
    EXPECT_EQ(karvo::test::readFile(mine / "Karvo.chm"), "mine");
    EXPECT_FALSE(prepareUserFolder((exe / "Karvo.chm" / "sub").string(), exe.string()));
}

TEST(InstalledCopy, HelpFallsBackToHtmlOnlyWithoutAViewer) {
    karvo::test::TempDir tmp;
    const fs::path share = tmp / "share", user = tmp / "user";
    fs::create_directories(share / "Karvo-html");
    fs::create_directories(user);
    karvo::test::writeFile(share / "Karvo.chm", "help");
    karvo::test::writeFile(share / "Karvo-html/index.html", "<p>");
    karvo::test::writeFile(tmp / "Other.chm", "no copy");
    fs::create_symlink(share / "Karvo.chm", user / "Karvo.chm");
    const std::string html = (share / "Karvo-html/index.html").string();
    // The document asked for, whether a viewer is there, what is opened, and how often the viewer is looked for.
    const std::tuple<fs::path, bool, std::string, int> cases[] = {
        {user / "Karvo.chm", false, html, 1},  // through the user's link
        {share / "Karvo.chm", true, (share / "Karvo.chm").string(), 1},
        {tmp / "Other.chm", false, (tmp / "Other.chm").string(), 0},  // nothing to fall back to
        {share / "Karvo-html/index.html", false, html, 0},
    };
    for (const auto& [file, viewer, expected, lookups] : cases) {
        int asked = 0;
        EXPECT_EQ(documentToOpen(file.string(), [&] { return ++asked, viewer; }), expected) << file;
        EXPECT_EQ(asked, lookups) << file;
    }
}
