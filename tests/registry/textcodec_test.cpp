#include "registry/TextCodec.h"

#include <gtest/gtest.h>

using namespace karvo::text;

TEST(TextCodec, RoundTripsEveryPlane) {
    // ASCII, Latin-1, BMP (euro sign) and a supplementary character (surrogate pair in UTF-16).
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::string wide = utf8ToUtf16le(utf8);
    EXPECT_EQ(wide, std::string("a\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE", 10));
    EXPECT_EQ(utf16leToUtf8(wide), utf8);
}

TEST(TextCodec, BadInputBecomesReplacementNeverOverruns) {
    // A truncated sequence, an overlong slash and a lone continuation byte.
    EXPECT_EQ(utf8ToUtf16le("\xE2\x82"), std::string("\xFD\xFF\xFD\xFF", 4));
    EXPECT_EQ(utf16leToUtf8(utf8ToUtf16le("\xC0\xAF")), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_FALSE(isValidUtf8("\x80"));
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // an encoded surrogate
    EXPECT_TRUE(isValidUtf8("plain \xEF\xBF\xBD text"));
    // An unpaired surrogate and an odd trailing byte in stored data.
    EXPECT_EQ(utf16leToUtf8(std::string("\x00\xD8" "A\0" "B", 5)), "\xEF\xBF\xBD" "A");
}

TEST(TextCodec, Windows1252MapsTheHighHalf) {
    EXPECT_EQ(windows1252ToUtf8("\x80\x81\xE9"), "\xE2\x82\xAC\xC2\x81\xC3\xA9");
}
