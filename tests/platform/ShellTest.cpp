#include "platform/ShexIt.h"

#include "ProgramFolder.h"

using karvo::platform::ShellExecuteA;

namespace {

class Shell : public karvo::test::ProgramFolder {
protected:
    std::vector<std::string> opened;
    bool accept = true;
    void SetUp() override {
        karvo::platform::setUrlOpener([this](const std::string& url) {
            opened.push_back(url);
            return accept;
        });
    }
    void TearDown() override { karvo::platform::setUrlOpener({}); }
    long open(const std::string& file, const std::string& operation = "open") {
        return ShellExecuteA(nullptr, operation, file, "", "", 1);
    }
};

}  // namespace

TEST_F(Shell, AddressesAndDocumentsGoToTheDesktopOpenerMissingFilesFail) {
    karvo::test::writeFile(tmp / "Karvo.chm", "help");
    EXPECT_GT(open("https://www.tolvane.example/"), 32);
    EXPECT_GT(open("mailto:someone@tolvane.example", "Open"), 32);
    EXPECT_GT(open(tmp.str() + "\\karvo.CHM"), 32);
    EXPECT_EQ(open(tmp.str() + "\\Missing.chm"), 2);
    EXPECT_EQ(open(R"(C:\WINDOWS\Regedit.exe)"), 2);
    EXPECT_EQ(opened, (std::vector<std::string>{"https://www.tolvane.example/", "mailto:someone@tolvane.example",
                                                "file://" + (tmp / "Karvo.chm").string()}));
    accept = false;
    EXPECT_LE(open("http://www.tolvane.example/"), 32);
    EXPECT_LE(open("http://www.tolvane.example/", "print"), 32);
}

TEST_F(Shell, ProgramsAreStarted) {
    program("regedit", "#!/bin/sh\npwd > started.txt\n");
    EXPECT_GT(open(windir.string() + "\\Regedit.exe"), 32);
    EXPECT_EQ(written("started.txt"), tmp.str() + "\n");
    EXPECT_TRUE(opened.empty());
}
