#include "platform/CommandLine.h"
#include "platform/GetWin.h"

#include "ProgramFolder.h"

#include <utility>
#include <vector>

namespace fs = std::filesystem;
using karvo::platform::resolveCommandLine;
using karvo::platform::resolvePath;
using karvo::platform::resolveProgram;
using karvo::platform::quoteArgument;
using karvo::platform::splitArguments;
using karvo::test::windowsSpelling;
using Args = std::vector<std::string>;

TEST(SplitArguments, BlanksQuotesAndBackslashes) {
    const std::vector<std::pair<const char*, Args>> cases = {
        {"", {}}, {"  \t ", {}}, {"a  b\tc ", {"a", "b", "c"}}, {R"("a b" c)", {"a b", "c"}},
        {R"(x"y z"w)", {"xy zw"}}, {R"("" a "")", {"", "a", ""}},
        {R"(/e file.reg "HKEY_CURRENT_USER\Control Panel")", {"/e", "file.reg", R"(HKEY_CURRENT_USER\Control Panel)"}},
        {R"("open ended)", {"open ended"}},  // an unclosed quote runs to the end of the line
        // Backslashes not before a quote are literal; 2n before a quote give n and the quote toggles
        // quoting; 2n+1 give n and a literal quote.
        {R"(a\\b c\)", {R"(a\\b)", R"(c\)"}}, {R"("a\\" b)", {R"(a\)", "b"}}, {R"(a\\\\"b c")", {R"(a\\b c)"}},
        {R"(a\"b)", {R"(a"b)"}}, {R"("a\\\" b")", {R"(a\" b)"}},
        // A quoted folder ending in a backslash must double it, or the quote is taken literally.
        {R"("C:\dir\" next)", {R"(C:\dir" next)"}}};
    for (const auto& [line, args] : cases)
        EXPECT_EQ(splitArguments(line), args) << line;

    // Quoting gives every argument back whole, quotes and backslashes before them included.
    for (const std::string arg : {"", "plain", "a b", R"(K\T\a"b)", R"("lead)", R"(end")", R"(x\)", R"(\"\\")"})
        for (const bool always : {false, true})
            EXPECT_EQ(splitArguments(quoteArgument(arg, always) + " next"), (Args{arg, "next"})) << arg;
    EXPECT_EQ(quoteArgument("plain"), "plain");
    EXPECT_EQ(quoteArgument(R"(K\T\a"b)"), R"("K\T\a\"b")");
}

namespace {

class Resolution : public karvo::test::ProgramFolder {
protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "Windows resolves drives, case and folders itself; these are the stand-in's rules";
#endif
        program("regedit");
    }
};

}  // namespace

TEST_F(Resolution, ProgramsAndCommandLinesWithLetterCaseExtensionsDrivesFoldersAndUnquotedBlanks) {
    program("MSINFO32.EXE");
    program(tmp / "Tools" / "Tool");
    const std::string regedit = (windir / "regedit").string(), msinfo = (windir / "MSINFO32.EXE").string();
    EXPECT_EQ(karvo::platform::GetWinDir(), windir.string());
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"(C:\WINDOWS\regedit)", regedit}, {R"(c:\windows\regedit.exe)", regedit},
        {R"(C:\Windows\Regedit.EXE)", regedit}, {R"(d:/WiNdOwS/REGEDIT)", regedit},
        {windir.string() + "\\Regedit.exe", regedit}, {"REGEDIT.EXE", regedit},  // bare: the Windows folder
        {R"(C:\WINDOWS\msinfo32)", msinfo}, {R"(C:\WINDOWS\msinfo32.exe)", msinfo},
        {windowsSpelling(tmp / "tools" / "tool.exe", 'E'), (tmp / "Tools" / "Tool").string()},
        // A folder is not a program, and a different name is not found.
        {R"(C:\WINDOWS)", ""}, {R"(C:\WINDOWS\regedit32)", ""}, {"", ""}, {"no-such-program-here", ""}};
    for (const auto& [spelling, found] : cases)
        EXPECT_EQ(resolveProgram(spelling), found) << spelling;
    EXPECT_EQ(resolvePath(windowsSpelling(tmp / "TOOLS")) + "|" + resolvePath(windowsSpelling(tmp / "nothing")),
              (tmp / "Tools").string() + "|");

    // Command lines: "My Programs\tool" exists; so does "My", a folder that must not stop the search.
    program(tmp / "My Programs" / "tool");
    fs::create_directories(tmp / "My");
    const std::string mine = windowsSpelling(tmp / "My Programs" / "tool");
    const auto found = [](const std::string& line) {  // the program and its arguments, "-" for nothing found
        const auto r = resolveCommandLine(line);
        return r ? std::make_pair(r->program, r->arguments) : std::make_pair(std::string("-"), Args{});
    };
    const std::vector<std::pair<std::string, std::pair<std::string, Args>>> lines = {
        {R"(C:\WINDOWS\regedit /e My_Key.reg "HKEY_CURRENT_USER\Control Panel")",
         {regedit, {"/e", "My_Key.reg", R"(HKEY_CURRENT_USER\Control Panel)"}}},
        {R"(  "C:\WINDOWS\REGEDIT.exe"/s "a b.reg"  )", {regedit, {"/s", "a b.reg"}}},
        {mine + " one  two", {(tmp / "My Programs" / "tool").string(), {"one", "two"}}},
        {"", {"-", {}}}, {R"(C:\WINDOWS\missing /s x.reg)", {"-", {}}}, {R"("C:\WINDOWS\missing" /s x.reg)", {"-", {}}}};
    for (const auto& [line, result] : lines)
        EXPECT_EQ(found(line), result) << line;
    // The shortest prefix that names a program wins, as on Windows.
    fs::remove_all(tmp / "My");
    program(tmp / "My.exe");
    EXPECT_EQ(found(mine + " one  two"), std::make_pair((tmp / "My.exe").string(), Args{R"(Programs\tool)", "one", "two"}));
}
