// The store's file: shared by processes, killed mid-batch, filled once, older, or unusable.
#include "registry_area.h"

#include <sqlite3.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace karvo::test {
namespace {

using StoreTest = RegistryArea;

pid_t spawn(const std::function<bool()>& body) {  // the child's status is 0 when body returns true
    const pid_t pid = fork();
    if (pid == 0) _exit(body() ? 0 : 1);
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Strings valuesOf(  // "name=first byte", in listing order
RegistryService& s, HKey root, const char* path) {
    HKey h = 0;
    Strings names;
    std::string name;
    DWORD type = 0;
    Bytes data;
    if (s.RegOpenKeyExA(root, path, 0, kKeyRead, &h) == kErrorSuccess)
        for (DWORD i = 0; s.EnumValueRaw(h, i, name, type, data) == kErrorSuccess; ++i)
            names.push_back(name + "=" + std::to_string(data.empty() ? -1 : data[0]));
    s.RegCloseKey(h);
    return names;
}

TEST_F(StoreTest, KilledBatchLeavesNoTrace) {
    ASSERT_EQ(setSz(create("Before", kHkeyCurrentUser), "v", "kept"), kErrorSuccess);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = spawn([&] {
        auto s = openStore(file);
        const std::vector<std::uint8_t> blob(2000, 0x5A);
        if (s->BeginBatch() != kErrorSuccess) return false;
        for (int i = 0;; ++i) {
            HKey k = 0;
            s->RegCreateKeyExA(kHkeyCurrentUser, ("Batch\\Key" + std::to_string(i)).c_str(), 0, "", 0, 0x3F, nullptr, &k, nullptr);
            s->SetValueRaw(k, "data", kRegBinary, blob.data(), blob.size());
            s->RegCloseKey(k);
            if (i == 3000 && write(ready[1], "x", 1) != 1) return false;
        }
    });
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);  // well inside the batch, with pages spilled to the log
    close(ready[0]);
    kill(child, SIGKILL);
    EXPECT_EQ(waitFor(child), 128 + SIGKILL);

    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
    sqlite3_finalize(st);
    sqlite3_close(db);
    auto after = openStore(file);
    HKey k = 0;
    EXPECT_EQ(after->RegOpenKeyExA(kHkeyCurrentUser, "Batch", 0, kKeyRead, &k), kErrorFileNotFound);
    EXPECT_EQ(valuesOf(*after, kHkeyCurrentUser, "Before"), Strings{"v=107"});
    EXPECT_EQ(after->RegCreateKeyExA(kHkeyCurrentUser, "After", 0, "", 0, 0x3F, nullptr, &k, nullptr), kErrorSuccess);
}

TEST(StoreCreation, NewStoreIsFilledOnceEvenWhenProcessesRace) {
    TempDir dir;
    const std::string file = (dir / "shared.db").string();
    setNewStoreInitializer([](RegistryService& r) {
        ASSERT_EQ(r.BeginBatch(), kErrorSuccess);
        HKey h = 0;
        r.RegCreateKeyExA(kHkeyLocalMachine, "SOFTWARE\\Filled", 0, "", 0, 0x3F, nullptr, &h, nullptr);
        DWORD type = 0;  // a second filling would find the count and mark it
        Bytes data;
        const std::uint8_t n = r.QueryValueRaw(h, "count", type, data) == kErrorSuccess ? 2 : 1;
        r.SetValueRaw(h, "count", kRegBinary, &n, 1);
        usleep(200000);  // long enough for the other processes to try too
        r.RegCloseKey(h);
        ASSERT_EQ(r.CommitBatch(), kErrorSuccess);
    });
    std::vector<pid_t> children;
    for (int i = 0; i < 3; ++i)  // whoever opens the store finds it filled
        children.push_back(spawn([&] { return !valuesOf(*openStore(file), kHkeyLocalMachine, "SOFTWARE\\Filled").empty(); }));
    for (pid_t p : children) EXPECT_EQ(waitFor(p), 0);
    auto s = openStore(file);
    setNewStoreInitializer(nullptr);
    EXPECT_EQ(valuesOf(*s, kHkeyLocalMachine, "SOFTWARE\\Filled"), Strings{"count=1"});
    EXPECT_EQ(s->BeginBatch(), kErrorSuccess);  // the initializer left no batch open
    EXPECT_EQ(s->CommitBatch(), kErrorSuccess);
}

TEST(StoreCreation, OlderStoreKeepsItsValuesAndTheirOrder) {
    // A store written before values carried an order number: their row order was the order.
    TempDir dir;
    const std::string file = (dir / "old.db").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode=WAL; CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT NOT NULL)"
        " WITHOUT ROWID; INSERT INTO meta VALUES('initialized', '1'); CREATE TABLE keys(id INTEGER PRIMARY KEY"
        " AUTOINCREMENT, parent INTEGER NOT NULL, name TEXT NOT NULL, uname TEXT NOT NULL); CREATE UNIQUE INDEX"
        " keys_by_name ON keys(parent, uname); INSERT INTO keys VALUES(1, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),"
        " (2, 0, 'HKEY_USERS', 'HKEY_USERS'), (3, 1, 'Old', 'OLD'); CREATE TABLE vals(key INTEGER NOT NULL, name TEXT"
        " NOT NULL, uname TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL); CREATE UNIQUE INDEX vals_by_name"
        " ON vals(key, uname); INSERT INTO vals VALUES(3, 'zeta', 'ZETA', 3, x'01'), (3, 'Alpha', 'ALPHA', 3, x'02');",
                           nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    auto s = openStore(file);
    HKey h = 0;
    ASSERT_EQ(s->RegOpenKeyExA(kHkeyLocalMachine, "old", 0, kKeyAllAccess, &h), kErrorSuccess);
    const std::uint8_t three = 3;
    ASSERT_EQ(s->SetValueRaw(h, "new", kRegBinary, &three, 1), kErrorSuccess);
    EXPECT_EQ(valuesOf(*s, kHkeyLocalMachine, "old"), (Strings{"zeta=1", "Alpha=2", "new=3"}));
    EXPECT_EQ(s->RegOpenKeyExA(kHkeyCurrentUser, "", 0, kKeyRead, &h), kErrorSuccess);  // skeleton completed
}

TEST(StoreCreation, UnusableStoreFailsEveryCall) {
    TempDir dir;
    writeFile(dir / "garbage.db", std::string(4096, 'x'));
    for (const std::string& file : {dir.str(), (dir / "garbage.db").string(), (dir / "no\\dir/x/y.db").string()}) {
        auto s = openStore(file);
        HKey h = 0;
        std::string name;  // every call fails, none crashes
        EXPECT_NE(s->RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE", 0, kKeyRead, &h), kErrorSuccess) << file;
        EXPECT_NE(s->RegCreateKeyExA(kHkeyCurrentUser, "X", 0, "", 0, 0x3F, nullptr, &h, nullptr), kErrorSuccess);
        EXPECT_NE(s->EnumKeyRaw(kHkeyLocalMachine, 0, name), kErrorSuccess);
        EXPECT_NE(s->SetValueRaw(kHkeyCurrentUser, "v", kRegSz, nullptr, 0), kErrorSuccess);
        EXPECT_NE(s->BeginBatch(), kErrorSuccess);
        EXPECT_FALSE(s->KeyPath(kHkeyLocalMachine, name));
        EXPECT_EQ(s->RegCloseKey(0), kErrorInvalidHandle);
    }
}

}  // namespace
}  // namespace karvo::test
