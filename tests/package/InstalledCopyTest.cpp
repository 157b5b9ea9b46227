// Where an installed copy keeps each user's files, and when Help shows the HTML copy.
#include "platform/GetWin.h"
#include "platform/ShexIt.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace karvo::platform;

TEST(InstalledCopy, EachUserGetsAFolderOfTheirOwn) {
    karvo::test::TempDir tmp;
    const fs::path exe = tmp / "lib", home = tmp / "home";
    fs::create_directories(exe);
    karvo::test::writeFile(exe / "Karvo.chm", "help");
    const struct {
        bool marked;
        const char* xdg;
        const char* home;
        fs::path expected;
    } cases[] = {
        {false, "/xdg", "/home/u", exe},  // run where built: its own folder
        {true, "", home.c_str(), home / ".local/share/karvo"},
        {true, "/xdg", home.c_str(), "/xdg/karvo"},
        {true, "relative", home.c_str(), home / ".local/share/karvo"},  // ignored, as XDG says
        {true, "", "", exe},  // no home at all
    };
    for (const auto& c : cases) {
        if (c.marked)
            karvo::test::writeFile(exe / kInstalledMark, "");
        else
            fs::remove(exe / kInstalledMark);
        karvo::test::ScopedEnv xdg("XDG_DATA_HOME", c.xdg), homeVar("HOME", c.home);
        EXPECT_EQ(userProgramFolder(exe.string()), c.expected.string()) << c.marked << c.xdg << c.home;
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
    const struct {
        fs::path file;
        bool viewer;
        std::string expected;
        int asked;
    } cases[] = {
        {user / "Karvo.chm", false, html, 1},  // through the user's link
        {share / "Karvo.chm", true, (share / "Karvo.chm").string(), 1},
        {tmp / "Other.chm", false, (tmp / "Other.chm").string(), 0},  // nothing to fall back to
        {share / "Karvo-html/index.html", false, html, 0},
    };
    for (const auto& c : cases) {
        int asked = 0;
        EXPECT_EQ(documentToOpen(c.file.string(), [&] { return ++asked, c.viewer; }), c.expected) << c.file;
        EXPECT_EQ(asked, c.asked) << c.file;
    }
}
