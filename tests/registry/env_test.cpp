// The kernel helpers: environment expansion with Windows rules, and the memory copy.
#include "TestSupport.h"
#include "registry/RegistryService.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace karvo::test {
namespace {

using karvo::reg::DWORD;

std::string expand(const char* text) {
    const DWORD needed = karvo::reg::ExpandEnvironmentStringsA(text, nullptr, 0);
    std::string out(needed, '#');
    EXPECT_EQ(karvo::reg::ExpandEnvironmentStringsA(text, out.data(), needed), needed);
    EXPECT_EQ(out.back(), '\0');
    out.pop_back();
    return out;
}

TEST(StoreEnvironment, ExpandsKnownNamesIgnoringCaseAndKeepsTheRest) {
    ScopedEnv a("KARVO_TEST_DIR", "C:\\Karvo");
    ScopedEnv b("karvo_test_lower", "low");
    EXPECT_EQ(expand("%KARVO_TEST_DIR%\\bin"), "C:\\Karvo\\bin");
    EXPECT_EQ(expand("%karvo_test_dir%"), "C:\\Karvo");
    EXPECT_EQ(expand("x%KARVO_TEST_LOWER%y"), "xlowy");
    EXPECT_EQ(expand("%KARVO_NO_SUCH_NAME%"), "%KARVO_NO_SUCH_NAME%");
    EXPECT_EQ(expand("100%"), "100%");
    EXPECT_EQ(expand("%%"), "%%");
    EXPECT_EQ(expand("50% of %KARVO_TEST_DIR%"), "50% of %KARVO_TEST_DIR%");  // "% of %" is a name
    EXPECT_EQ(expand("%KARVO_NO_SUCH_NAME%%KARVO_TEST_DIR%"), "%KARVO_NO_SUCH_NAME%C:\\Karvo");
    EXPECT_EQ(expand(""), "");
}

TEST(StoreEnvironment, ShortBufferGetsTheSize) {
    // What a short buffer holds afterwards is not defined on Windows (Wine fills it part way).
    ScopedEnv a("KARVO_TEST_DIR", "0123456789");
    char buffer[8];
    EXPECT_EQ(karvo::reg::ExpandEnvironmentStringsA("%KARVO_TEST_DIR%", buffer, 4), 11u);
}

TEST(StoreEnvironment, MoveMemoryCopiesOverlappingBytes) {
    char bytes[] = "abcdef";
    karvo::reg::RtlMoveMemory(bytes + 1, bytes, 4);
    EXPECT_STREQ(bytes, "aabcdf");
    karvo::reg::RtlMoveMemory(nullptr, bytes, 0);
}

}  // namespace
}  // namespace karvo::test
