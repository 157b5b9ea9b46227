// The About box's value reader, against a registry that hands back exactly what it is told.
#include "about/frmAbout.h"

#include "FakeRegistry.h"

#include <gtest/gtest.h>

using karvo::about::GetKeyValue;
using karvo::reg::kHkeyLocalMachine;
using namespace std::string_literals;

namespace {

const std::string kKey = R"(SOFTWARE\Microsoft\Shared Tools\MSINFO)";

TEST(ReadValue, TextIsCutAtTheReturnedSizeNumbersReadAsDecimalOtherTypesLeaveItAlone) {
    const struct {
        karvo::reg::DWORD type;
        std::string data;
        karvo::reg::DWORD size;  // as handed back; the data's own size when ~0
        bool ok;
        std::string text;
    } cases[] = {
        {1, "C:\\WINDOWS\\msinfo32.exe\0"s, ~0u, true, "C:\\WINDOWS\\msinfo32.exe"},
        {1, "abc", ~0u, true, "abc"},        // no terminating zero: the last character stays
        {1, "ab\0d\0"s, 3, true, "ab"},      // the size handed back decides, not the bytes beyond it
        {1, "\0"s, ~0u, true, ""},
        {1, std::string(1023, 'x') + '\0', ~0u, true, std::string(1023, 'x')},
        {1, std::string(1024, 'x') + '\0', ~0u, false, ""},  // larger than the buffer
        {4, "\x39\x30\0\0"s, ~0u, true, "12345"},
        {4, "\0\0\0\1"s, ~0u, true, "16777216"},
        {4, "\xFF\xFF\xFF\xFF", ~0u, true, "4294967295"},
        {4, "\0\0\0\0"s, ~0u, true, "0"},
        {3, "\1\2\3", ~0u, true, "untouched"},
    };
    for (const auto& c : cases) {
        karvo::test::FakeRegistry reg;
        reg.keys[kKey]["PATH"] = {c.type, {c.data.begin(), c.data.end()}, c.size};
        std::string out = "untouched";
        EXPECT_EQ(GetKeyValue(reg, kHkeyLocalMachine, kKey, "PATH", out), c.ok) << c.text;
        EXPECT_EQ(out, c.text);
        EXPECT_EQ(reg.rights, std::vector<karvo::reg::DWORD>{0x2003F});
        EXPECT_TRUE(reg.open.empty()) << "a key was left open";
    }
}

TEST(ReadValue, AMissingKeyOrValueEmptiesTheTextAndNoDataThrows) {
    karvo::test::FakeRegistry reg;
    std::string out = "untouched";
    EXPECT_FALSE(GetKeyValue(reg, kHkeyLocalMachine, kKey, "PATH", out));
    EXPECT_EQ(out, "");
    out = "untouched";
    reg.text(kKey, "OTHER", "x");
    EXPECT_FALSE(GetKeyValue(reg, kHkeyLocalMachine, kKey, "PATH", out));
    EXPECT_EQ(out, "");
    reg.keys[kKey]["PATH"] = {1, {}};
    EXPECT_THROW(GetKeyValue(reg, kHkeyLocalMachine, kKey, "PATH", out), karvo::about::EmptyValueError);
    EXPECT_TRUE(reg.open.empty()) << "a key was left open";
}

}  // namespace
