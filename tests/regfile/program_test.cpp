// The regedit program itself, started the way the backup commands start it.
#include "regfile_support.h"

#include "backup/Backups.h"
#include "platform/CommandLine.h"

#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

namespace karvo::regfile::test {
namespace {

// For the shell: no argument here holds a single quote.
std::string quoted(const std::string& s) { return "'" + s + "'"; }

class ProgramTest : public RegTest {
protected:
    // Runs regedit in the test's folder, each argument one argv entry; gives the exit status and
    // keeps standard output and error in out.
    int regedit(const std::vector<std::string>& args) {
        std::string command = "cd " + quoted(dir.str()) + " && KARVO_REGISTRY=" + quoted(storePath()) +
                              " " + quoted((karvo::test::binaryDir() / "windows" / "regedit").string());
        for (const auto& a : args)
            command += " " + quoted(a);
        const int raw = std::system((command + " >" + quoted((dir / "out").string()) + " 2>&1").c_str());
        out = readFile(dir / "out");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string file(const std::string& name) { return readFile(dir / name); }
    std::string out;
};

TEST_F(ProgramTest, ExportsAndImportsHoweverTheArgumentsArriveFailuresSayWhyOnOneLine) {
    ASSERT_EQ(0, regedit({"/e", "cp.reg", "HKEY_CURRENT_USER\\Control Panel"})) << out;
    EXPECT_EQ("", out);
    const std::string text = readable(file("cp.reg"));
    EXPECT_EQ(0u, text.find("<BOM>" + kHeader5 + "\r\n\r\n[HKEY_CURRENT_USER\\Control Panel]\r\n")) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Control Panel\\Desktop]"), std::string::npos);
    // Split over two arguments, quoted, the switch in either letter case and with "-".
    ASSERT_EQ(0, regedit({"-E", "split.reg", "HKEY_CURRENT_USER\\Control", "Panel"}));
    ASSERT_EQ(0, regedit({"/e", "\"quoted.reg\"", "\"hkey_current_user\\control panel\""}));
    EXPECT_EQ(file("cp.reg"), file("split.reg"));
    EXPECT_EQ(file("cp.reg"), file("quoted.reg"));
    ASSERT_EQ(0, regedit({"/A", "old.reg", "HKEY_CURRENT_USER\\Control Panel"}));
    EXPECT_EQ(0u, file("old.reg").find("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel]\r\n"));
    // Imports are silent and all or nothing; a failure says why on one line.
    const std::string key = "HKEY_CURRENT_USER\\Software\\Karvo Test";
    writeFile(dir / "My Backup.reg", ansiFile({"REGEDIT4", "[" + key + "]", "\"v\"=\"restored\""}));
    ASSERT_EQ(0, regedit({"/s", "My", "Backup.reg"})) << out;  // an unquoted name with a blank
    EXPECT_EQ("", out);
    EXPECT_EQ(wz("restored"), data(key, "v"));
    // A file with one bad line names the file and the line.
    writeFile(dir / "bad.reg", ansiFile({"REGEDIT4", "[" + key + "]", "\"v\"=\"new\"", "\"w\"=dword:x"}));
    EXPECT_EQ(1, regedit({"-S", "bad.reg"}));
    EXPECT_NE(out.find("bad.reg:4:"), std::string::npos) << out;
    EXPECT_EQ(wz("restored"), data(key, "v"));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"/e", "new.reg", "HKCU\\Software"}, {"/x", "a.reg"}, {"/ex", "a.reg"}, {"/e"}, {"/s", "\"\""},
             {"/s", "missing.reg"}, {"file.reg"}}) {
        EXPECT_EQ(1, regedit(args)) << args[0];
        EXPECT_EQ(0u, out.rfind("regedit: ", 0)) << out;
        EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "new.reg") || std::filesystem::exists(dir / "a.reg"));
}

TEST_F(ProgramTest, WhileAnotherProgramWritesTheStoreIsReadAtOnceAndOnlyAWriteSaysItIsBusy) {
    ASSERT_EQ(0, regedit({"/e", "before.reg", "HKEY_CURRENT_USER\\Control Panel"})) << out;
    sqlite3* writer = nullptr;  // an import under way elsewhere
    ASSERT_EQ(sqlite3_open(storePath().c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE; DELETE FROM vals", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(0, regedit({"/e", "during.reg", "HKEY_CURRENT_USER\\Control Panel"})) << out;
    EXPECT_EQ(file("before.reg"), file("during.reg"));
    writeFile(dir / "a.reg", ansiFile({"REGEDIT4", "[HKEY_CURRENT_USER\\Software\\Karvo Test]"}));
    EXPECT_EQ(1, regedit({"/s", "a.reg"}));  // after the store's wait for the writer
    EXPECT_NE(out.find("a.reg: cannot start the change of the registry: the registry store is busy"), std::string::npos) << out;
    sqlite3_close(writer);
}

TEST_F(ProgramTest, KeyNamesWithQuotesReachTheEditorWholeThroughTheBackupsCommandLine) {
    // Each key beside the sibling that a wrongly split command line would name instead.
    const std::string area = "HKEY_CURRENT_USER\\Software\\Karvo Test\\";
    for (const auto& [name, sibling] : {std::pair<std::string, std::string>{"a\"b", "ab"}, {"q\"uote", "quote"},
                                        {"\"lead", "lead"}, {"end\"", "end"}, {"x \"y\" z", "x y z"}}) {
        touch(area + sibling);
        touch(area + name);
        const std::string line = backup::exportCommandLine("C:\\WINDOWS", "k", "_HKCU", area + name);
        const std::vector<std::string> args = platform::splitArguments(line);  // as the launcher splits it
        ASSERT_EQ(0, regedit({args.begin() + 1, args.end()})) << line << out;
        EXPECT_EQ(readable(file("k_HKCU.reg")).find("\r\n\r\n[" + area + name + "]\r\n"), 5 + kHeader5.size()) << line;
    }
}

}  // namespace
}  // namespace karvo::regfile::test
