// Exports to files: what is written for a root or the whole registry, and that a failed export
// leaves the target alone.

#include "writer_support.h"

#include <filesystem>

namespace karvo::regfile::writertest {
namespace {

namespace fs = std::filesystem;
using reg::LONG;

// The store, except that reading the values of one key fails part-way through the export.
class FailingReads : public reg::RegistryService {
public:
    FailingReads(reg::RegistryService& inner, std::string brokenPath) : in_(inner), broken_(std::move(brokenPath)) {}
    LONG RegOpenKeyExA(reg::HKey k, const char* s, DWORD o, DWORD a, reg::HKey* r) override {
        return in_.RegOpenKeyExA(k, s, o, a, r);
    }
    LONG RegCreateKeyExA(reg::HKey k, const char* s, DWORD r, const char* c, DWORD o, DWORD a,
                         const reg::SecurityAttributes* sa, reg::HKey* out, DWORD* d) override {
        return in_.RegCreateKeyExA(k, s, r, c, o, a, sa, out, d);
    }
    LONG RegCloseKey(reg::HKey k) override { return in_.RegCloseKey(k); }
    LONG RegQueryValueExA(reg::HKey k, const char* n, DWORD* r, DWORD* t, std::uint8_t* d, DWORD* c) override {
        return in_.RegQueryValueExA(k, n, r, t, d, c);
    }
    LONG RegSetValueExA(reg::HKey k, const char* n, DWORD r, DWORD t, const std::uint8_t* d, DWORD c) override {
        return in_.RegSetValueExA(k, n, r, t, d, c);
    }
    LONG RegDeleteKeyA(reg::HKey k, const char* s) override { return in_.RegDeleteKeyA(k, s); }
    LONG RegDeleteValueA(reg::HKey k, const char* n) override { return in_.RegDeleteValueA(k, n); }
    LONG RegEnumKeyA(reg::HKey k, DWORD i, char* n, DWORD c) override { return in_.RegEnumKeyA(k, i, n, c); }
    LONG RegEnumValueA(reg::HKey k, DWORD i, char* n, DWORD* c, DWORD* r, DWORD* t, std::uint8_t* d,
                       DWORD* cd) override {
        return in_.RegEnumValueA(k, i, n, c, r, t, d, cd);
    }
    LONG RegQueryInfoKeyA(reg::HKey k, char* c, DWORD* cc, DWORD* r, DWORD* sk, DWORD* msk, DWORD* mc, DWORD* v,
                          DWORD* mvn, DWORD* mv, DWORD* sd, void* t) override {
        return in_.RegQueryInfoKeyA(k, c, cc, r, sk, msk, mc, v, mvn, mv, sd, t);
    }
    LONG EnumKeyRaw(reg::HKey k, DWORD i, std::string& n) override { return in_.EnumKeyRaw(k, i, n); }
    LONG EnumValueRaw(reg::HKey k, DWORD i, std::string& n, DWORD& t, std::vector<std::uint8_t>& d) override {
        std::string path;
        if (in_.KeyPath(k, path) && path.find(broken_) != std::string::npos)
            return reg::kErrorCantRead;
        return in_.EnumValueRaw(k, i, n, t, d);
    }
    LONG QueryValueRaw(reg::HKey k, const std::string& n, DWORD& t, std::vector<std::uint8_t>& d) override {
        return in_.QueryValueRaw(k, n, t, d);
    }
    LONG SetValueRaw(reg::HKey k, const std::string& n, DWORD t, const std::uint8_t* d, std::size_t s) override {
        return in_.SetValueRaw(k, n, t, d, s);
    }
    LONG DeleteTree(reg::HKey k, const char* s) override { return in_.DeleteTree(k, s); }
    bool KeyPath(reg::HKey k, std::string& p) override { return in_.KeyPath(k, p); }
    LONG BeginBatch() override { return in_.BeginBatch(); }
    LONG CommitBatch() override { return in_.CommitBatch(); }
    LONG RollbackBatch() override { return in_.RollbackBatch(); }

private:
    reg::RegistryService& in_;
    std::string broken_;
};

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

TEST_F(ExportFileTest, ReadErrorPartWayLeavesTheOldFile) {
    std::string big(5000, '\x5a');
    for (int i = 0; i < 200; ++i)
        set(kK + "\\a", "v" + std::to_string(i), reg::kRegBinary, big);
    setSz(kK + "\\b Broken", "v", "x");
    const fs::path out = outDir / "out.reg";
    karvo::test::writeFile(out, "old backup");
    FailingReads failing(*store, "Broken");
    const Result r = exportRegFile(failing, out.string(), kK, Format::Unicode5);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("b Broken"), std::string::npos) << r.message;
    EXPECT_EQ("old backup", karvo::test::readFile(out));
    EXPECT_EQ(1u, filesInDir());
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
