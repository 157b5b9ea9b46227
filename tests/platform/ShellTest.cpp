#include "platform/ShexIt.h"

#include "TestSupport.h"

#include <QThread>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using karvo::platform::ShellExecuteA;

namespace {

class Shell : public ::testing::Test {
protected:
    karvo::test::TempDir tmp;
    fs::path windir = tmp / "windows";
    karvo::test::ScopedEnv env{"KARVO_WINDIR", windir.string()};
    fs::path oldCwd = fs::current_path();
    std::vector<std::string> opened;
    bool accept = true;

    void SetUp() override {
        fs::create_directories(windir);
        fs::current_path(tmp.path());
        karvo::platform::setUrlOpener([this](const std::string& url) {
            opened.push_back(url);
            return accept;
        });
    }
    void TearDown() override {
        karvo::platform::setUrlOpener({});
        fs::current_path(oldCwd);
    }
};

}  // namespace

TEST_F(Shell, AddressesGoToTheDesktopOpener) {
    EXPECT_GT(ShellExecuteA(nullptr, "open", "https://www.tolvane.example/", "", "", 1), 32);
    EXPECT_GT(ShellExecuteA(nullptr, "Open", "mailto:someone@tolvane.example", "", "", 1), 32);
    EXPECT_EQ(opened, (std::vector<std::string>{"https://www.tolvane.example/", "mailto:someone@tolvane.example"}));

    accept = false;
    EXPECT_LE(ShellExecuteA(nullptr, "open", "http://www.tolvane.example/", "", "", 1), 32);
    EXPECT_LE(ShellExecuteA(nullptr, "print", "http://www.tolvane.example/", "", "", 1), 32);
}

TEST_F(Shell, DocumentsOpenAndMissingFilesFail) {
    karvo::test::writeFile(tmp / "Karvo.chm", "help");
    EXPECT_GT(ShellExecuteA(nullptr, "open", tmp.str() + "\\karvo.CHM", "", "", 1), 32);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "file://" + (tmp / "Karvo.chm").string());

    EXPECT_EQ(ShellExecuteA(nullptr, "open", tmp.str() + "\\Missing.chm", "", "", 1), 2);
    EXPECT_EQ(ShellExecuteA(nullptr, "open", R"(C:\WINDOWS\Regedit.exe)", "", "", 1), 2);
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(Shell, ProgramsAreStarted) {
    karvo::test::writeFile(windir / "regedit", "#!/bin/sh\npwd > started.txt\n");
    fs::permissions(windir / "regedit", fs::perms::owner_all, fs::perm_options::add);
    EXPECT_GT(ShellExecuteA(nullptr, "open", windir.string() + "\\Regedit.exe", "", "", 1), 32);
    for (int i = 0; i < 300 && karvo::test::readFile(tmp / "started.txt").empty(); ++i)
        QThread::msleep(50);
    EXPECT_EQ(karvo::test::readFile(tmp / "started.txt"), tmp.str() + "\n");
    EXPECT_TRUE(opened.empty());
}
