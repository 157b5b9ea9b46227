#include "tree/KeyPaths.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace karvo::tree;

TEST(NodeKeys, WriteAndReadBackAtEveryDepthCommasInNamesIncluded) {
    const std::string root = rootNodeKey(static_cast<std::int32_t>(0x80000002u));
    const std::string classes = childNodeKey(childNodeKey(root, true, "Software"), false, "Classes");
    EXPECT_EQ(root, "K-2147483646");
    EXPECT_EQ(classes, "K-2147483646,\\Software\\Classes");
    const std::string commas = childNodeKey(childNodeKey("K-2147483647", true, "a,b"), false, "c, d");
    for (const auto& [key, handle, sub] : std::vector<std::tuple<std::string, std::uint32_t, std::string>>{
             {root, 0x80000002u, ""}, {classes, 0x80000002u, "Software\\Classes"},
             {commas, 0x80000001u, "a,b\\c, d"}}) {
        const auto parts = readNodeKey(key);
        ASSERT_TRUE(parts) << key;
        EXPECT_EQ(static_cast<std::uint32_t>(parts->handle), handle);
        EXPECT_EQ(parts->subKeyPath, sub);
    }
    for (const char* notAKey : {"Unexpanded", ""})
        EXPECT_FALSE(readNodeKey(notAKey)) << notAKey;
}

TEST(KeySelection, OneUnderscorePerBlankAndRootsByExactName) {
    const KeySelection s = selectionFor("HKEY_USERS\\a  b.c-d", "a  b.c-d");
    EXPECT_EQ(s.name, "a__b.c-d");
    EXPECT_EQ(s.fileName, "a__b.c-d_HKU.reg");
    EXPECT_EQ(ShortRoot("hkey_current_user"), "hkey_current_user");
    EXPECT_EQ(rootOfKeyPath("HKEY_DYN_DATA\\x"), "_HKDD");
}
