// What only the store has: the stored spelling of paths, views, refused roots, batches, its file shared,
// killed mid-batch, filled once, older or unusable; and, off Windows too, the registry helper's failures
// and the registry $KARVO_REGISTRY chooses.
#include "registry_area.h"

#include <sqlite3.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

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
std::string sql(const std::string& file, const char* statements) {  // the first column of the last row
    sqlite3* db = nullptr;
    std::string last = "<failed>";
    if (sqlite3_open(file.c_str(), &db) == SQLITE_OK)
        sqlite3_exec(db, statements, [](void* out, int, char** row, char**) {
            return *static_cast<std::string*>(out) = row[0] ? row[0] : "", 0;
        }, &last, nullptr);
    sqlite3_close(db);
    return last;
}
Strings valuesOf(RegistryService& s, HKey root, const char* path) {  // "name=first byte", in listing order
    HKey h = 0;
    Strings names;
    std::string name;
    DWORD type = 0;
    Bytes data;
    if (s.RegOpenKeyExA(root, path, 0, kKeyRead, &h) == kErrorSuccess)
        while (s.EnumValueRaw(h, DWORD(names.size()), name, type, data) == kErrorSuccess)
            names.push_back(name + "=" + std::to_string(data.empty() ? -1 : data[0]));
    s.RegCloseKey(h);
    return names;
}

TEST_F(StoreTest, PathsAnswerInTheStoredSpellingAndTheirViewsTermsAndRootsCannotBeDeleted) {
    create("Software\\Karvo Test\\Deep", kHkeyCurrentUser);
    HKey h = 0, below = 0, viaUsers = 0, cls = create(".karvo", kHkeyClassesRoot), viaMachine = 0, profile = 0;
    expectResults({{open("\\software\\\\karvo TEST\\", kKeyRead, h, kHkeyCurrentUser), 0}, {open("deep", kKeyRead, below, h), 0},
                   {open("S-1-5-21-1000\\software\\karvo test", kKeyRead, viaUsers, kHkeyUsers), 0},
                   {open("SOFTWARE\\Classes\\.KARVO", kKeyRead, viaMachine, kHkeyLocalMachine), 0},
                   {open("SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current", kKeyRead, profile, kHkeyLocalMachine), 0}});
    // A handle opened below a view keeps the view's terms.
    for (const auto& [key, p] : {std::pair<HKey, const char*>{h, "HKEY_CURRENT_USER\\Software\\Karvo Test"},
                                 {below, "HKEY_CURRENT_USER\\Software\\Karvo Test\\Deep"},
                                 {viaUsers, "HKEY_USERS\\S-1-5-21-1000\\Software\\Karvo Test"}, {cls, "HKEY_CLASSES_ROOT\\.karvo"},
                                 {viaMachine, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.karvo"},
                                 {kHkeyCurrentConfig, "HKEY_CURRENT_CONFIG"}, {kHkeyDynData, "<none>"}})
        EXPECT_EQ(path(key), p);
    for (HKey unserved : {kHkeyDynData, kHkeyPerformanceData})
        EXPECT_NE(reg.RegOpenKeyExA(unserved, "", 0, kKeyRead, &profile), kErrorSuccess) << unserved;
    expectResults({{reg.RegDeleteKeyA(kHkeyCurrentUser, nullptr), kErrorInvalidParameter},
                   {reg.RegDeleteKeyA(kHkeyCurrentUser, ""), kErrorAccessDenied}, {reg.DeleteTree(kHkeyCurrentUser, ""), kErrorAccessDenied},
                   {reg.DeleteTree(kHkeyLocalMachine, "SOFTWARE"), kErrorAccessDenied},  // holds HKEY_CLASSES_ROOT
                   {reg.DeleteTree(kHkeyUsers, "S-1-5-21-1000"), kErrorAccessDenied},
                   {reg.DeleteTree(kHkeyLocalMachine, nullptr), kErrorAccessDenied}});
}

TEST_F(StoreTest, BatchCommitsAllOrRollsBackAll) {
    HKey h = create("Batch", kHkeyCurrentUser);
    expectResults({{setSz(h, "before", "1"), 0}, {reg.BeginBatch(), 0}, {setSz(h, "inside", "1"), 0}});
    HKey made = create("Made\\Deeper", h);
    ASSERT_EQ(reg.RegDeleteValueA(h, "before"), kErrorSuccess);
    EXPECT_EQ(valueNames(h), Strings{"inside"});  // the batch sees its own changes
    ASSERT_EQ(reg.RollbackBatch(), kErrorSuccess);
    EXPECT_EQ(std::make_pair(valueNames(h), subKeys(h)), std::make_pair(Strings{"before"}, Strings{}));
    // The handle to a key that the rollback took away stays dead even when its id comes back.
    HKey again = create("Other\\Keys", h);
    EXPECT_EQ(std::make_pair(setSz(made, "v", "x"), valueNames(again)), std::make_pair(kErrorKeyDeleted, Strings{}));
    expectResults({{reg.BeginBatch(), 0}, {setSz(h, "kept", "1"), 0}, {reg.BeginBatch(), 0},  // nested: undone alone
                   {setSz(h, "nested", "1"), 0}, {reg.RollbackBatch(), 0}, {reg.CommitBatch(), 0}});
    EXPECT_EQ(valueNames(h), (Strings{"before", "kept"}));
    expectResults({{reg.CommitBatch(), kErrorInvalidParameter}, {reg.RollbackBatch(), kErrorInvalidParameter}});
}

TEST_F(StoreTest, OtherConnectionsAreSeenButAListUnderWayIsKept) {
    HKey h = create("Shared", kHkeyCurrentUser), doomed = create("Doomed", kHkeyCurrentUser), other = 0, shared = 0;
    create("A", h), create("C", h);
    std::string name;
    expectResults({{setSz(h, "one", "1"), 0}, {reg.EnumKeyRaw(h, 0, name), 0}});
    auto second = openStore(file);  // another process, as far as the store knows
    expectResults({{second->RegCreateKeyExA(kHkeyCurrentUser, "Shared\\B", 0, "", 0, 0x3F, nullptr, &other, nullptr), 0},
                   {second->RegOpenKeyExA(kHkeyCurrentUser, "Shared", 0, kKeyAllAccess, &shared), 0},
                   {second->SetValueRaw(shared, "two", kRegBinary, nullptr, 0), 0}, {second->RegDeleteKeyA(kHkeyCurrentUser, "Doomed"), 0}});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past the life of a read snapshot
    // Index 1 goes on with the listing begun at index 0; a shifted list could show a name twice.
    expectResults({{reg.EnumKeyRaw(h, 1, name), 0}, {name == "C", true}, {reg.EnumKeyRaw(h, 2, name), kErrorNoMoreItems}});
    EXPECT_EQ(path(doomed), "<none>");  // a stale handle has no path and is closed once
    expectResults({{setSz(doomed, "v", "x"), kErrorKeyDeleted}, {reg.RegCloseKey(doomed), 0}, {reg.RegCloseKey(doomed), kErrorInvalidHandle}});
    EXPECT_EQ(subKeys(h), (Strings{"A", "B", "C"}));  // a new listing sees the change
    // Creation order holds across connections: the order counter is shared, not per process.
    ASSERT_EQ(setSz(h, "three", "3"), kErrorSuccess);
    EXPECT_EQ(valueNames(h), (Strings{"one", "two", "three"}));
    // The process's own changes show at once, even in the middle of a listing.
    expectResults({{reg.EnumKeyRaw(h, 0, name), 0}, {reg.RegDeleteKeyA(h, "A"), 0}, {reg.EnumKeyRaw(h, 1, name), 0}, {name == "C", true}});
}

TEST_F(StoreTest, KilledBatchLeavesNoTrace) {
    ASSERT_EQ(setSz(create("Before", kHkeyCurrentUser), "v", "kept"), kErrorSuccess);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = spawn([&] {
        auto s = openStore(file);
        const Bytes blob(2000, 0x5A);
        if (s->BeginBatch() != kErrorSuccess) return false;
        for (int i = 0;; ++i) {
            HKey k = 0;
            s->RegCreateKeyExA(kHkeyCurrentUser, ("Batch\\Key" + std::to_string(i)).c_str(), 0, "", 0, 0x3F, nullptr, &k, nullptr);
            s->SetValueRaw(k, "data", kRegBinary, blob.data(), blob.size());
            s->RegCloseKey(k);
            if (i == 3000 && write(ready[1], "x", 1) != 1) return false;
        }
    });
    char c = 0;
    close(ready[1]);
    ASSERT_EQ(read(ready[0], &c, 1), 1);  // well inside the batch, with pages spilled to the log
    kill(child, SIGKILL);
    EXPECT_EQ(waitFor(child), 128 + SIGKILL);
    close(ready[0]);
    EXPECT_EQ(sql(file, "PRAGMA integrity_check"), "ok");
    auto after = openStore(file);
    HKey k = 0;
    expectResults({{after->RegOpenKeyExA(kHkeyCurrentUser, "Batch", 0, kKeyRead, &k), kErrorFileNotFound},
                   {after->RegCreateKeyExA(kHkeyCurrentUser, "After", 0, "", 0, 0x3F, nullptr, &k, nullptr), 0}});
    EXPECT_EQ(valuesOf(*after, kHkeyCurrentUser, "Before"), Strings{"v=107"});
}

TEST(StoreCreation, NewStoreIsFilledOnceEvenWhenProcessesRaceAnOlderOneKeepsItsValuesAndTheirOrder) {
    TempDir dir;
    const std::string file = (dir / "shared.db").string(), old = (dir / "old.db").string();
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

    // A store written before values carried an order number: their row order was the order.
    // Its roots and the views' bases are made when it is opened.
    sql(old, "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID; INSERT INTO meta VALUES('initialized',"
        " '1'); CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name TEXT NOT NULL, uname TEXT"
        " NOT NULL); INSERT INTO keys VALUES(3, 1, 'Old', 'OLD'); CREATE TABLE vals(key INTEGER NOT NULL, name TEXT NOT NULL,"
        " uname TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL); CREATE UNIQUE INDEX vals_by_name ON vals(key, uname);"
        " INSERT INTO vals VALUES(3, 'zeta', 'ZETA', 3, x'01'), (3, 'Alpha', 'ALPHA', 3, x'02');");
    s = openStore(old);
    HKey h = 0, user = 0;
    const std::uint8_t three = 3;
    ASSERT_EQ(s->RegOpenKeyExA(kHkeyLocalMachine, "old", 0, kKeyAllAccess, &h), kErrorSuccess);
    EXPECT_EQ(s->RegOpenKeyExA(kHkeyCurrentUser, "", 0, kKeyRead, &user) + s->SetValueRaw(h, "new", kRegBinary, &three, 1), 0);
    EXPECT_EQ(valuesOf(*s, kHkeyLocalMachine, "old"), (Strings{"zeta=1", "Alpha=2", "new=3"}));
}

TEST(StoreCreation, UnusableStoreFailsEveryCall) {
    TempDir dir;
    writeFile(dir / "garbage.db", std::string(4096, 'x'));
    const std::string refusing = (dir / "refusing.db").string();  // fails when it is filled, its statements made
    sql(refusing, "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name TEXT NOT NULL, uname"
        " TEXT NOT NULL); CREATE TRIGGER refuse BEFORE INSERT ON keys BEGIN SELECT RAISE(ABORT, 'no'); END;");
    for (const std::string& file : {dir.str(), (dir / "garbage.db").string(), (dir / "no\\dir/x/y.db").string(), refusing}) {
        auto s = openStore(file);
        HKey h = 0;
        std::string name;  // every call fails, none crashes
        for (LONG result : {s->RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE", 0, kKeyRead, &h), s->EnumKeyRaw(kHkeyLocalMachine, 0, name),
                            s->RegCreateKeyExA(kHkeyCurrentUser, "X", 0, "", 0, 0x3F, nullptr, &h, nullptr),
                            s->SetValueRaw(kHkeyCurrentUser, "v", kRegSz, nullptr, 0), s->BeginBatch(),
                            LONG(!s->KeyPath(kHkeyLocalMachine, name))})
            EXPECT_NE(result, kErrorSuccess) << file;
    }
}

// The calls through the helper are checked by the suites for every back end, run through it.
TEST(HelperRegistry, AHelperThatCannotServeFailsEveryCallAndSaysSoOnce) {
    TempDir dir;
    std::vector<std::string> said;
    setRegistryFailureHandler([&](const std::string& m) { said.push_back(m); });
    const std::string marker = (dir / "started").string(), hello = "\\10\\0\\0\\0\\0\\0\\0\\0\\2\\0\\0\\0";  // result, version 2
    const auto answers = [&](const std::string& reply, const char* then = "") {  // answers the hello with reply
        return std::vector<std::string>{"/bin/sh", "-c", ": > \"$0\"; head -c 5 >/dev/null; printf '" + reply + "'" + then, marker};
    };
    const char* reads = "; cat >/dev/null";  // and stays
    const std::pair<std::vector<std::string>, std::string> cases[] = {  // what is asked for, and why it fails
        {{"/nonexistent/reghelper"}, "its helper program /nonexistent/reghelper could not be started"},
        {answers(hello), "the folder does not exist."},  // known beforehand: nothing starts
        {answers(hello), "its helper program stopped."},  // after the hello
        {answers("\\10\\0\\0\\0\\0\\0\\0\\0\\77\\0\\0\\0", reads), "its helper program is of another version"},
        {answers(hello + "\\1\\0\\0\\0x", reads), "its helper program answered something it should not have"},
    };
    for (const auto& [argv, why] : cases) {
        said.clear();
        std::filesystem::remove(marker);
        const bool known = why == "the folder does not exist.";
        auto reg = openHelperRegistry({argv, {}, "the test store", known ? "the folder does not exist" : ""});
        HKey h = 0;
        char name[256];
        std::string path;
        expectResults({{reg->RegOpenKeyExA(kHkeyCurrentUser, "Software", 0, kKeyRead, &h), kErrorCantOpen}, {LONG(h), 0},
                       {reg->RegEnumKeyA(kHkeyCurrentUser, 0, name, sizeof name), kErrorCantOpen},
                       {reg->KeyPath(kHkeyCurrentUser, path), false}, {LONG(said.size()), 1}});
        const std::string message = "The registry of the test store cannot be reached: " + why;
        EXPECT_EQ(said.empty() ? "" : said[0].substr(0, message.size()), message);
        EXPECT_EQ(std::filesystem::exists(marker), argv.size() > 1 && !known) << why;
    }
    setRegistryFailureHandler(nullptr);
}

// The helper's side: a request it cannot read ends the session unanswered, with status 1; the end
// of its input is the ordinary end.
TEST(HelperRegistry, TheServerStopsAtARequestItCannotRead) {
    TempDir dir;
    const auto store = openStore((dir / "r.db").string());
    const auto serve = [&](const std::string& bytes) {  // the status and the length of the answers
        std::FILE *in = std::tmpfile(), *out = std::tmpfile();
        std::fwrite(bytes.data(), 1, bytes.size(), in);
        std::rewind(in);
        const int status = serveRegistry(*store, in, out);
        const auto result = std::make_pair(status, std::ftell(out));
        std::fclose(in), std::fclose(out);
        return result;
    };
    const std::string one("\1\0\0\0", 4);  // a message of one byte: the operation alone
    EXPECT_EQ(serve(""), std::make_pair(0, 0L));
    EXPECT_EQ(serve(one + '\1'), std::make_pair(0, 12L));  // hello: length, result and version
    for (char op = 2; op < 25; ++op) {  // every other operation needs arguments, but the batch and snapshot calls
        const bool batch = op >= 18 && op <= 22;
        EXPECT_EQ(serve(one + op), std::make_pair(batch ? 0 : 1, batch ? 8L : 0L)) << int(op);
    }
    for (const std::string& broken : {std::string("\0\0\0\0", 4), std::string("\1\0", 2), one, one + '\0'})
        EXPECT_EQ(serve(broken), std::make_pair(1, 0L));
}

TEST(RegistryChoice, StoresAndWinePrefixesAreFoundCheckedAndNeverCreated) {
    TempDir dir;
    const std::string d = dir.str(), bin = d + "/bin";
    for (const char* folder : {"bin", "notaprefix", "prefix"}) std::filesystem::create_directories(dir / folder);
    writeFile(dir / "prefix" / "system.reg", "WINE REGISTRY Version 2\n");
    writeFile(dir / "bin" / "wine", "#!/bin/sh\n");
    std::filesystem::permissions(dir / "bin" / "wine", std::filesystem::perms::owner_all);
    ScopedEnv home("HOME", d + "/home"), helper("KARVO_WINE_HELPER", d + "/prefix/system.reg");  // any file will do
    // $KARVO_REGISTRY, $WINEPREFIX, $XDG_DATA_HOME, $PATH; the store file or the prefix; part of the problem, "" for none
    const std::array<std::string, 6> cases[] = {
        {d + "/a/b/store.db", "", "", bin, d + "/a/b/store.db", ""},
        {"", "", d + "/data", bin, d + "/data/karvo/registry.db", ""},
        {"", "", "relative", bin, d + "/home/.local/share/karvo/registry.db", ""},  // relative: ignored
        {"wine:" + d + "/prefix/", "", "", bin, d + "/prefix", ""},
        {"wine", d + "/prefix", "", bin, d + "/prefix", ""},
        {"wine", "", "", bin, d + "/home/.wine", "the folder does not exist"},
        {"wine:" + d + "/missing", "", "", bin, d + "/missing", "the folder does not exist"},
        {"wine:" + d + "/notaprefix", "", "", bin, d + "/notaprefix", "is not a Wine prefix"},
        {"wine:" + d + "/prefix", "", "", d + "/nowhere", d + "/prefix", "Wine is not installed"},
    };
    for (const auto& [chosen, winePrefix, dataHome, paths, location, why] : cases) {
        ScopedEnv registry("KARVO_REGISTRY", chosen), prefix("WINEPREFIX", winePrefix), data("XDG_DATA_HOME", dataHome),
            path("PATH", paths);
        const RegistryChoice choice = registryChoice();
        const std::string problem = registryProblem();
        EXPECT_EQ(std::make_pair(choice.wine, choice.wine ? choice.location : defaultStorePath()),
                  std::make_pair(chosen.rfind("wine", 0) == 0, location)) << chosen;
        EXPECT_TRUE(problem.empty() == why.empty() && problem.find(why) != std::string::npos) << chosen << ": " << problem;
        HKey h = 0;  // a prefix that cannot be used starts nothing and fails every call
        if (choice.wine && !problem.empty()) {
            EXPECT_EQ(openWineRegistry(choice.location)->RegOpenKeyExA(kHkeyUsers, "", 0, kKeyRead, &h), kErrorCantOpen);
        }
    }
    // A store's folder is made; a prefix never is.
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b") && std::filesystem::is_directory(dir / "data/karvo"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing") || std::filesystem::exists(dir / "home/.wine"));
}

}  // namespace
}  // namespace karvo::test
