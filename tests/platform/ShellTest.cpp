#include "ui/qt/ShexIt.h"

#include "ProgramFolder.h"

#include <algorithm>

using karvo::platform::ShellExecuteA;

namespace {

class Shell : public karvo::test::ProgramFolder {  // the desktop's opener records what it is given
protected:
    void SetUp() override { karvo::platform::setUrlOpener([this](const std::string& u) { return opened.push_back(u), accept; }); }
    void TearDown() override { karvo::platform::setUrlOpener({}); }
    long open(const std::string& file, const std::string& verb = "open") { return ShellExecuteA(nullptr, verb, file, "", "", 1); }
    std::vector<std::string> opened;
    bool accept = true;
};

}  // namespace

TEST_F(Shell, AddressesAndDocumentsGoToTheDesktopOpenerProgramsAreStartedMissingFilesFail) {
    karvo::test::writeFile(tmp / "Karvo.chm", "help");
    EXPECT_GT(std::min({open("https://www.tolvane.example/"), open("mailto:someone@tolvane.example", "Open"),
                        open(tmp.str() + "\\karvo.CHM")}), 32);
    EXPECT_EQ(std::make_pair(open(tmp.str() + "\\Missing.chm"), open(R"(C:\WINDOWS\Regedit.exe)")), std::make_pair(2L, 2L));
    program("regedit", "#!/bin/sh\npwd > started.txt\n");
    EXPECT_GT(open(windir.string() + "\\Regedit.exe"), 32);
    EXPECT_EQ(written("started.txt"), tmp.str() + "\n");
    EXPECT_EQ(opened, (std::vector<std::string>{"https://www.tolvane.example/", "mailto:someone@tolvane.example",
                                                "file://" + (tmp / "Karvo.chm").string()}));
    accept = false;
    EXPECT_LE(std::max(open("http://www.tolvane.example/"), open("http://www.tolvane.example/", "print")), 32);
}
