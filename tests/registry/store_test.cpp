// What only the store has: the stored spelling of paths, its views, refused roots, batches, and
// several connections on one file.
#include "registry_area.h"

#include <chrono>
#include <thread>

namespace karvo::test {
namespace {

using StoreTest = RegistryArea;

TEST_F(StoreTest, PathsAnswerInTheStoredSpellingAndTheirViewsTerms) {
    create("Software\\Karvo Test\\Deep", kHkeyCurrentUser);
    for (const char* spelling : {"SOFTWARE\\karvo TEST\\", "\\software\\\\Karvo Test"}) {
        HKey h = 0;
        ASSERT_EQ(open(spelling, kKeyRead, h, kHkeyCurrentUser), kErrorSuccess) << spelling;
        EXPECT_EQ(path(h), "HKEY_CURRENT_USER\\Software\\Karvo Test") << spelling;
        HKey below = 0;  // a handle opened below a view keeps the view's terms
        ASSERT_EQ(open("deep", kKeyRead, below, h), kErrorSuccess);
        EXPECT_EQ(path(below), "HKEY_CURRENT_USER\\Software\\Karvo Test\\Deep");
    }
    HKey viaUsers = 0, cls = create(".karvo", kHkeyClassesRoot), viaMachine = 0;
    ASSERT_EQ(open("S-1-5-21-1000\\software\\karvo test", kKeyRead, viaUsers, kHkeyUsers), kErrorSuccess);
    EXPECT_EQ(path(viaUsers), "HKEY_USERS\\S-1-5-21-1000\\Software\\Karvo Test");
    EXPECT_EQ(path(cls), "HKEY_CLASSES_ROOT\\.karvo");
    ASSERT_EQ(open("SOFTWARE\\Classes\\.KARVO", kKeyRead, viaMachine, kHkeyLocalMachine), kErrorSuccess);
    EXPECT_EQ(path(viaMachine), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.karvo");
    EXPECT_EQ(path(kHkeyCurrentConfig), "HKEY_CURRENT_CONFIG");
    HKey profile = 0;
    EXPECT_EQ(open("SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current", kKeyRead, profile, kHkeyLocalMachine),
              kErrorSuccess);
    EXPECT_NE(reg.RegOpenKeyExA(kHkeyDynData, "", 0, kKeyRead, &profile), kErrorSuccess);
    EXPECT_NE(reg.RegOpenKeyExA(kHkeyPerformanceData, "", 0, kKeyRead, &profile), kErrorSuccess);
    std::string p;
    EXPECT_FALSE(reg.KeyPath(kHkeyDynData, p));
}

TEST_F(StoreTest, RootsAndViewBasesCannotBeDeleted) {
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyCurrentUser, nullptr), kErrorInvalidParameter);
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyCurrentUser, ""), kErrorAccessDenied);
    EXPECT_EQ(reg.DeleteTree(kHkeyCurrentUser, ""), kErrorAccessDenied);
    EXPECT_EQ(reg.DeleteTree(kHkeyLocalMachine, "SOFTWARE"), kErrorAccessDenied);  // holds HKEY_CLASSES_ROOT
    EXPECT_EQ(reg.DeleteTree(kHkeyUsers, "S-1-5-21-1000"), kErrorAccessDenied);
    EXPECT_EQ(reg.DeleteTree(kHkeyLocalMachine, nullptr), kErrorAccessDenied);
}

TEST_F(StoreTest, ADeletedKeyIsSeenAsDeletedThroughEveryConnection) {
    HKey old = create("Doomed", kHkeyCurrentUser);
    ASSERT_EQ(reg.RegDeleteKeyA(kHkeyCurrentUser, "Doomed"), kErrorSuccess);
    EXPECT_EQ(path(old), "<none>");
    EXPECT_EQ(reg.RegCloseKey(old), kErrorSuccess);  // a stale handle can still be closed, once
    EXPECT_EQ(reg.RegCloseKey(old), kErrorInvalidHandle);
    HKey fresh = create("Doomed", kHkeyCurrentUser);
    auto second = openStore(file);  // another process, as far as the store knows
    ASSERT_EQ(second->RegDeleteKeyA(kHkeyCurrentUser, "Doomed"), kErrorSuccess);
    EXPECT_EQ(setSz(fresh, "v", "x"), kErrorKeyDeleted);
}

TEST_F(StoreTest, BatchCommitsAllOrRollsBackAll) {
    HKey h = create("Batch", kHkeyCurrentUser);
    ASSERT_EQ(setSz(h, "before", "1"), kErrorSuccess);
    ASSERT_EQ(reg.BeginBatch(), kErrorSuccess);
    EXPECT_EQ(setSz(h, "inside", "1"), kErrorSuccess);
    HKey made = create("Made\\Deeper", h);
    EXPECT_EQ(reg.RegDeleteValueA(h, "before"), kErrorSuccess);
    EXPECT_EQ(valueNames(h), Strings{"inside"});  // the batch sees its own changes
    ASSERT_EQ(reg.RollbackBatch(), kErrorSuccess);
    EXPECT_EQ(valueNames(h), Strings{"before"});
    EXPECT_TRUE(subKeys(h).empty());
    // The handle to a key that the rollback took away stays dead even when its id comes back.
    HKey again = create("Other\\Keys", h);
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
}

TEST_F(StoreTest, EnumerationSeesOtherConnectionsButKeepsAListUnderWay) {
    HKey h = create("Shared", kHkeyCurrentUser);
    create("A", h);
    create("C", h);
    EXPECT_EQ(setSz(h, "one", "1"), kErrorSuccess);
    std::string name;
    ASSERT_EQ(reg.EnumKeyRaw(h, 0, name), kErrorSuccess);

    auto second = openStore(file);
    HKey other = 0, shared = 0;
    ASSERT_EQ(second->RegCreateKeyExA(kHkeyCurrentUser, "Shared\\B", 0, "", 0, 0x3F, nullptr, &other, nullptr),
              kErrorSuccess);
    ASSERT_EQ(second->RegOpenKeyExA(kHkeyCurrentUser, "Shared", 0, kKeyAllAccess, &shared), kErrorSuccess);
    ASSERT_EQ(second->SetValueRaw(shared, "two", kRegBinary, nullptr, 0), kErrorSuccess);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past the life of a read snapshot
    // Index 1 goes on with the listing begun at index 0; a shifted list could show a name twice.
    ASSERT_EQ(reg.EnumKeyRaw(h, 1, name), kErrorSuccess);
    EXPECT_EQ(name, "C");
    EXPECT_EQ(reg.EnumKeyRaw(h, 2, name), kErrorNoMoreItems);
    EXPECT_EQ(subKeys(h), (Strings{"A", "B", "C"}));  // a new listing sees the change
    // Creation order holds across connections: the order counter is shared, not per process.
    EXPECT_EQ(setSz(h, "three", "3"), kErrorSuccess);
    EXPECT_EQ(valueNames(h), (Strings{"one", "two", "three"}));
    // The process's own changes show at once, even in the middle of a listing.
    ASSERT_EQ(reg.EnumKeyRaw(h, 0, name), kErrorSuccess);
    ASSERT_EQ(reg.RegDeleteKeyA(h, "A"), kErrorSuccess);
    ASSERT_EQ(reg.EnumKeyRaw(h, 1, name), kErrorSuccess);
    EXPECT_EQ(name, "C");
}

}  // namespace
}  // namespace karvo::test
