// The store's values: order, names, the ANSI conversions and their sizes, and batches.
#include "store_support.h"

#include <chrono>
#include <cstring>
#include <thread>
#include <string>
#include <vector>

namespace karvo::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST_F(StoreTest, ValuesKeepCreationOrderWhenOverwritten) {
    HKey h = create(kHkeyCurrentUser, "Values");
    for (const char* name : {"zeta", "Alpha", "", "mid"})
        EXPECT_EQ(setSz(h, name, "1"), kErrorSuccess);
    EXPECT_EQ(setSz(h, "ALPHA", "2"), kErrorSuccess);  // same value, other case: keeps place and spelling
    EXPECT_EQ(valueNames(h), (Strings{"zeta", "Alpha", "", "mid"}));
    ASSERT_EQ(reg.RegDeleteValueA(h, "zeta"), kErrorSuccess);
    EXPECT_EQ(setSz(h, "zeta", "3"), kErrorSuccess);
    EXPECT_EQ(valueNames(h), (Strings{"Alpha", "", "mid", "zeta"}));
    EXPECT_EQ(reg.RegDeleteValueA(h, "zeta"), kErrorSuccess);
    EXPECT_EQ(reg.RegDeleteValueA(h, "zeta"), kErrorFileNotFound);

    DWORD type = 0;
    Bytes data;
    ASSERT_EQ(reg.QueryValueRaw(h, "alpha", type, data), kErrorSuccess);
    EXPECT_EQ(data, bytes(std::string("2\0\0\0", 4)));
    // A null name is the default value.
    ASSERT_EQ(reg.RegSetValueExA(h, nullptr, 0, kRegDword, reinterpret_cast<const std::uint8_t*>("\x2A\0\0\0"), 4),
              kErrorSuccess);
    ASSERT_EQ(reg.QueryValueRaw(h, "", type, data), kErrorSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(data, bytes(std::string("\x2A\0\0\0", 4)));
}

TEST_F(StoreTest, AnsiFunctionsConvertStringsAndReportAnsiSizes) {
    HKey h = create(kHkeyCurrentUser, "Ansi");
    const std::string text = "h\xC3\xA9llo \xE2\x82\xAC";  // "héllo €": 10 UTF-8 bytes, 7 characters
    ASSERT_EQ(setSz(h, "s", text), kErrorSuccess);
    DWORD type = 0;
    Bytes raw;
    ASSERT_EQ(reg.QueryValueRaw(h, "s", type, raw), kErrorSuccess);
    EXPECT_EQ(raw.size(), 16u);  // 8 UTF-16 units, the zero included
    EXPECT_EQ(raw[2], 0xE9);
    EXPECT_EQ(raw[3], 0x00);

    DWORD size = 0;
    EXPECT_EQ(reg.RegQueryValueExA(h, "s", nullptr, &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(size, 11u);
    std::uint8_t small[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    size = 3;
    EXPECT_EQ(reg.RegQueryValueExA(h, "s", nullptr, &type, small, &size), kErrorMoreData);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(small[3], 0xEE);  // nothing written past the caller's size
    std::uint8_t buffer[32];
    size = sizeof buffer;
    ASSERT_EQ(reg.RegQueryValueExA(h, "s", nullptr, &type, buffer, &size), kErrorSuccess);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), text);

    // Multi-strings keep their inner zeros; binary data is not converted.
    const std::string multi("a\0b\0\0", 5);
    ASSERT_EQ(reg.RegSetValueExA(h, "m", 0, kRegMultiSz, reinterpret_cast<const std::uint8_t*>(multi.data()), 5),
              kErrorSuccess);
    ASSERT_EQ(reg.QueryValueRaw(h, "m", type, raw), kErrorSuccess);
    EXPECT_EQ(raw.size(), 10u);
    size = sizeof buffer;
    ASSERT_EQ(reg.RegQueryValueExA(h, "m", nullptr, &type, buffer, &size), kErrorSuccess);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), multi);
    ASSERT_EQ(reg.RegSetValueExA(h, "b", 0, kRegBinary, reinterpret_cast<const std::uint8_t*>(text.data()), 10),
              kErrorSuccess);
    ASSERT_EQ(reg.QueryValueRaw(h, "b", type, raw), kErrorSuccess);
    EXPECT_EQ(raw, bytes(text));

    // RegEnumValueA: name length without the zero, data in ANSI bytes.
    char name[8];
    DWORD nameLen = sizeof name;
    size = sizeof buffer;
    ASSERT_EQ(reg.RegEnumValueA(h, 0, name, &nameLen, nullptr, &type, buffer, &size), kErrorSuccess);
    EXPECT_EQ(nameLen, 1u);
    EXPECT_STREQ(name, "s");
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(reg.RegEnumValueA(h, 3, name, &nameLen, nullptr, nullptr, nullptr, nullptr), kErrorNoMoreItems);
}

TEST_F(StoreTest, EnumValueRefusesANameThatDoesNotFit) {
    HKey h = create(kHkeyCurrentUser, "Names");
    ASSERT_EQ(setSz(h, "abcd", "x"), kErrorSuccess);
    char name[5];
    DWORD len = 4;  // room for "abc" and the zero
    EXPECT_EQ(reg.RegEnumValueA(h, 0, name, &len, nullptr, nullptr, nullptr, nullptr), kErrorMoreData);
    len = 5;
    EXPECT_EQ(reg.RegEnumValueA(h, 0, name, &len, nullptr, nullptr, nullptr, nullptr), kErrorSuccess);
    EXPECT_EQ(len, 4u);
    EXPECT_EQ(reg.RegEnumValueA(h, 0, nullptr, &len, nullptr, nullptr, nullptr, nullptr), kErrorInvalidParameter);
}

TEST_F(StoreTest, OddOrBrokenStringDataIsReadSafely) {
    HKey h = create(kHkeyCurrentUser, "Odd");
    const std::uint8_t odd[] = {'A', 0, 'B'};
    ASSERT_EQ(reg.SetValueRaw(h, "odd", kRegSz, odd, sizeof odd), kErrorSuccess);
    const std::uint8_t lone[] = {0x00, 0xD8, 'x', 0};  // an unpaired surrogate
    ASSERT_EQ(reg.SetValueRaw(h, "lone", kRegExpandSz, lone, sizeof lone), kErrorSuccess);
    ASSERT_EQ(reg.SetValueRaw(h, "empty", kRegSz, nullptr, 0), kErrorSuccess);

    std::uint8_t buffer[16];
    DWORD type = 0, size = sizeof buffer;
    ASSERT_EQ(reg.RegQueryValueExA(h, "odd", nullptr, &type, buffer, &size), kErrorSuccess);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), "A");
    size = sizeof buffer;
    ASSERT_EQ(reg.RegQueryValueExA(h, "lone", nullptr, &type, buffer, &size), kErrorSuccess);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), "\xEF\xBF\xBDx");
    size = sizeof buffer;
    ASSERT_EQ(reg.RegQueryValueExA(h, "empty", nullptr, &type, buffer, &size), kErrorSuccess);
    EXPECT_EQ(size, 0u);
    // The raw form keeps every byte as given.
    Bytes raw;
    ASSERT_EQ(reg.QueryValueRaw(h, "odd", type, raw), kErrorSuccess);
    EXPECT_EQ(raw, Bytes(odd, odd + 3));

    EXPECT_EQ(reg.RegSetValueExA(h, "x", 0, kRegBinary, nullptr, 4), kErrorInvalidParameter);
    EXPECT_EQ(reg.RegQueryValueExA(h, "odd", nullptr, &type, buffer, nullptr), kErrorInvalidParameter);
    EXPECT_EQ(reg.RegQueryValueExA(h, "missing", nullptr, &type, nullptr, &size), kErrorFileNotFound);
}

TEST_F(StoreTest, BatchCommitsAllOrRollsBackAll) {
    HKey h = create(kHkeyCurrentUser, "Batch");
    ASSERT_EQ(setSz(h, "before", "1"), kErrorSuccess);
    ASSERT_EQ(reg.BeginBatch(), kErrorSuccess);
    EXPECT_EQ(setSz(h, "inside", "1"), kErrorSuccess);
    HKey made = create(h, "Made\\Deeper");
    EXPECT_EQ(reg.RegDeleteValueA(h, "before"), kErrorSuccess);
    EXPECT_EQ(valueNames(h), Strings{"inside"});  // the batch sees its own changes
    ASSERT_EQ(reg.RollbackBatch(), kErrorSuccess);
    EXPECT_EQ(valueNames(h), Strings{"before"});
    EXPECT_TRUE(subKeys(h).empty());
    // The handle to a key that the rollback took away stays dead even when its id comes back.
    HKey again = create(h, "Other\\Keys");
    EXPECT_EQ(setSz(made, "v", "x"), kErrorKeyDeleted);
    EXPECT_TRUE(valueNames(again).empty());

    ASSERT_EQ(reg.BeginBatch(), kErrorSuccess);
    EXPECT_EQ(setSz(h, "kept", "1"), kErrorSuccess);
    ASSERT_EQ(reg.BeginBatch(), kErrorSuccess);  // nested: undone alone
    EXPECT_EQ(setSz(h, "nested", "1"), kErrorSuccess);
    ASSERT_EQ(reg.RollbackBatch(), kErrorSuccess);
    ASSERT_EQ(reg.CommitBatch(), kErrorSuccess);
    EXPECT_EQ(valueNames(h), (Strings{"before", "kept"}));
    EXPECT_EQ(reg.CommitBatch(), kErrorInvalidParameter);
    EXPECT_EQ(reg.RollbackBatch(), kErrorInvalidParameter);

    // Committed changes are visible to another connection.
    auto second = openStore(file);
    HKey seen = 0;
    ASSERT_EQ(second->RegOpenKeyExA(kHkeyCurrentUser, "Batch", 0, kKeyRead, &seen), kErrorSuccess);
    DWORD size = 0;
    EXPECT_EQ(second->RegQueryValueExA(seen, "kept", nullptr, nullptr, nullptr, &size), kErrorSuccess);
}

TEST_F(StoreTest, EnumerationSeesChangesFromOtherConnections) {
    HKey h = create(kHkeyCurrentUser, "Shared");
    reg.RegCloseKey(create(h, "B"));
    EXPECT_EQ(subKeys(h), Strings{"B"});
    EXPECT_EQ(setSz(h, "one", "1"), kErrorSuccess);
    EXPECT_EQ(valueNames(h), Strings{"one"});

    auto second = openStore(file);
    HKey other = 0;
    ASSERT_EQ(second->RegCreateKeyExA(kHkeyCurrentUser, "Shared\\A", 0, "", 0, 0x3F, nullptr, &other, nullptr),
              kErrorSuccess);
    HKey shared = 0;
    ASSERT_EQ(second->RegOpenKeyExA(kHkeyCurrentUser, "Shared", 0, kKeyAllAccess, &shared), kErrorSuccess);
    ASSERT_EQ(second->SetValueRaw(shared, "two", kRegBinary, nullptr, 0), kErrorSuccess);
    // A read snapshot lives a few milliseconds; after that others' commits show.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(subKeys(h), (Strings{"A", "B"}));
    EXPECT_EQ(valueNames(h), (Strings{"one", "two"}));
    // Creation order holds across connections: the order counter is shared, not per process.
    EXPECT_EQ(setSz(h, "three", "3"), kErrorSuccess);
    EXPECT_EQ(valueNames(h), (Strings{"one", "two", "three"}));
    // Own changes show at once too.
    ASSERT_EQ(reg.RegDeleteKeyA(h, "a"), kErrorSuccess);
    EXPECT_EQ(subKeys(h), Strings{"B"});
}

TEST_F(StoreTest, EnumerationUnderWayKeepsItsListAgainstOtherProcesses) {
    HKey h = create(kHkeyCurrentUser, "Steady");
    reg.RegCloseKey(create(h, "A"));
    reg.RegCloseKey(create(h, "C"));
    std::string name;
    ASSERT_EQ(reg.EnumKeyRaw(h, 0, name), kErrorSuccess);
    EXPECT_EQ(name, "A");

    auto second = openStore(file);
    HKey b = 0;
    ASSERT_EQ(second->RegCreateKeyExA(kHkeyCurrentUser, "Steady\\B", 0, "", 0, 0x3F, nullptr, &b, nullptr),
              kErrorSuccess);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past the life of a read snapshot
    // Index 1 goes on with the listing begun at index 0; a shifted list could show a name twice.
    ASSERT_EQ(reg.EnumKeyRaw(h, 1, name), kErrorSuccess);
    EXPECT_EQ(name, "C");
    EXPECT_EQ(reg.EnumKeyRaw(h, 2, name), kErrorNoMoreItems);
    // A new listing sees the change.
    EXPECT_EQ(subKeys(h), (Strings{"A", "B", "C"}));
    // The process's own changes show at once, even in the middle.
    ASSERT_EQ(reg.EnumKeyRaw(h, 0, name), kErrorSuccess);
    ASSERT_EQ(reg.RegDeleteKeyA(h, "A"), kErrorSuccess);
    ASSERT_EQ(reg.EnumKeyRaw(h, 1, name), kErrorSuccess);
    EXPECT_EQ(name, "C");
}

}  // namespace
}  // namespace karvo::test
