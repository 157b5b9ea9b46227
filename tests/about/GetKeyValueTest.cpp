#include "about/frmAbout.h"

#include "FakeRegistry.h"

#include <gtest/gtest.h>

using karvo::about::GetKeyValue;
using karvo::reg::kHkeyLocalMachine;
using karvo::test::FakeRegistry;

namespace {

const std::string kKey = R"(SOFTWARE\Microsoft\Shared Tools\MSINFO)";

class ReadValue : public ::testing::Test {
protected:
    FakeRegistry reg;
    std::string out = "untouched";

    bool read(const std::string& name = "PATH") { return GetKeyValue(reg, kHkeyLocalMachine, kKey, name, out); }
    void bytes(std::initializer_list<std::uint8_t> data, karvo::reg::DWORD type, karvo::reg::DWORD size = 0xFFFFFFFF) {
        reg.keys[kKey]["PATH"] = {type, data, size};
    }
    void TearDown() override { EXPECT_TRUE(reg.open.empty()) << "a key was left open"; }
};

}  // namespace

TEST_F(ReadValue, TextIsCutAtTheReturnedSize) {
    reg.text(kKey, "PATH", R"(C:\WINDOWS\msinfo32.exe)");
    EXPECT_TRUE(read());
    EXPECT_EQ(out, R"(C:\WINDOWS\msinfo32.exe)");
    EXPECT_EQ(reg.rights.back(), 0x2003Fu);

    // No terminating zero: the text is taken whole, last character included.
    reg.text(kKey, "PATH", "abc", false);
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "abc");

    // The size handed back decides, not the bytes beyond it.
    bytes({'a', 'b', 0, 'd', 0}, 1, 3);
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "ab");
    bytes({'a', 'b', 'c', 'd', 0}, 1, 2);
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "ab");

    // An empty text value holds just its terminating zero.
    reg.text(kKey, "PATH", "");
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "");
}

TEST_F(ReadValue, NumbersAreDecimalLeastSignificantByteFirst) {
    bytes({0x39, 0x30, 0, 0}, 4);
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "12345");
    bytes({0, 0, 0, 1}, 4);
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "16777216");
    bytes({0xFF, 0xFF, 0xFF, 0xFF}, 4);
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "4294967295");
    bytes({0, 0, 0, 0}, 4);
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "0");
}

TEST_F(ReadValue, OtherTypesLeaveTheCallersText) {
    bytes({1, 2, 3}, 3);
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "untouched");
    bytes({'x', 0}, 2);  // expandable text is not read either
    EXPECT_TRUE(read());
    EXPECT_EQ(out, "untouched");
}

TEST_F(ReadValue, FailuresEmptyTheText) {
    EXPECT_FALSE(GetKeyValue(reg, kHkeyLocalMachine, "SOFTWARE\\Nowhere", "PATH", out));
    EXPECT_EQ(out, "");

    out = "untouched";
    reg.text(kKey, "OTHER", "x");
    EXPECT_FALSE(read("PATH"));
    EXPECT_EQ(out, "");

    // Larger than the 1024-byte buffer.
    out = "untouched";
    reg.text(kKey, "PATH", std::string(1024, 'x'));
    EXPECT_FALSE(read());
    EXPECT_EQ(out, "");
    reg.text(kKey, "PATH", std::string(1023, 'x'));
    EXPECT_TRUE(read());
    EXPECT_EQ(out.size(), 1023u);
}

TEST_F(ReadValue, AnEmptyValueIsRefusedAndTheKeyClosed) {
    bytes({}, 1);
    EXPECT_THROW(read(), karvo::about::EmptyValueError);
}
