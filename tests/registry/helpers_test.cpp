// The kernel helpers and text conversion, on every back end.
#include "TestSupport.h"
#include "registry/RegistryService.h"
#include "registry/TextCodec.h"

#include <gtest/gtest.h>

namespace karvo::test {
namespace {

using namespace karvo::text;
using karvo::reg::DWORD;

std::string expand(const char* text) {
    const DWORD needed = karvo::reg::ExpandEnvironmentStringsA(text, nullptr, 0);
    std::string out(needed, '#');
    EXPECT_EQ(karvo::reg::ExpandEnvironmentStringsA(text, out.data(), needed), needed);
    out.pop_back();
    return out;
}

TEST(Environment, ExpandsKnownNamesIgnoringCaseAndKeepsTheRest) {
    ScopedEnv a("KARVO_TEST_DIR", "C:\\Karvo");
    for (const auto& [text, expanded] : std::initializer_list<std::pair<const char*, const char*>>{
             {"%KARVO_TEST_DIR%\\bin", "C:\\Karvo\\bin"}, {"x%karvo_test_dir%y", "xC:\\Karvoy"}, {"100%", "100%"}, {"%%", "%%"},
             {"%KARVO_NO_SUCH_NAME%", "%KARVO_NO_SUCH_NAME%"}, {"", ""},
             {"50% of %KARVO_TEST_DIR%", "50% of %KARVO_TEST_DIR%"},  // "% of %" is a name
             {"%KARVO_NO_SUCH_NAME%%KARVO_TEST_DIR%", "%KARVO_NO_SUCH_NAME%C:\\Karvo"}})
        EXPECT_EQ(expand(text), expanded) << text;
    // What a short buffer holds afterwards is not defined on Windows (Wine fills it part way).
    char buffer[4], bytes[] = "abcdef";
    EXPECT_EQ(karvo::reg::ExpandEnvironmentStringsA("%KARVO_TEST_DIR%", buffer, 4), 9u);
    karvo::reg::RtlMoveMemory(bytes + 1, bytes, 4);
    EXPECT_STREQ(bytes, "aabcdf");
}

TEST(TextCodec, RoundTripsEveryPlaneAndReplacesBadInput) {
    // ASCII, Latin-1, BMP (euro sign) and a supplementary character (surrogate pair in UTF-16).
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    EXPECT_EQ(utf8ToUtf16le(utf8), std::string("a\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE", 10));
    EXPECT_EQ(utf16leToUtf8(utf8ToUtf16le(utf8)), utf8);
    // A truncated sequence, an overlong slash, an encoded surrogate, a lone continuation byte.
    EXPECT_EQ(utf8ToUtf16le("\xE2\x82"), std::string("\xFD\xFF\xFD\xFF", 4));
    EXPECT_EQ(utf16leToUtf8(utf8ToUtf16le("\xC0\xAF")), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_FALSE(isValidUtf8("\x80") || isValidUtf8("\xED\xA0\x80"));
    EXPECT_TRUE(isValidUtf8("plain \xEF\xBF\xBD text"));
    // An unpaired surrogate and an odd trailing byte in stored data.
    EXPECT_EQ(utf16leToUtf8(std::string("\x00\xD8" "A\0" "B", 5)), "\xEF\xBF\xBD" "A");
    EXPECT_EQ(windows1252ToUtf8("\x80\x81\xE9"), "\xE2\x82\xAC\xC2\x81\xC3\xA9");
}

}  // namespace
}  // namespace karvo::test
