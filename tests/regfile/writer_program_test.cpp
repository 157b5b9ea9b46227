// The regedit program itself, started the way the backup commands start it.

#include "regfile/RegFile.h"
#include "writer_support.h"

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace karvo::regfile::writertest {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string shellQuoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q.push_back(c);
    }
    return q + "'";
}

class ProgramTest : public ::testing::Test {
protected:
    // Runs regedit in the work folder with the given arguments, each passed as one argv entry.
    Outcome regedit(const std::vector<std::string>& args) {
        std::string command = "cd " + shellQuoted(work.string()) + " && KARVO_REGISTRY=" +
                              shellQuoted(storePath().string()) + " " +
                              shellQuoted((karvo::test::binaryDir() / "windows" / "regedit").string());
        for (const auto& a : args)
            command += " " + shellQuoted(a);
        command += " >" + shellQuoted((dir / "stdout").string()) + " 2>" + shellQuoted((dir / "stderr").string());
        const int raw = std::system(command.c_str());
        Outcome r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = karvo::test::readFile(dir / "stdout");
        r.err = karvo::test::readFile(dir / "stderr");
        return r;
    }
    fs::path storePath() const { return dir / "registry.db"; }
    std::string file(const std::string& name) { return karvo::test::readFile(work / name); }

    void SetUp() override { fs::create_directory(work); }

    karvo::test::TempDir dir;
    fs::path work = dir / "work";
};

TEST_F(ProgramTest, ExportsAKeyOfTheDefaultRegistry) {
    const Outcome r = regedit({"/e", "Control_Panel_HKCU.reg", "HKEY_CURRENT_USER\\Control Panel"});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.err);
    const std::string quoted = file("Control_Panel_HKCU.reg");
    const std::string text = readable(quoted);
    EXPECT_EQ(0u, text.find("<BOM>Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Control Panel]\r\n"))
        << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Control Panel\\Desktop]"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Control Panel\\Colors]"), std::string::npos);

    // The same key arriving split over two arguments, with other switch spellings.
    ASSERT_EQ(0, regedit({"-E", "split.reg", "HKEY_CURRENT_USER\\Control", "Panel"}).status);
    EXPECT_EQ(quoted, file("split.reg"));
    ASSERT_EQ(0, regedit({"/e", "quoted.reg", "\"hkey_current_user\\control panel\""}).status);
    EXPECT_EQ(quoted, file("quoted.reg"));

    ASSERT_EQ(0, regedit({"/A", "old.reg", "HKEY_CURRENT_USER\\Control Panel"}).status);
    EXPECT_EQ(0u, file("old.reg").find("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel]\r\n"));
}

TEST_F(ProgramTest, FailuresSayWhyOnOneLine) {
    karvo::test::writeFile(work / "keep.reg", "previous backup");
    Outcome r = regedit({"/e", "keep.reg", "HKEY_CURRENT_USER\\No Such Key"});
    EXPECT_EQ(1, r.status);
    EXPECT_NE(r.err.find("HKEY_CURRENT_USER\\No Such Key"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ("previous backup", file("keep.reg"));

    r = regedit({"/e", "new.reg", "HKCU\\Software"});
    EXPECT_EQ(1, r.status);
    EXPECT_FALSE(fs::exists(work / "new.reg"));

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"/x", "a.reg"}, {"/e"}, {"/s"}, {"/s", "missing.reg"}, {"file.reg"}}) {
        r = regedit(args);
        EXPECT_EQ(1, r.status) << args[0];
        EXPECT_FALSE(r.err.empty()) << args[0];
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
}

TEST_F(ProgramTest, ImportsSilentlyAllOrNothing) {
    const std::string good = regedit4File({"", "[HKEY_CURRENT_USER\\Software\\Karvo Test]", "\"v\"=\"restored\"",
                                           "\"n\"=dword:0000002a", ""});
    karvo::test::writeFile(work / "My Backup.reg", good);
    Outcome r = regedit({"/s", "My", "Backup.reg"});  // an unquoted name with a blank
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.out + r.err);

    ASSERT_EQ(0, regedit({"/e", "check.reg", "HKEY_CURRENT_USER\\Software\\Karvo Test"}).status);
    expectFileEq(unicodeFile({"", "[HKEY_CURRENT_USER\\Software\\Karvo Test]", "\"v\"=\"restored\"",
                              "\"n\"=dword:0000002a", ""}),
                 file("check.reg"));

    // A file with one bad line changes nothing and names the file and the line.
    karvo::test::writeFile(work / "bad.reg", regedit4File({"", "[HKEY_CURRENT_USER\\Software\\Karvo Test]",
                                                           "\"v\"=\"changed\"", "\"w\"=dword:xyz", ""}));
    r = regedit({"-S", "bad.reg"});
    EXPECT_EQ(1, r.status);
    EXPECT_NE(r.err.find("bad.reg"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find('5'), std::string::npos) << r.err;
    ASSERT_EQ(0, regedit({"/e", "after.reg", "HKEY_CURRENT_USER\\Software\\Karvo Test"}).status);
    EXPECT_EQ(file("check.reg"), file("after.reg"));

    // What /e wrote, /s reads back to the same registry.
    ASSERT_EQ(0, regedit({"/e", "whole.reg"}).status);
    fs::remove(storePath());
    fs::remove(fs::path(storePath().string() + "-wal"));
    fs::remove(fs::path(storePath().string() + "-shm"));
    ASSERT_EQ(0, regedit({"/s", "whole.reg"}).status);
    ASSERT_EQ(0, regedit({"/e", "whole2.reg"}).status);
    expectFileEq(file("whole.reg"), file("whole2.reg"));
}

}  // namespace
}  // namespace karvo::regfile::writertest
