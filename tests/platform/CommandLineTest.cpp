#include "platform/CommandLine.h"
#include "platform/GetWin.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using karvo::platform::resolveCommandLine;
using karvo::platform::resolvePath;
using karvo::platform::resolveProgram;
using karvo::platform::splitArguments;
using Args = std::vector<std::string>;

TEST(SplitArguments, BlanksQuotesAndEmptyArguments) {
    EXPECT_EQ(splitArguments(""), Args{});
    EXPECT_EQ(splitArguments("  \t "), Args{});
    EXPECT_EQ(splitArguments("a  b\tc "), (Args{"a", "b", "c"}));
    EXPECT_EQ(splitArguments(R"("a b" c)"), (Args{"a b", "c"}));
    EXPECT_EQ(splitArguments(R"(x"y z"w)"), (Args{"xy zw"}));
    EXPECT_EQ(splitArguments(R"("" a "")"), (Args{"", "a", ""}));
    EXPECT_EQ(splitArguments(R"(/e file.reg "HKEY_CURRENT_USER\Control Panel")"),
              (Args{"/e", "file.reg", R"(HKEY_CURRENT_USER\Control Panel)"}));
    // An unclosed quote runs to the end of the line.
    EXPECT_EQ(splitArguments(R"("open ended)"), (Args{"open ended"}));
}

TEST(SplitArguments, BackslashRules) {
    // Backslashes not before a quote are literal.
    EXPECT_EQ(splitArguments(R"(a\\b c\)"), (Args{R"(a\\b)", R"(c\)"}));
    // 2n backslashes + quote: n backslashes, the quote toggles quoting.
    EXPECT_EQ(splitArguments(R"("a\\" b)"), (Args{R"(a\)", "b"}));
    EXPECT_EQ(splitArguments(R"(a\\\\"b c")"), (Args{R"(a\\b c)"}));
    // 2n+1 backslashes + quote: n backslashes and a literal quote.
    EXPECT_EQ(splitArguments(R"(a\"b)"), (Args{R"(a"b)"}));
    EXPECT_EQ(splitArguments(R"("a\\\" b")"), (Args{R"(a\" b)"}));
    // A quoted folder ending in a backslash must double it, or the quote is taken literally.
    EXPECT_EQ(splitArguments(R"("C:\dir\" next)"), (Args{R"(C:\dir" next)"}));
}

namespace {

void makeProgram(const fs::path& file) {
    fs::create_directories(file.parent_path());
    karvo::test::writeFile(file, "#!/bin/sh\nexit 0\n");
    fs::permissions(file, fs::perms::owner_all, fs::perm_options::add);
}

// "C:" + an absolute path here, in Windows spelling.
std::string driveSpelling(const fs::path& p, char drive = 'C') {
    std::string s = p.string();
    for (char& c : s)
        if (c == '/')
            c = '\\';
    return std::string(1, drive) + ":" + s;
}

class Resolution : public ::testing::Test {
protected:
    karvo::test::TempDir tmp;
    fs::path windir = tmp / "windows";
    karvo::test::ScopedEnv env{"KARVO_WINDIR", windir.string()};
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "Windows resolves drives, case and folders itself; these are the stand-in's rules";
#endif
        makeProgram(windir / "regedit");
    }
};

}  // namespace

TEST_F(Resolution, WindowsFolderCaseAndExtension) {
    const std::string regedit = (windir / "regedit").string();
    EXPECT_EQ(karvo::platform::GetWinDir(), windir.string());
    for (const char* spelling : {R"(C:\WINDOWS\regedit)", R"(c:\windows\regedit.exe)", R"(C:\Windows\Regedit.EXE)",
                                 R"(d:/WiNdOwS/REGEDIT)"})
        EXPECT_EQ(resolveProgram(spelling), regedit) << spelling;
    // The folder as GetWinDir gives it, followed by a Windows-style name.
    EXPECT_EQ(resolveProgram(windir.string() + "\\Regedit.exe"), regedit);
    // A folder is not a program, and a different name is not found.
    EXPECT_EQ(resolveProgram(R"(C:\WINDOWS)"), "");
    EXPECT_EQ(resolveProgram(R"(C:\WINDOWS\regedit32)"), "");
    EXPECT_EQ(resolveProgram(""), "");
}

TEST_F(Resolution, ProgramThatHasTheExtension) {
    makeProgram(windir / "MSINFO32.EXE");
    EXPECT_EQ(resolveProgram(R"(C:\WINDOWS\msinfo32)"), (windir / "MSINFO32.EXE").string());
    EXPECT_EQ(resolveProgram(R"(C:\WINDOWS\msinfo32.exe)"), (windir / "MSINFO32.EXE").string());
}

TEST_F(Resolution, OtherDrivesMapToTheRoot) {
    makeProgram(tmp / "Tools" / "Tool");
    EXPECT_EQ(resolveProgram(driveSpelling(tmp / "tools" / "tool.exe", 'E')), (tmp / "Tools" / "Tool").string());
    EXPECT_EQ(resolvePath(driveSpelling(tmp / "TOOLS")), (tmp / "Tools").string());
    EXPECT_EQ(resolvePath(driveSpelling(tmp / "nothing")), "");
}

TEST_F(Resolution, CommandLines) {
    auto r = resolveCommandLine(R"(C:\WINDOWS\regedit /e My_Key.reg "HKEY_CURRENT_USER\Control Panel")");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->program, (windir / "regedit").string());
    EXPECT_EQ(r->arguments, (Args{"/e", "My_Key.reg", R"(HKEY_CURRENT_USER\Control Panel)"}));

    r = resolveCommandLine(R"(  "C:\WINDOWS\REGEDIT.exe"/s "a b.reg"  )");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->program, (windir / "regedit").string());
    EXPECT_EQ(r->arguments, (Args{"/s", "a b.reg"}));

    EXPECT_FALSE(resolveCommandLine(""));
    EXPECT_FALSE(resolveCommandLine(R"(C:\WINDOWS\missing /s x.reg)"));
    EXPECT_FALSE(resolveCommandLine(R"("C:\WINDOWS\missing" /s x.reg)"));
}

TEST_F(Resolution, UnquotedBlanksAreTriedPrefixByPrefix) {
    // "My Programs\tool" exists; so does "My", a folder that must not stop the search.
    makeProgram(tmp / "My Programs" / "tool");
    fs::create_directories(tmp / "My");
    const std::string line = driveSpelling(tmp / "My Programs" / "tool") + " one  two";
    auto r = resolveCommandLine(line);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->program, (tmp / "My Programs" / "tool").string());
    EXPECT_EQ(r->arguments, (Args{"one", "two"}));

    // The shortest prefix that names a program wins, as on Windows.
    fs::remove_all(tmp / "My");
    makeProgram(tmp / "My.exe");
    r = resolveCommandLine(line);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->program, (tmp / "My.exe").string());
    EXPECT_EQ(r->arguments, (Args{R"(Programs\tool)", "one", "two"}));
}

TEST_F(Resolution, BareNamesSearchTheWorkingAndWindowsFolders) {
    EXPECT_EQ(resolveProgram("REGEDIT.EXE"), (windir / "regedit").string());
    EXPECT_EQ(resolveProgram("no-such-program-here"), "");
}
