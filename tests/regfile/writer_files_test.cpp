// Exports to files: what is written for a root or the whole registry, and that a failed export
// leaves the target alone.

#include "writer_support.h"

#include <filesystem>

namespace karvo::regfile::writertest {
namespace {

namespace fs = std::filesystem;

class ExportFileTest : public WriterTest {
protected:
    void SetUp() override {
        WriterTest::SetUp();
        fs::create_directory(outDir);
    }
    std::size_t filesInDir() {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(outDir))
            ++n;
        return n;
    }
    fs::path outDir = dir / "out";
};

TEST_F(ExportFileTest, MissingKeyOrUnknownRootLeavesTheTargetAlone) {
    touch(kK);
    const fs::path out = outDir / "out.reg";
    const std::size_t before = filesInDir();
    for (const std::string& key : {kK + "\\missing", std::string("HKEY_CURRENT_USERS\\Software"), std::string("HKCU"),
                                  std::string("HKCU\\Software")}) {
        const Result r = exportRegFile(*store, out.string(), key, Format::Unicode5);
        EXPECT_FALSE(r.ok) << key;
        EXPECT_NE(r.message.find(key), std::string::npos) << r.message;
        EXPECT_EQ(r.message.find('\n'), std::string::npos) << r.message;
        EXPECT_FALSE(fs::exists(out)) << key;
    }
    EXPECT_EQ(before, filesInDir());

    karvo::test::writeFile(out, "old backup");
    EXPECT_FALSE(exportRegFile(*store, out.string(), kK + "\\missing", Format::Unicode5).ok);
    EXPECT_EQ("old backup", karvo::test::readFile(out));
    EXPECT_EQ(before + 1, filesInDir());
}

TEST_F(ExportFileTest, ReplacesAnExistingFileAndLeavesNothingElse) {
    setSz(kK, "v", "new");
    const fs::path out = outDir / "out.reg";
    karvo::test::writeFile(out, std::string(100000, 'x'));
    const Result r = exportRegFile(*store, out.string(), kK, Format::Unicode5);
    ASSERT_TRUE(r.ok) << r.message;
    expectFileEq(unicodeFile({"", "[" + kK + "]", "\"v\"=\"new\"", ""}), karvo::test::readFile(out));
    EXPECT_EQ(1u, filesInDir());  // no temporary left over

    const Result r4 = exportRegFile(*store, out.string(), kK, Format::Regedit4);
    ASSERT_TRUE(r4.ok) << r4.message;
    EXPECT_EQ(regedit4File({"", "[" + kK + "]", "\"v\"=\"new\"", ""}), karvo::test::readFile(out));
}

TEST_F(ExportFileTest, UnwritableTargetFails) {
    touch(kK);
    const fs::path out = dir / "no such folder" / "out.reg";
    const Result r = exportRegFile(*store, out.string(), kK, Format::Unicode5);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("out.reg"), std::string::npos) << r.message;
    EXPECT_FALSE(fs::exists(out.parent_path()));
}

// A name with a line break cannot be written in any form the reader takes back; refusing beats
// a backup that would not restore.
TEST_F(ExportFileTest, NamesWithLineBreaksFailTheExport) {
    setSz(kK + "\\a\nb", "v", "x");
    set(kK + "\\values", "line\r\nbreak", reg::kRegBinary, "");
    const fs::path out = outDir / "out.reg";
    for (const std::string& key : {kK, kK + "\\values"}) {
        const Result r = exportRegFile(*store, out.string(), key, Format::Unicode5);
        EXPECT_FALSE(r.ok) << key;
        EXPECT_NE(r.message.find("line break"), std::string::npos) << r.message;
        EXPECT_EQ(r.message.find_first_of("\r\n"), std::string::npos) << r.message;
        EXPECT_EQ(0u, filesInDir()) << key;
    }
}

TEST_F(ExportFileTest, BareRootExportsTheHive) {
    setSz("HKEY_CURRENT_USER\\Software\\KarvoTest", "v", "x");
    const std::string out = readable(exported("hkey_current_user"));
    EXPECT_EQ(0u, out.find("<BOM>Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER]\r\n")) << out;
    EXPECT_NE(out.find("\r\n[HKEY_CURRENT_USER\\Software]\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\r\n[HKEY_CURRENT_USER\\Software\\KarvoTest]\r\n\"v\"=\"x\"\r\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("[HKEY_LOCAL_MACHINE"), std::string::npos) << out;
}

TEST_F(ExportFileTest, WholeRegistryIsTheMachineThenTheUsers) {
    setSz("HKEY_LOCAL_MACHINE\\SOFTWARE\\KarvoTest", "m", "machine");
    setSz("HKEY_USERS\\.DEFAULT\\KarvoTest", "u", "user");
    setSz(kK, "c", "current user");
    const std::string out = readable(exported(""));
    const auto machine = out.find("\r\n[HKEY_LOCAL_MACHINE]\r\n");
    const auto users = out.find("\r\n[HKEY_USERS]\r\n");
    ASSERT_NE(machine, std::string::npos) << out;
    ASSERT_NE(users, std::string::npos) << out;
    EXPECT_LT(machine, users);
    EXPECT_LT(machine, out.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\KarvoTest]\r\n\"m\"=\"machine\""));
    EXPECT_LT(users, out.find("[HKEY_USERS\\.DEFAULT\\KarvoTest]\r\n\"u\"=\"user\""));
    // The other roots are views: their content appears once, under its own root.
    for (const char* view : {"[HKEY_CURRENT_USER", "[HKEY_CLASSES_ROOT", "[HKEY_CURRENT_CONFIG"})
        EXPECT_EQ(out.find(view), std::string::npos) << view;
    EXPECT_NE(out.find("\"c\"=\"current user\""), std::string::npos);
    EXPECT_EQ(out.size() - 4, out.rfind("\r\n\r\n"));
}

}  // namespace
}  // namespace karvo::regfile::writertest
