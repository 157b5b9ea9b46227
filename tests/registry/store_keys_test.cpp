// The store's keys: names, ordering, limits, views, access rights and deleted keys.
#include "store_support.h"

#include <string>
#include <vector>

namespace karvo::test {
namespace {

using Strings = std::vector<std::string>;

TEST_F(StoreTest, KeyNamesIgnoreCaseButKeepTheirSpelling) {
    HKey h = 0;
    DWORD disposition = 0;
    ASSERT_EQ(reg.RegCreateKeyExA(kHkeyCurrentUser, "Software\\Karvo Test\\Deep", 0, "", 0, 0x3F, nullptr, &h,
                                  &disposition),
              kErrorSuccess);
    EXPECT_EQ(disposition, kRegCreatedNewKey);
    EXPECT_EQ(path(h), "HKEY_CURRENT_USER\\Software\\Karvo Test\\Deep");
    HKey again = 0;
    ASSERT_EQ(reg.RegCreateKeyExA(kHkeyCurrentUser, "SOFTWARE\\karvo TEST\\deep", 0, "", 0, 0x3F, nullptr, &again,
                                  &disposition),
              kErrorSuccess);
    EXPECT_EQ(disposition, kRegOpenedExistingKey);
    EXPECT_EQ(path(again), "HKEY_CURRENT_USER\\Software\\Karvo Test\\Deep");

    // Doubled, leading and trailing separators name the same key.
    for (const char* spelling : {"software\\\\KARVO test\\", "\\Software\\Karvo Test\\\\"}) {
        HKey other = 0;
        ASSERT_EQ(open(kHkeyCurrentUser, spelling, kKeyRead, other), kErrorSuccess) << spelling;
        EXPECT_EQ(path(other), "HKEY_CURRENT_USER\\Software\\Karvo Test") << spelling;
        EXPECT_EQ(subKeys(other), Strings{"Deep"});
        reg.RegCloseKey(other);
    }
    EXPECT_EQ(reg.RegCloseKey(h), kErrorSuccess);
    EXPECT_EQ(reg.RegCloseKey(again), kErrorSuccess);
}

TEST_F(StoreTest, NonAsciiNamesFoldTheirCase) {
    HKey parent = create(kHkeyLocalMachine, "SOFTWARE\\Folding");
    for (const char* name : {"Ärger", "ελληνικά", "кириллица", "Łódź", "ÿes"})
        reg.RegCloseKey(create(parent, name));
    for (const char* other : {"äRGER", "ΕΛΛΗΝΙΚΆ", "КИРИЛЛИЦА", "łÓDŹ", "Ÿes"}) {
        HKey h = 0;
        EXPECT_EQ(open(parent, other, kKeyRead, h), kErrorSuccess) << other;
        reg.RegCloseKey(h);
    }
    // A different letter is a different key.
    HKey h = 0;
    EXPECT_EQ(open(parent, "Arger", kKeyRead, h), kErrorFileNotFound);
}

TEST_F(StoreTest, SubKeysEnumerateInUpperCaseOrder) {
    HKey parent = create(kHkeyCurrentUser, "Order");
    for (const char* name : {"beta", "_under", "Zulu", "Alpha", "alpha2", "a_b", "aZ", "10", "9"})
        reg.RegCloseKey(create(parent, name));
    // Compared upper-cased: "_" (0x5F) follows "Z" (0x5A), so "AZ" < "A_B" and "ZULU" < "_UNDER".
    EXPECT_EQ(subKeys(parent), (Strings{"10", "9", "Alpha", "alpha2", "aZ", "a_b", "beta", "Zulu", "_under"}));

    char buffer[256];
    EXPECT_EQ(reg.RegEnumKeyA(parent, 9, buffer, sizeof buffer), kErrorNoMoreItems);
    // "alpha2" needs 7 bytes with its zero.
    EXPECT_EQ(reg.RegEnumKeyA(parent, 3, buffer, 6), kErrorMoreData);
    ASSERT_EQ(reg.RegEnumKeyA(parent, 3, buffer, 7), kErrorSuccess);
    EXPECT_STREQ(buffer, "alpha2");
    EXPECT_EQ(reg.RegEnumKeyA(parent, 0, nullptr, 10), kErrorInvalidParameter);
}

TEST_F(StoreTest, NameLengthLimitIs255Characters) {
    HKey parent = create(kHkeyCurrentUser, "Limits");
    const std::string longest(255, 'k');
    reg.RegCloseKey(create(parent, longest));
    HKey h = 0;
    SecurityAttributes sa;
    EXPECT_EQ(reg.RegCreateKeyExA(parent, std::string(256, 'k').c_str(), 0, "", 0, 0x3F, &sa, &h, nullptr),
              kErrorInvalidParameter);
    EXPECT_EQ(open(parent, std::string(256, 'k'), kKeyRead, h), kErrorInvalidParameter);
    // 255 characters of two bytes each still fit: the limit counts characters, not bytes.
    std::string greek;
    for (int i = 0; i < 255; ++i)
        greek += "λ";
    reg.RegCloseKey(create(parent, greek));

    // A caller's 255-byte buffer cannot hold a 255-character name and its zero.
    char buffer[255];
    EXPECT_EQ(reg.RegEnumKeyA(parent, 0, buffer, sizeof buffer), kErrorMoreData);
    DWORD subKeys = 0, maxLen = 0;
    ASSERT_EQ(reg.RegQueryInfoKeyA(parent, nullptr, nullptr, nullptr, &subKeys, &maxLen, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr),
              kErrorSuccess);
    EXPECT_EQ(subKeys, 2u);
    EXPECT_EQ(maxLen, greek.size());  // in ANSI (UTF-8) bytes, the unit of the A functions' buffers
}

TEST_F(StoreTest, BadHandlesAndMissingKeysFailCleanly) {
    EXPECT_EQ(reg.RegCloseKey(0), kErrorInvalidHandle);
    EXPECT_EQ(reg.RegCloseKey(0x1234), kErrorInvalidHandle);
    HKey h = 0;
    EXPECT_NE(open(kHkeyDynData, "", kKeyRead, h), kErrorSuccess);
    EXPECT_NE(open(kHkeyPerformanceData, "", kKeyRead, h), kErrorSuccess);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(open(kHkeyLocalMachine, "NoSuchKey\\Below", kKeyRead, h), kErrorFileNotFound);
    EXPECT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE", 0, kKeyRead, nullptr), kErrorInvalidParameter);
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyLocalMachine, "NoSuchKey"), kErrorFileNotFound);
    EXPECT_EQ(reg.DeleteTree(kHkeyLocalMachine, "NoSuchKey"), kErrorFileNotFound);
    EXPECT_EQ(reg.RegDeleteValueA(kHkeyLocalMachine, "NoSuchValue"), kErrorFileNotFound);

    HKey closed = create(kHkeyCurrentUser, "Closed");
    ASSERT_EQ(reg.RegCloseKey(closed), kErrorSuccess);
    EXPECT_EQ(reg.RegCloseKey(closed), kErrorInvalidHandle);
    EXPECT_EQ(setSz(closed, "v", "x"), kErrorInvalidHandle);
    std::string p;
    EXPECT_FALSE(reg.KeyPath(closed, p));
    EXPECT_FALSE(reg.KeyPath(kHkeyDynData, p));
}

TEST_F(StoreTest, DeleteKeyRefusesKeysWithSubKeysRootsAndViewBases) {
    HKey parent = create(kHkeyCurrentUser, "Parent\\Child");
    reg.RegCloseKey(parent);
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyCurrentUser, "Parent"), kErrorAccessDenied);
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyCurrentUser, "parent\\child"), kErrorSuccess);
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyCurrentUser, "Parent"), kErrorSuccess);
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyCurrentUser, nullptr), kErrorInvalidParameter);

    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyCurrentUser, ""), kErrorAccessDenied);
    EXPECT_EQ(reg.DeleteTree(kHkeyCurrentUser, ""), kErrorAccessDenied);
    EXPECT_EQ(reg.DeleteTree(kHkeyLocalMachine, "SOFTWARE"), kErrorAccessDenied);  // holds HKEY_CLASSES_ROOT
    EXPECT_EQ(reg.DeleteTree(kHkeyUsers, "S-1-5-21-1000"), kErrorAccessDenied);
    EXPECT_EQ(reg.DeleteTree(kHkeyLocalMachine, nullptr), kErrorAccessDenied);
    HKey h = 0;
    EXPECT_EQ(open(kHkeyCurrentConfig, "", kKeyRead, h), kErrorSuccess);
}

TEST_F(StoreTest, DeleteTreeRemovesTheWholeSubTree) {
    HKey top = create(kHkeyCurrentUser, "Tree");
    for (int i = 0; i < 5; ++i) {
        std::string p = "Branch" + std::to_string(i);
        for (int depth = 0; depth < 4; ++depth) {
            p += "\\Level" + std::to_string(depth);
            HKey k = create(top, p);
            EXPECT_EQ(setSz(k, "v", p), kErrorSuccess);
            reg.RegCloseKey(k);
        }
    }
    EXPECT_EQ(setSz(top, "own", "x"), kErrorSuccess);
    HKey sibling = create(kHkeyCurrentUser, "TreeSibling");
    EXPECT_EQ(setSz(sibling, "kept", "x"), kErrorSuccess);

    // Without a sub-key the key is emptied but stays.
    ASSERT_EQ(reg.DeleteTree(top, nullptr), kErrorSuccess);
    EXPECT_TRUE(subKeys(top).empty());
    EXPECT_TRUE(valueNames(top).empty());
    reg.RegCloseKey(create(top, "Again\\Below"));
    ASSERT_EQ(reg.DeleteTree(kHkeyCurrentUser, "TREE"), kErrorSuccess);
    HKey h = 0;
    EXPECT_EQ(open(kHkeyCurrentUser, "Tree", kKeyRead, h), kErrorFileNotFound);
    EXPECT_EQ(valueNames(sibling), Strings{"kept"});
}

TEST_F(StoreTest, ViewsShareTheirBaseAndAnswerInTheirOwnTerms) {
    HKey user = create(kHkeyCurrentUser, "Software\\ViewTest");
    EXPECT_EQ(setSz(user, "v", "x"), kErrorSuccess);
    HKey viaUsers = 0;
    ASSERT_EQ(open(kHkeyUsers, "S-1-5-21-1000\\software\\viewtest", kKeyRead, viaUsers), kErrorSuccess);
    EXPECT_EQ(valueNames(viaUsers), Strings{"v"});
    EXPECT_EQ(path(viaUsers), "HKEY_USERS\\S-1-5-21-1000\\Software\\ViewTest");

    HKey cls = create(kHkeyClassesRoot, ".karvo");
    EXPECT_EQ(path(cls), "HKEY_CLASSES_ROOT\\.karvo");
    HKey viaMachine = 0;
    ASSERT_EQ(open(kHkeyLocalMachine, "SOFTWARE\\Classes\\.KARVO", kKeyRead, viaMachine), kErrorSuccess);
    EXPECT_EQ(path(viaMachine), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.karvo");

    // A handle opened below a view keeps the view's terms.
    HKey below = 0;
    ASSERT_EQ(open(user, "", kKeyRead, below), kErrorSuccess);
    EXPECT_EQ(path(below), "HKEY_CURRENT_USER\\Software\\ViewTest");
    EXPECT_EQ(path(kHkeyCurrentConfig), "HKEY_CURRENT_CONFIG");

    HKey profile = 0;
    EXPECT_EQ(open(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current", kKeyRead, profile),
              kErrorSuccess);
}

TEST_F(StoreTest, AccessRightsOfTheHandleAreHonoured) {
    reg.RegCloseKey(create(kHkeyCurrentUser, "Rights\\Existing"));
    HKey query = 0, enumerate = 0;
    ASSERT_EQ(open(kHkeyCurrentUser, "Rights", kKeyQueryValue, query), kErrorSuccess);
    ASSERT_EQ(open(kHkeyCurrentUser, "Rights", kKeyEnumerateSubKeys, enumerate), kErrorSuccess);

    char name[256];
    std::string raw;
    EXPECT_EQ(reg.RegEnumKeyA(query, 0, name, sizeof name), kErrorAccessDenied);
    EXPECT_EQ(reg.EnumKeyRaw(query, 0, raw), kErrorAccessDenied);
    EXPECT_EQ(reg.RegEnumKeyA(enumerate, 0, name, sizeof name), kErrorSuccess);

    EXPECT_EQ(setSz(query, "v", "x"), kErrorAccessDenied);
    EXPECT_EQ(reg.RegDeleteValueA(query, "v"), kErrorAccessDenied);
    DWORD size = 0;
    EXPECT_EQ(reg.RegQueryValueExA(enumerate, "v", nullptr, nullptr, nullptr, &size), kErrorAccessDenied);
    DWORD values = 0;
    EXPECT_EQ(reg.RegQueryInfoKeyA(enumerate, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                                   nullptr, nullptr, nullptr),
              kErrorAccessDenied);

    // Creating needs the right; opening an existing key through create does not.
    HKey sub = 0;
    EXPECT_EQ(reg.RegCreateKeyExA(query, "New", 0, "", 0, 0x3F, nullptr, &sub, nullptr), kErrorAccessDenied);
    EXPECT_EQ(reg.RegCreateKeyExA(query, "Existing", 0, "", 0, 0x3F, nullptr, &sub, nullptr), kErrorSuccess);
    reg.RegCloseKey(sub);

    HKey writable = 0;
    ASSERT_EQ(open(kHkeyCurrentUser, "Rights", kKeySetValue | kKeyCreateSubKey, writable), kErrorSuccess);
    EXPECT_EQ(setSz(writable, "v", "x"), kErrorSuccess);
    EXPECT_EQ(reg.RegCreateKeyExA(writable, "New", 0, "", 0, 0x3F, nullptr, &sub, nullptr), kErrorSuccess);
    EXPECT_EQ(reg.RegQueryValueExA(query, "v", nullptr, nullptr, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(reg.RegDeleteValueA(writable, "V"), kErrorSuccess);
}

TEST_F(StoreTest, HandleToADeletedKeyNeverReachesANewOne) {
    HKey old = create(kHkeyCurrentUser, "Doomed");
    EXPECT_EQ(setSz(old, "v", "old"), kErrorSuccess);
    HKey other = 0;
    ASSERT_EQ(open(kHkeyCurrentUser, "Doomed", kKeyAllAccess, other), kErrorSuccess);
    ASSERT_EQ(reg.RegDeleteKeyA(kHkeyCurrentUser, "Doomed"), kErrorSuccess);

    HKey fresh = create(kHkeyCurrentUser, "Doomed");
    EXPECT_EQ(setSz(old, "v", "stale"), kErrorKeyDeleted);
    EXPECT_EQ(reg.RegDeleteValueA(old, "v"), kErrorKeyDeleted);
    std::string name;
    EXPECT_EQ(reg.EnumKeyRaw(other, 0, name), kErrorKeyDeleted);
    HKey child = 0;
    EXPECT_EQ(reg.RegCreateKeyExA(other, "Child", 0, "", 0, 0x3F, nullptr, &child, nullptr), kErrorKeyDeleted);
    EXPECT_TRUE(valueNames(fresh).empty());
    EXPECT_TRUE(subKeys(fresh).empty());
    std::string p;
    EXPECT_FALSE(reg.KeyPath(old, p));
    // The stale handle can still be closed, once.
    EXPECT_EQ(reg.RegCloseKey(old), kErrorSuccess);
    EXPECT_EQ(reg.RegCloseKey(old), kErrorInvalidHandle);

    // The same through a second store on the same file (another process, as far as the store knows).
    auto second = openStore(file);
    ASSERT_EQ(second->RegDeleteKeyA(kHkeyCurrentUser, "Doomed"), kErrorSuccess);
    EXPECT_EQ(setSz(fresh, "v", "x"), kErrorKeyDeleted);
}

TEST_F(StoreTest, QueryInfoCountsAndMeasures) {
    HKey h = create(kHkeyCurrentUser, "Info");
    reg.RegCloseKey(create(h, "Short"));
    reg.RegCloseKey(create(h, "A Longer Name"));
    EXPECT_EQ(setSz(h, "Name", "12345"), kErrorSuccess);
    EXPECT_EQ(setSz(h, "Longest value name", "1"), kErrorSuccess);
    DWORD subKeys = 0, maxKey = 0, values = 0, maxName = 0, maxData = 0;
    char cls[8] = "junk";
    DWORD clsLen = sizeof cls;
    ASSERT_EQ(reg.RegQueryInfoKeyA(h, cls, &clsLen, nullptr, &subKeys, &maxKey, nullptr, &values, &maxName, &maxData,
                                   nullptr, nullptr),
              kErrorSuccess);
    EXPECT_EQ(subKeys, 2u);
    EXPECT_EQ(maxKey, 13u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxName, 18u);
    EXPECT_EQ(maxData, 6u);
    EXPECT_EQ(clsLen, 0u);
}

}  // namespace
}  // namespace karvo::test
