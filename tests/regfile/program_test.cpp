// The regedit program itself, started the way the backup commands start it.
#include "regfile_support.h"

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace karvo::regfile::test {
namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class ProgramTest : public RegTest {
protected:
    void SetUp() override {
        RegTest::SetUp();
        fs::create_directory(work);
    }
    // Runs regedit in the work folder, each argument one argv entry; gives the exit status.
    int regedit(const std::vector<std::string>& args) {
        std::string command = "cd " + quoted(work.string()) + " && KARVO_REGISTRY=" + quoted(storePath()) + " " +
                              quoted((karvo::test::binaryDir() / "windows" / "regedit").string());
        for (const auto& a : args)
            command += " " + quoted(a);
        command += " >" + quoted((dir / "out").string()) + " 2>" + quoted((dir / "err").string());
        const int raw = std::system(command.c_str());
        out = karvo::test::readFile(dir / "out");
        err = karvo::test::readFile(dir / "err");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string file(const std::string& name) { return karvo::test::readFile(work / name); }

    fs::path work = dir / "work";
    std::string out, err;
};

TEST_F(ProgramTest, ExportsAKeyOfTheDefaultRegistryHoweverTheArgumentsArrive) {
    ASSERT_EQ(0, regedit({"/e", "cp.reg", "HKEY_CURRENT_USER\\Control Panel"})) << err;
    EXPECT_EQ("", out + err);
    const std::string text = readable(file("cp.reg"));
    EXPECT_EQ(0u, text.find("<BOM>" + kHeader5 + "\r\n\r\n[HKEY_CURRENT_USER\\Control Panel]\r\n")) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Control Panel\\Desktop]"), std::string::npos);
    // Split over two arguments, still quoted, other switch spellings.
    ASSERT_EQ(0, regedit({"-E", "split.reg", "HKEY_CURRENT_USER\\Control", "Panel"}));
    EXPECT_EQ(file("cp.reg"), file("split.reg"));
    ASSERT_EQ(0, regedit({"/e", "\"quoted.reg\"", "\"hkey_current_user\\control panel\""}));
    EXPECT_EQ(file("cp.reg"), file("quoted.reg"));
    ASSERT_EQ(0, regedit({"/A", "old.reg", "HKEY_CURRENT_USER\\Control Panel"}));
    EXPECT_EQ(0u, file("old.reg").find("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel]\r\n"));
}

TEST_F(ProgramTest, FailuresSayWhyOnOneLineAndTouchNothing) {
    karvo::test::writeFile(work / "keep.reg", "previous backup");
    EXPECT_EQ(1, regedit({"/e", "keep.reg", "HKEY_CURRENT_USER\\No Such Key"}));
    EXPECT_NE(err.find("HKEY_CURRENT_USER\\No Such Key"), std::string::npos) << err;
    EXPECT_EQ("previous backup", file("keep.reg"));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"/e", "new.reg", "HKCU\\Software"}, {"/x", "a.reg"}, {"/ex", "a.reg"}, {"/e"}, {"/s", "\"\""},
             {"/s", "missing.reg"}, {"file.reg"}}) {
        EXPECT_EQ(1, regedit(args)) << args[0];
        EXPECT_EQ(0u, err.rfind("regedit: ", 0)) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
    EXPECT_FALSE(fs::exists(work / "new.reg"));
    EXPECT_FALSE(fs::exists(work / "a.reg"));
}

TEST_F(ProgramTest, ImportsSilentlyAllOrNothing) {
    const std::string key = "HKEY_CURRENT_USER\\Software\\Karvo Test";
    karvo::test::writeFile(work / "My Backup.reg", ansiFile({"REGEDIT4", "[" + key + "]", "\"v\"=\"restored\""}));
    ASSERT_EQ(0, regedit({"/s", "My", "Backup.reg"})) << err;  // an unquoted name with a blank
    EXPECT_EQ("", out + err);
    ASSERT_EQ(0, regedit({"/e", "check.reg", key}));
    EXPECT_NE(readable(file("check.reg")).find("\"v\"=\"restored\""), std::string::npos);
    // A file with one bad line changes nothing and names the file and the line.
    karvo::test::writeFile(work / "bad.reg", ansiFile({"REGEDIT4", "[" + key + "]", "\"v\"=\"new\"", "\"w\"=dword:x"}));

    EXPECT_EQ(1, regedit({"-S", "bad.reg"}));
    EXPECT_NE(err.find("bad.reg:4:"), std::string::npos) << err;
    ASSERT_EQ(0, regedit({"/e", "after.reg", key}));
    EXPECT_EQ(file("check.reg"), file("after.reg"));
}

}  // namespace
}  // namespace karvo::regfile::test
