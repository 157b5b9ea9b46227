// All or nothing: a registry failure rolls an import back, back ends without batches still get a
// fully checked file, and a failed export leaves the target file alone.
#include "regfile_support.h"

#include <filesystem>

namespace karvo::regfile::test {
namespace {

namespace fs = std::filesystem;

class Failures : public RegTest {
protected:
    void SetUp() override {
        RegTest::SetUp();
        seed({"REGEDIT4", "[" + kK + "]", R"("Before"="original")", "[" + kK + "\\Gone]", R"("v"=dword:1)"});
        fs::create_directory(out_.parent_path());
    }
    std::size_t filesInOut() {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(out_.parent_path()), {}));
    }
    fs::path out_ = dir / "out" / "out.reg";
};

TEST_F(Failures, RegistryFailureRollsTheImportBackAndNamesTheLineOneBatchOneHandlePerKey) {
    Forwarding service(store());
    service.onSet = [](int n) { return n == 3 ? reg::kErrorAccessDenied : reg::kErrorSuccess; };
    const Result r = importRegBytes(service,
                                    ansiFile({"REGEDIT4", "[-" + kK + "\\Gone]", "[" + kK + "\\New]", R"("a"=dword:1)",
                                              R"("b"=dword:2)", "[" + kK + "]", R"("Before"="changed")"}),
                                    "test.reg");
    ASSERT_FALSE(r.ok);
    EXPECT_EQ(failingLine(r), 7) << r.message;
    EXPECT_NE(r.message.find("\"Before\""), std::string::npos) << r.message;
    EXPECT_EQ(service.creates, service.closes);
    if (kBatches) {
        EXPECT_EQ(std::pair(service.rollbacks, service.commits), std::pair(1, 0));
        EXPECT_EQ(snapshot(), before_);
    } else {
        EXPECT_NE(r.message.find("the lines before it were applied"), std::string::npos) << r.message;
    }
    std::string text = kHeader5 + "\r\n";
    for (int k = 0; k < 3; ++k) {
        text += "\r\n[" + kK + "\\Many\\Key" + std::to_string(k) + "]\r\n";
        for (int v = 0; v < 50; ++v)
            text += "\"Value" + std::to_string(v) + "\"=hex:00,01,02\r\n";
    }
    Forwarding counted(store());
    ASSERT_TRUE(importRegBytes(counted, "\xFF\xFE" + w(text), "test.reg").ok);
    EXPECT_EQ(std::vector<int>({3, 3, 150, 1, kBatches ? 1 : 0, 0}),
              std::vector<int>({counted.creates, counted.closes, counted.sets, counted.begins, counted.commits,
                                counted.rollbacks}));
}

TEST_F(Failures, WithoutBatchesTheWholeFileIsStillCheckedFirst) {
    Forwarding service(store());
    service.batches = false;
    const Result bad = importRegBytes(
        service, ansiFile({"REGEDIT4", "[" + kK + "\\New]", R"("a"=dword:1)", R"("b"=dword:nope)"}), "test.reg");
    EXPECT_EQ(failingLine(bad), 4);
    EXPECT_EQ(service.creates, 0);
    EXPECT_EQ(snapshot(), before_);
    ASSERT_TRUE(importRegBytes(service, ansiFile({"REGEDIT4", "[" + kK + "\\New]", R"("a"=dword:1)"}), "t").ok);
    EXPECT_EQ(service.commits + service.rollbacks, 0);
    EXPECT_TRUE(value(kK + "\\New", "a").has_value());
}

TEST_F(Failures, AFailedExportWritesNothingAndLeavesTheOldFileASuccessfulOneReplacesIt) {
    setSz(kK + "\\a\nb", "v", "x");
    set(kK + "\\values", "line\r\nbreak", reg::kRegBinary, "");
    for (const std::string& key : {kK + "\\missing", std::string("HKEY_CURRENT_USERS\\Software"), std::string("HKCU"),
                                   std::string("HKCU\\Software"), kK, kK + "\\values"}) {
        const Result r = exportRegFile(store(), out_.string(), key, Format::Unicode5);
        EXPECT_FALSE(r.ok) << key;
        // A name with a line break cannot be written in any form the reader takes back.
        const bool lineBreak = key == kK || key == kK + "\\values";
        EXPECT_NE(r.message.find(lineBreak ? "line break" : key), std::string::npos) << r.message;
        EXPECT_EQ(r.message.find_first_of("\r\n"), std::string::npos) << r.message;
        EXPECT_EQ(0u, filesInOut()) << key;
    }
    const Result r = exportRegFile(store(), (dir / "no such folder" / "out.reg").string(), kK + "\\Gone",
                                   Format::Unicode5);
    EXPECT_NE(r.message.find("out.reg"), std::string::npos) << r.message;
    EXPECT_FALSE(fs::exists(dir / "no such folder"));
    karvo::test::writeFile(out_, std::string(100000, 'x'));
    EXPECT_FALSE(exportRegFile(store(), out_.string(), kK + "\\missing", Format::Unicode5).ok);
    EXPECT_EQ(std::string(100000, 'x'), karvo::test::readFile(out_));
    for (const Format format : {Format::Unicode5, Format::Regedit4}) {
        ASSERT_TRUE(exportRegFile(store(), out_.string(), kK + "\\Gone", format).ok);
        expectFileEq(exportFile({"", "[" + kK + "\\Gone]", "\"v\"=dword:00000001", ""}, format),
                     karvo::test::readFile(out_));
        EXPECT_EQ(1u, filesInOut());  // no temporary left over
    }
    // Reading fails part-way, after much has been written.
    for (int i = 0; i < 200; ++i)
        set(kK + "\\Gone\\a", "v" + std::to_string(i), reg::kRegBinary, std::string(5000, 'Z'));
    setSz(kK + "\\Gone\\b Broken", "v", "x");
    const std::string old = karvo::test::readFile(out_);
    Forwarding failing(store());
    failing.unreadable = "Broken";
    const Result broken = exportRegFile(failing, out_.string(), kK + "\\Gone", Format::Unicode5);
    EXPECT_NE(broken.message.find("b Broken"), std::string::npos) << broken.message;
    EXPECT_EQ(old, karvo::test::readFile(out_));
    EXPECT_EQ(1u, filesInOut());
}

}  // namespace
}  // namespace karvo::regfile::test
