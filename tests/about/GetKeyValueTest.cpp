#include "about/frmAbout.h"

#include "FakeRegistry.h"

#include <gtest/gtest.h>

using karvo::about::GetKeyValue;
using karvo::reg::kHkeyLocalMachine;

namespace {

const std::string kKey = R"(SOFTWARE\Microsoft\Shared Tools\MSINFO)";

class ReadValue : public ::testing::Test {
protected:
    karvo::test::FakeRegistry reg;
    std::string out = "untouched";

    bool read() { return GetKeyValue(reg, kHkeyLocalMachine, kKey, "PATH", out); }
    void bytes(std::vector<std::uint8_t> data, karvo::reg::DWORD type, karvo::reg::DWORD size = 0xFFFFFFFF) {
        reg.keys[kKey]["PATH"] = {type, std::move(data), size};
    }
    void TearDown() override { EXPECT_TRUE(reg.open.empty()) << "a key was left open"; }
};

}  // namespace

TEST_F(ReadValue, TextIsCutAtTheReturnedSize) {
    reg.text(kKey, "PATH", R"(C:\WINDOWS\msinfo32.exe)");
    EXPECT_TRUE(read());
    EXPECT_EQ(out, R"(C:\WINDOWS\msinfo32.exe)");
    EXPECT_EQ(reg.rights.back(), 0x2003Fu);

    reg.text(kKey, "PATH", "abc", false);  // no terminating zero: the last character stays
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "abc");
    bytes({'a', 'b', 0, 'd', 0}, 1, 3);  // the size handed back decides, not the bytes beyond it
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "ab");
    reg.text(kKey, "PATH", "");
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "");
}

TEST_F(ReadValue, NumbersAndOtherTypes) {
    const std::pair<std::vector<std::uint8_t>, const char*> numbers[] = {
        {{0x39, 0x30, 0, 0}, "12345"}, {{0, 0, 0, 1}, "16777216"}, {{0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
        {{0, 0, 0, 0}, "0"}};
    for (const auto& [data, text] : numbers) {
        bytes(data, 4);
        EXPECT_TRUE(read());
        EXPECT_EQ(out, text);
    }
    out = "untouched";
    bytes({1, 2, 3}, 3);
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "untouched");
}

TEST_F(ReadValue, FailuresEmptyTheText) {
    EXPECT_FALSE(GetKeyValue(reg, kHkeyLocalMachine, "SOFTWARE\\Nowhere", "PATH", out));
    EXPECT_EQ(out, "");
    out = "untouched";
    reg.text(kKey, "OTHER", "x");
    EXPECT_FALSE(read());  // no such value
    EXPECT_EQ(out, "");
    reg.text(kKey, "PATH", std::string(1024, 'x'));  // with its zero, larger than the buffer
    EXPECT_FALSE(read());
    reg.text(kKey, "PATH", std::string(1023, 'x'));
    EXPECT_TRUE(read());
    EXPECT_EQ(out.size(), 1023u);

    bytes({}, 1);  // no data at all: refused, and the key still closed
    EXPECT_THROW(read(), karvo::about::EmptyValueError);
}
