#include "tree/KeyPaths.h"

#include <gtest/gtest.h>

using namespace karvo::tree;

TEST(NodeKeys, WriteAndReadBackAtEveryDepth) {
    const QString root = rootNodeKey(static_cast<std::int32_t>(0x80000002u));
    EXPECT_EQ(root, "K-2147483646");
    const QString software = childNodeKey(root, true, "Software");
    EXPECT_EQ(software, "K-2147483646,\\Software");
    const QString classes = childNodeKey(software, false, "Classes");
    EXPECT_EQ(classes, "K-2147483646,\\Software\\Classes");

    auto parts = readNodeKey(classes);
    ASSERT_TRUE(parts);
    EXPECT_EQ(static_cast<std::uint32_t>(parts->handle), 0x80000002u);
    EXPECT_EQ(parts->subKeyPath, "Software\\Classes");

    parts = readNodeKey(root);
    ASSERT_TRUE(parts);
    EXPECT_EQ(static_cast<std::uint32_t>(parts->handle), 0x80000002u);
    EXPECT_TRUE(parts->subKeyPath.isEmpty());
}

TEST(NodeKeys, CommaInsideAKeyNameDoesNotDisturbTheHivePart) {
    const QString key = childNodeKey(childNodeKey("K-2147483647", true, "a,b"), false, "c, d");
    const auto parts = readNodeKey(key);
    ASSERT_TRUE(parts);
    EXPECT_EQ(static_cast<std::uint32_t>(parts->handle), 0x80000001u);
    EXPECT_EQ(parts->subKeyPath, "a,b\\c, d");
    EXPECT_FALSE(readNodeKey("Unexpanded"));
    EXPECT_FALSE(readNodeKey(""));
}

TEST(KeySelection, OneUnderscorePerBlankAndRootsByExactName) {
    EXPECT_EQ(selectionFor("HKEY_USERS\\a  b.c-d", "a  b.c-d").name, "a__b.c-d");
    EXPECT_EQ(ShortRoot("hkey_current_user"), "hkey_current_user");
    EXPECT_EQ(rootOfKeyPath("HKEY_DYN_DATA\\x"), "_HKDD");
}
