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

TEST(KeySelection, FieldsAClickProduces) {
    auto s = selectionFor("HKEY_CURRENT_USER", "HKEY_CURRENT_USER");
    EXPECT_EQ(s.name, "HKEY_CURRENT_USER");
    EXPECT_EQ(s.root, "_HKCU");
    EXPECT_EQ(s.fileName, "HKEY_CURRENT_USER_HKCU.reg");

    s = selectionFor("HKEY_CURRENT_USER\\Control Panel", "Control Panel");
    EXPECT_EQ(s.name, "Control_Panel");
    EXPECT_EQ(s.fileName, "Control_Panel_HKCU.reg");

    // One "_" per blank, nothing else touched.
    s = selectionFor("HKEY_USERS\\a  b.c-d", "a  b.c-d");
    EXPECT_EQ(s.name, "a__b.c-d");
    EXPECT_EQ(s.root, "_HKU");

    // Full names compare exactly: another spelling is kept as it is.
    EXPECT_EQ(ShortRoot("hkey_current_user"), "hkey_current_user");
    EXPECT_EQ(rootOfKeyPath("HKEY_DYN_DATA\\x"), "_HKDD");
    EXPECT_EQ(rootOfKeyPath("HKEY_CURRENT_CONFIG"), "_HKCC");
    EXPECT_EQ(defaultFileName("", "_HKCU"), "_HKCU.reg");
}
