// The registry store off Windows: one SQLite database per user, shared by every program of the
// user (the main program and the registry editor may write at the same time).
//
// Tables: keys(id, parent, name, uname) with uname the upper-cased name, and vals(key, uname, seq,
// name, type, data) kept in key order (WITHOUT ROWID: one b-tree per value written), where seq,
// drawn from a counter in meta, gives the creation order of a key's values. Key ids come from
// AUTOINCREMENT, so an id is never given to a second key and a handle to a deleted key can never
// reach a new one.

#include "registry/RegistryBackends.h"
#include "registry/RegistryService.h"
#include "registry/KeyNames.h"
#include "registry/TextCodec.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace karvo::reg {

namespace {

using detail::cleanName;
using detail::foldName;
using detail::splitKeyPath;
using detail::utf16Length;

constexpr std::size_t kMaxValueNameLength = 16383;
constexpr int kBusyTimeoutMs = 10000;
// How long a read snapshot is kept across calls before others' commits are looked for again.
constexpr auto kSnapshotLife = std::chrono::milliseconds(2);
constexpr const char* kCurrentUserId = "S-1-5-21-1000";

// Stores made before values carried their own order number.
constexpr const char* kUpgradeValues = R"sql(
ALTER TABLE vals RENAME TO vals_old;
DROP INDEX IF EXISTS vals_by_name;
CREATE TABLE vals(key INTEGER NOT NULL, uname TEXT NOT NULL, seq INTEGER NOT NULL, name TEXT NOT NULL,
                  type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, uname)) WITHOUT ROWID;
INSERT INTO vals(key, uname, seq, name, type, data) SELECT key, uname, rowid, name, type, data FROM vals_old;
DROP TABLE vals_old;
)sql";

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,
                                name TEXT NOT NULL, uname TEXT NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS keys_by_name ON keys(parent, uname);
CREATE INDEX IF NOT EXISTS keys_listing ON keys(parent, uname, name);
CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, uname TEXT NOT NULL, seq INTEGER NOT NULL,
                                name TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,
                                PRIMARY KEY(key, uname)) WITHOUT ROWID;
)sql";

// The real roots: their key ids are fixed when the store is created.
constexpr sqlite3_int64 kMachineId = 1;
constexpr sqlite3_int64 kUsersId = 2;

struct RootInfo {
    HKey handle;
    const char* name;
    sqlite3_int64 realRoot;  // the real root the view's base lies under
    const char* basePath;    // the base of a view, relative to realRoot ("" for a real root)
};

const std::string kCurrentUserBase = std::string(kCurrentUserId);

const std::array<RootInfo, 5> kRoots = {{
    {kHkeyClassesRoot, "HKEY_CLASSES_ROOT", kMachineId, "SOFTWARE\\Classes"},
    {kHkeyCurrentUser, "HKEY_CURRENT_USER", kUsersId, kCurrentUserId},
    {kHkeyLocalMachine, "HKEY_LOCAL_MACHINE", kMachineId, ""},
    {kHkeyUsers, "HKEY_USERS", kUsersId, ""},
    {kHkeyCurrentConfig, "HKEY_CURRENT_CONFIG", kMachineId,
     "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
}};

const RootInfo* rootInfo(HKey h) {
    for (const RootInfo& r : kRoots)
        if (r.handle == h)
            return &r;
    return nullptr;
}

bool isStringType(DWORD type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// Access rights a handle holds, with the generic rights mapped as the registry maps them.
DWORD effectiveAccess(DWORD sam) {
    DWORD r = sam & 0x3F;
    if (sam & 0x80000000u)  // GENERIC_READ
        r |= kKeyQueryValue | kKeyEnumerateSubKeys | kKeyNotify;
    if (sam & 0x40000000u)  // GENERIC_WRITE
        r |= kKeySetValue | kKeyCreateSubKey;
    if (sam & 0x20000000u)  // GENERIC_EXECUTE
        r |= kKeyQueryValue | kKeyEnumerateSubKeys | kKeyNotify;
    if (sam & (0x10000000u | 0x02000000u))  // GENERIC_ALL, MAXIMUM_ALLOWED
        r |= 0x3F;
    return r;
}

// A cached statement in use: binds, steps, and resets the statement when it goes out of scope.
class Query {
public:
    explicit Query(sqlite3_stmt* s) : s_(s) {}
    ~Query() { sqlite3_reset(s_); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(int i, sqlite3_int64 v) {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    // Text and blobs are not copied: every caller keeps them alive until the statement has run,
    // and binds every parameter afresh before the next run.
    Query& bind(int i, std::string_view text) {
        sqlite3_bind_text(s_, i, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        return *this;
    }
    Query& bindBlob(int i, const std::uint8_t* data, std::size_t size) {
        if (size == 0)
            sqlite3_bind_zeroblob(s_, i, 0);
        else
            sqlite3_bind_blob(s_, i, data, static_cast<int>(size), SQLITE_STATIC);
        return *this;
    }
    int step() { return sqlite3_step(s_); }
    bool done() { return step() == SQLITE_DONE; }
    sqlite3_int64 integer(int col) { return sqlite3_column_int64(s_, col); }
    std::string_view view(int col) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, col));
        return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(s_, col))) : std::string_view();
    }
    std::string text(int col) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, col));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s_, col))) : std::string();
    }
    std::vector<std::uint8_t> blob(int col) {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(s_, col));
        const auto n = static_cast<std::size_t>(sqlite3_column_bytes(s_, col));
        return p ? std::vector<std::uint8_t>(p, p + n) : std::vector<std::uint8_t>();
    }

private:
    sqlite3_stmt* s_;
};

// What the store has seen of the database: other connections' commits (data_version) and its
// own change counter. Anything cached under an older stamp is read again.
struct Stamp {
    sqlite3_int64 dataVersion = -1;
    std::uint64_t own = 0;
    bool operator==(const Stamp&) const = default;
};

struct ValueEntry {
    std::string name;
    DWORD type = 0;
    std::vector<std::uint8_t> data;
};

// A sub-key in a handle's list: its name lies in the handle's childNames, so a list of 100,000
// names is two allocations, not 100,000.
struct ChildEntry {
    sqlite3_int64 id = 0;
    std::uint32_t offset = 0;  // the name, then its upper-case form
    std::uint32_t length = 0;
    std::uint32_t upperLength = 0;
};

// An open key. Its sub-keys and values are read in one go on first use and kept until the
// store changes, so enumerating by index 0, 1, 2 ... costs one query, not one per index.
struct KeyHandle {
    sqlite3_int64 keyId = 0;
    HKey root = 0;  // the root it was opened through, for KeyPath
    DWORD access = 0;
    bool dead = false;
    Stamp verified;  // when the key was last seen to exist
    bool cacheValid = false;
    Stamp cacheStamp;
    std::vector<ChildEntry> children;  // in enumeration order (by upper-case name)
    std::string childNames;
    std::vector<ValueEntry> values;    // in creation order

    std::string_view childName(std::size_t i) const {
        return std::string_view(childNames).substr(children[i].offset, children[i].length);
    }
    std::string_view childUpper(std::size_t i) const {
        return std::string_view(childNames).substr(children[i].offset + children[i].length, children[i].upperLength);
    }
};

std::string ansiData(DWORD type, const std::vector<std::uint8_t>& stored) {
    if (!isStringType(type))
        return std::string(stored.begin(), stored.end());
    return text::utf16leToUtf8(
        std::string_view(reinterpret_cast<const char*>(stored.data()), stored.size()));
}

// Hands data to a caller's buffer the way the registry does: a null buffer asks for the size only,
// a short buffer gets kErrorMoreData and the size needed.
LONG deliver(std::string_view bytes, std::uint8_t* lpData, DWORD* lpcbData) {
    if (!lpcbData)
        return lpData ? kErrorInvalidParameter : kErrorSuccess;
    const auto needed = static_cast<DWORD>(bytes.size());
    if (!lpData) {
        *lpcbData = needed;
        return kErrorSuccess;
    }
    if (*lpcbData < needed) {
        *lpcbData = needed;
        return kErrorMoreData;
    }
    if (needed)
        std::memcpy(lpData, bytes.data(), needed);
    *lpcbData = needed;
    return kErrorSuccess;
}

// Copies a name into a caller's buffer of cch bytes (zero included); kErrorMoreData when it does
// not fit.
LONG copyName(const std::string& name, char* buffer, DWORD cch) {
    if (name.size() + 1 > cch)
        return kErrorMoreData;
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
    return kErrorSuccess;
}

class SqliteStore final : public RegistryService {
public:
    explicit SqliteStore(std::string path) : path_(std::move(path)) {}
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    void open();

    LONG RegOpenKeyExA(HKey hKey, const char* lpSubKey, DWORD ulOptions, DWORD samDesired,
                       HKey* phkResult) override;
    LONG RegCreateKeyExA(HKey hKey, const char* lpSubKey, DWORD Reserved, const char* lpClass,
                         DWORD dwOptions, DWORD samDesired, const SecurityAttributes* lpSecurityAttributes,
                         HKey* phkResult, DWORD* lpdwDisposition) override;
    LONG RegCloseKey(HKey hKey) override;
    LONG RegQueryValueExA(HKey hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                          std::uint8_t* lpData, DWORD* lpcbData) override;
    LONG RegSetValueExA(HKey hKey, const char* lpValueName, DWORD Reserved, DWORD dwType,
                        const std::uint8_t* lpData, DWORD cbData) override;
    LONG RegDeleteKeyA(HKey hKey, const char* lpSubKey) override;
    LONG RegDeleteValueA(HKey hKey, const char* lpValueName) override;
    LONG RegEnumKeyA(HKey hKey, DWORD dwIndex, char* lpName, DWORD cchName) override;
    LONG RegEnumValueA(HKey hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                       DWORD* lpReserved, DWORD* lpType, std::uint8_t* lpData, DWORD* lpcbData) override;
    LONG RegQueryInfoKeyA(HKey hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved, DWORD* lpcSubKeys,
                          DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                          DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                          DWORD* lpcbSecurityDescriptor, void* lpftLastWriteTime) override;

    LONG EnumKeyRaw(HKey hKey, DWORD dwIndex, std::string& name) override;
    LONG EnumValueRaw(HKey hKey, DWORD dwIndex, std::string& name, DWORD& type,
                      std::vector<std::uint8_t>& data) override;
    LONG QueryValueRaw(HKey hKey, const std::string& name, DWORD& type,
                       std::vector<std::uint8_t>& data) override;
    LONG SetValueRaw(HKey hKey, const std::string& name, DWORD type, const std::uint8_t* data,
                     std::size_t size) override;
    LONG DeleteTree(HKey hKey, const char* lpSubKey) override;
    bool KeyPath(HKey hKey, std::string& path) override;

    LONG BeginBatch() override;
    LONG CommitBatch() override;
    LONG RollbackBatch() override;
    LONG BeginSnapshot() override;
    LONG EndSnapshot() override;

private:
    // One change: its own transaction, or a part of the open batch (inside a savepoint when the
    // change takes several statements, so a failing change leaves the batch as it was).
    class Change {
    public:
        Change(SqliteStore& s, bool severalStatements);
        ~Change();
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;
        bool started() const { return started_; }
        // Why it could not start: another program holds the store for writing, or a failure.
        LONG startError() const { return busy_ ? kErrorBusy : kErrorCantWrite; }
        // From here on the change takes more than one statement: inside a batch it gets a
        // savepoint, so a failure part-way undoes it alone. False when that cannot be had.
        bool several();
        LONG commit();

    private:
        SqliteStore& s_;
        bool started_ = false;
        bool busy_ = false;
        bool savepoint_ = false;
        bool finished_ = false;
    };

    bool exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    bool prepareAll();
    void finalizeAll();
    bool createSkeleton();
    bool runInitializer();
    bool upgradeValues();
    // Whether the file holds a store of the current layout that has been filled.
    bool isComplete();
    // Finds the roots and the bases of the views; false when one is missing.
    bool loadRoots();
    void makeRootHandles();
    void close();

    void refreshDataVersion();
    Stamp existenceStamp() const { return Stamp{lastDataVersion_, removals_}; }
    Stamp cacheStamp() const { return Stamp{lastDataVersion_, own_}; }
    // Reads run in a read transaction that is kept across calls for up to kSnapshotLife: taking
    // and dropping the file locks for every call would cost more than the reads themselves. A
    // fresh snapshot also learns about other processes' commits (data_version). Inside a write
    // transaction (inWrite) only data_version is asked; nobody else can commit then.
    void noticeOthers(bool inWrite);
    void freshRead();
    void endRead();
    void closeIdleReads();
    // The handle if it is usable, else nullptr with err set (6 unknown, 1018 key deleted,
    // 1012 the store could not be read).
    KeyHandle* live(HKey h, LONG& err, bool inWrite = false);
    // A lookup that could not be done (a busy or broken file) is not taken for a missing key.
    enum class Lookup { found, missing, failed };
    Lookup keyLookup(sqlite3_int64 id);
    Lookup findChild(sqlite3_int64 parent, const std::string& name, sqlite3_int64& id);
    LONG walk(sqlite3_int64 from, const std::vector<std::string>& parts, sqlite3_int64& id);
    LONG walkFrom(const KeyHandle& base, const std::vector<std::string>& parts, sqlite3_int64& id);
    LONG checkParts(const std::vector<std::string>& parts) const;
    // An enumeration that has begun (continuing: index > 0) keeps the list it started with
    // while only other processes change the store, so it never shows a name twice or skips
    // one; it sees its own process's changes at once, as the registry does.
    LONG ensureCache(KeyHandle& k, bool continuing);
    HKey addHandle(sqlite3_int64 keyId, HKey root, DWORD access);
    void changed(bool removal) {
        ++own_;
        if (removal)
            ++removals_;
    }
    void noteFailure();
    bool isProtected(sqlite3_int64 id) const { return protected_.count(id) != 0; }
    bool isBaseAncestor(sqlite3_int64 id) const { return baseAncestors_.count(id) != 0; }

    LONG setValue(HKey hKey, const std::string& name, DWORD type, const std::uint8_t* data, std::size_t size);
    LONG queryValue(HKey hKey, const std::string& name, DWORD& type, std::vector<std::uint8_t>& data);
    LONG deleteSubtree(sqlite3_int64 id);
    bool takeSeq(sqlite3_int64& seq);
    bool saveSeq();

    std::string path_;
    sqlite3* db_ = nullptr;
    bool ready_ = false;
    std::recursive_mutex mutex_;

    std::unordered_map<HKey, KeyHandle> handles_;
    HKey nextHandle_ = 0x100;
    std::unordered_set<sqlite3_int64> protected_;      // roots, view bases and their ancestors
    std::unordered_set<sqlite3_int64> baseAncestors_;  // keys that hold a view base below them
    std::unordered_map<HKey, sqlite3_int64> rootBase_;

    int batchDepth_ = 0;
    bool batchLost_ = false;
    // The next value order number, read once per write transaction and written back before
    // it commits.
    bool seqLoaded_ = false;
    bool seqDirty_ = false;
    sqlite3_int64 nextSeq_ = 0;
    std::uint64_t own_ = 0;       // own changes
    std::uint64_t removals_ = 0;  // own key deletions and rollbacks
    sqlite3_int64 lastDataVersion_ = -1;
    bool readOpen_ = false;
    int snapshots_ = 0;  // BeginSnapshot calls not yet ended: the read is kept
    std::chrono::steady_clock::time_point readSince_;
    std::condition_variable_any wake_;  // tells the closer about a new snapshot, or to stop
    bool stopping_ = false;
    std::thread closer_;  // ends snapshots left open when the caller goes idle

    sqlite3_stmt* sDataVersion_ = nullptr;
    sqlite3_stmt* sKeyExists_ = nullptr;
    sqlite3_stmt* sFindChild_ = nullptr;
    sqlite3_stmt* sInsertKey_ = nullptr;
    sqlite3_stmt* sChildren_ = nullptr;
    sqlite3_stmt* sChildIds_ = nullptr;
    sqlite3_stmt* sHasChild_ = nullptr;
    sqlite3_stmt* sDeleteKey_ = nullptr;
    sqlite3_stmt* sDeleteKeyValues_ = nullptr;
    sqlite3_stmt* sTreeValues_ = nullptr;
    sqlite3_stmt* sTreeKeys_ = nullptr;
    sqlite3_stmt* sParentOf_ = nullptr;
    sqlite3_stmt* sValues_ = nullptr;
    sqlite3_stmt* sGetValue_ = nullptr;
    sqlite3_stmt* sSetValue_ = nullptr;
    sqlite3_stmt* sGetSeq_ = nullptr;
    sqlite3_stmt* sMaxSeq_ = nullptr;
    sqlite3_stmt* sPutSeq_ = nullptr;
    sqlite3_stmt* sDeleteValue_ = nullptr;
    sqlite3_stmt* sBegin_ = nullptr;
    sqlite3_stmt* sBeginRead_ = nullptr;
    sqlite3_stmt* sSavepoint_ = nullptr;
    sqlite3_stmt* sRelease_ = nullptr;
    sqlite3_stmt* sRollbackTo_ = nullptr;
    sqlite3_stmt* sCommit_ = nullptr;
    sqlite3_stmt* sRollback_ = nullptr;
};

// ---- opening ------------------------------------------------------------------------------

SqliteStore::~SqliteStore() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (closer_.joinable())
        closer_.join();
    std::lock_guard lock(mutex_);
    if (db_ && (batchDepth_ > 0 || readOpen_))
        exec("ROLLBACK");
    close();
}

void SqliteStore::finalizeAll() {
    // Cleared as they go: a store that failed to open is closed again when it is destroyed.
    for (sqlite3_stmt** s : {&sDataVersion_, &sKeyExists_, &sFindChild_, &sInsertKey_, &sChildren_, &sChildIds_,
                             &sHasChild_, &sDeleteKey_, &sDeleteKeyValues_, &sTreeValues_, &sTreeKeys_, &sParentOf_,
                             &sValues_, &sGetValue_, &sSetValue_, &sGetSeq_, &sMaxSeq_, &sPutSeq_, &sDeleteValue_,
                             &sBegin_, &sCommit_, &sRollback_, &sBeginRead_, &sSavepoint_, &sRelease_, &sRollbackTo_}) {
        sqlite3_finalize(*s);
        *s = nullptr;
    }
}

void SqliteStore::close() {
    finalizeAll();
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    ready_ = false;
}

bool SqliteStore::prepareAll() {
    const auto prep = [&](sqlite3_stmt*& s, const char* sql) {
        return sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) == SQLITE_OK;
    };
    static constexpr const char* kSubtree =
        "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id) ";
    const std::string treeValues = std::string(kSubtree) + "DELETE FROM vals WHERE key IN sub";
    const std::string treeKeys = std::string(kSubtree) + "DELETE FROM keys WHERE id IN sub";
    return prep(sDataVersion_, "PRAGMA data_version") &&
           prep(sKeyExists_, "SELECT 1 FROM keys WHERE id = ?1") &&
           prep(sFindChild_, "SELECT id FROM keys WHERE parent = ?1 AND uname = ?2") &&
           prep(sInsertKey_, "INSERT INTO keys(parent, name, uname) VALUES(?1, ?2, ?3)") &&
           prep(sChildren_, "SELECT id, name, uname FROM keys INDEXED BY keys_listing WHERE parent = ?1 ORDER BY uname") &&
           prep(sChildIds_, "SELECT id FROM keys WHERE parent = ?1") &&
           prep(sHasChild_, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1") &&
           prep(sDeleteKey_, "DELETE FROM keys WHERE id = ?1") &&
           prep(sDeleteKeyValues_, "DELETE FROM vals WHERE key = ?1") &&
           prep(sTreeValues_, treeValues.c_str()) && prep(sTreeKeys_, treeKeys.c_str()) &&
           prep(sParentOf_, "SELECT parent, name FROM keys WHERE id = ?1") &&
           prep(sValues_, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY seq") &&
           prep(sGetValue_, "SELECT type, data FROM vals WHERE key = ?1 AND uname = ?2") &&
           prep(sBeginRead_, "BEGIN") && prep(sSavepoint_, "SAVEPOINT change") &&
           prep(sRelease_, "RELEASE change") && prep(sRollbackTo_, "ROLLBACK TO change") &&
           prep(sSetValue_,
                "INSERT INTO vals(key, uname, seq, name, type, data) VALUES(?1, ?3, ?6, ?2, ?4, ?5) "
                "ON CONFLICT(key, uname) DO UPDATE SET type = excluded.type, data = excluded.data") &&
           prep(sGetSeq_, "SELECT value FROM meta WHERE name = 'next_seq'") &&
           prep(sMaxSeq_, "SELECT IFNULL(MAX(seq), 0) + 1 FROM vals") &&
           prep(sPutSeq_, "INSERT OR REPLACE INTO meta(name, value) VALUES('next_seq', ?1)") &&
           prep(sDeleteValue_, "DELETE FROM vals WHERE key = ?1 AND uname = ?2") &&
           prep(sBegin_, "BEGIN IMMEDIATE") && prep(sCommit_, "COMMIT") && prep(sRollback_, "ROLLBACK");
}

// The real roots and the bases of the views exist in every store; any that are missing are made.
bool SqliteStore::createSkeleton() {
    if (!exec("INSERT OR IGNORE INTO keys(id, parent, name, uname) VALUES"
              "(1, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'), (2, 0, 'HKEY_USERS', 'HKEY_USERS')"))
        return false;
    for (const RootInfo& r : kRoots) {
        sqlite3_int64 id = r.realRoot;
        for (const std::string& part : splitKeyPath(r.basePath)) {
            sqlite3_int64 child = 0;
            const Lookup found = findChild(id, part, child);
            if (found == Lookup::failed)
                return false;
            if (found == Lookup::missing) {
                Query q(sInsertKey_);
                const std::string upper = foldName(part);
                if (!q.bind(1, id).bind(2, part).bind(3, upper).done())
                    return false;
                child = sqlite3_last_insert_rowid(db_);
            }
            id = child;
        }
    }
    return true;
}

bool SqliteStore::upgradeValues() {
    sqlite3_stmt* probe = nullptr;
    const bool hasTable = sqlite3_prepare_v2(db_, "SELECT 1 FROM vals LIMIT 0", -1, &probe, nullptr) == SQLITE_OK;
    sqlite3_finalize(probe);
    if (!hasTable)
        return true;  // a new store
    probe = nullptr;
    const bool current = sqlite3_prepare_v2(db_, "SELECT seq FROM vals LIMIT 0", -1, &probe, nullptr) == SQLITE_OK;
    sqlite3_finalize(probe);
    return current || exec(kUpgradeValues);
}

bool SqliteStore::isComplete() {
    // The tables as they are now, and the mark the initializer leaves.
    const std::pair<const char*, bool> probes[] = {{"SELECT seq FROM vals LIMIT 0", false},
                                                   {"SELECT id, parent, name, uname FROM keys LIMIT 0", false},
                                                   {"SELECT 1 FROM meta WHERE name = 'initialized'", true}};
    for (const auto& [sql, needsRow] : probes) {
        sqlite3_stmt* probe = nullptr;
        bool found = sqlite3_prepare_v2(db_, sql, -1, &probe, nullptr) == SQLITE_OK;
        if (found && needsRow)
            found = sqlite3_step(probe) == SQLITE_ROW;
        sqlite3_finalize(probe);
        if (!found)
            return false;
    }
    return true;
}

bool SqliteStore::loadRoots() {
    for (const RootInfo& r : kRoots) {
        sqlite3_int64 id = 0;
        if (walk(r.realRoot, splitKeyPath(r.basePath), id) != kErrorSuccess)
            return false;
        rootBase_[r.handle] = id;
        for (sqlite3_int64 cur = id; cur != 0;) {
            protected_.insert(cur);
            if (cur != id)
                baseAncestors_.insert(cur);
            Query q(sParentOf_);
            cur = q.bind(1, cur).step() == SQLITE_ROW ? q.integer(0) : 0;
        }
    }
    return true;
}

bool SqliteStore::runInitializer() {
    NewStoreInitializer init = detail::newStoreInitializer();
    if (init) {
        if (!exec("SAVEPOINT fill"))
            return false;
        batchDepth_ = 1;  // the initializer's changes join the opening transaction
        bool ok = true;
        try {
            init(*this);
        } catch (...) {
            ok = false;
        }
        while (batchDepth_ > 1)
            RollbackBatch();
        batchDepth_ = 0;
        if (!ok || batchLost_) {
            exec("ROLLBACK TO fill");
            exec("RELEASE fill");
            return !batchLost_;
        }
        if (!exec("RELEASE fill"))
            return false;
    }
    return exec("INSERT OR REPLACE INTO meta(name, value) VALUES('initialized', '1')");
}

void SqliteStore::open() {
    std::lock_guard lock(mutex_);
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        close();
        return;
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_, 0);

    // Switching to WAL needs a moment alone with the file; another process may be opening it too.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    bool wal = false;
    while (!wal) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, "PRAGMA journal_mode=WAL", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW) {
            const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
            wal = mode && std::string_view(mode) == "wal";
        }
        const int rc = sqlite3_errcode(db_);
        sqlite3_finalize(s);
        if (wal)
            break;
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || std::chrono::steady_clock::now() > deadline) {
            close();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // A large batch (an import) keeps its pages in memory instead of spilling them to the log
    // again and again; the memory is taken only as the batch grows.
    exec("PRAGMA cache_size=-32768");
    exec("PRAGMA temp_store=MEMORY");  // the small journals of savepoints: no temporary files
    exec("PRAGMA journal_size_limit=67108864");  // the log shrinks back after a large import
    if (!exec("PRAGMA synchronous=NORMAL")) {
        close();
        return;
    }
    // A store that is complete is only read here: another program may be writing to it (an
    // import), and nothing that only reads may wait for that.
    if (exec("BEGIN")) {
        const bool complete = isComplete() && prepareAll() && loadRoots();
        exec("COMMIT");
        if (complete) {
            makeRootHandles();
            return;
        }
        finalizeAll();
        protected_.clear();
        baseAncestors_.clear();
    }
    if (!exec("BEGIN IMMEDIATE")) {
        close();
        return;
    }
    // Under the write lock: only one process creates the schema and fills a new store.
    bool ok = upgradeValues() && exec(kSchema) && prepareAll() && createSkeleton() && loadRoots();
    if (ok) {
        // The roots work from here on, so the initializer can use them.
        makeRootHandles();
        if (!isComplete())
            ok = runInitializer();
    }
    if (!ok || !saveSeq() || !exec("COMMIT")) {
        exec("ROLLBACK");
        handles_.clear();
        close();
        return;
    }
}

void SqliteStore::makeRootHandles() {
    ready_ = true;
    for (const RootInfo& r : kRoots) {
        KeyHandle k;
        k.keyId = rootBase_[r.handle];
        k.root = r.handle;
        k.access = 0x3F;
        handles_.emplace(r.handle, std::move(k));
    }
}

// ---- helpers --------------------------------------------------------------------------------

void SqliteStore::refreshDataVersion() {
    Query q(sDataVersion_);
    if (q.step() == SQLITE_ROW)
        lastDataVersion_ = q.integer(0);
}

SqliteStore::Lookup SqliteStore::keyLookup(sqlite3_int64 id) {
    Query q(sKeyExists_);
    const int rc = q.bind(1, id).step();
    return rc == SQLITE_ROW ? Lookup::found : rc == SQLITE_DONE ? Lookup::missing : Lookup::failed;
}

bool SqliteStore::takeSeq(sqlite3_int64& seq) {
    if (!seqLoaded_) {
        {
            Query q(sGetSeq_);
            const int rc = q.step();
            if (rc == SQLITE_ROW)
                nextSeq_ = q.integer(0);
            else if (rc != SQLITE_DONE)
                return false;
            seqLoaded_ = rc == SQLITE_ROW;
        }
        if (!seqLoaded_) {
            Query q(sMaxSeq_);
            if (q.step() != SQLITE_ROW)
                return false;
            nextSeq_ = q.integer(0);
            seqLoaded_ = true;
        }
    }
    seq = nextSeq_++;
    seqDirty_ = true;
    return true;
}

bool SqliteStore::saveSeq() {
    const bool dirty = seqDirty_;
    seqLoaded_ = seqDirty_ = false;  // the next transaction reads it afresh
    if (!dirty)
        return true;
    Query q(sPutSeq_);
    return q.bind(1, nextSeq_).done();
}

void SqliteStore::noticeOthers(bool inWrite) {
    // Inside a batch this connection holds the write lock: nobody else can commit.
    if (batchDepth_ > 0 && lastDataVersion_ >= 0)
        return;
    if (inWrite)
        refreshDataVersion();
    else
        freshRead();
}

void SqliteStore::freshRead() {
    if (batchDepth_ > 0 || (!readOpen_ && !sqlite3_get_autocommit(db_)))
        return;  // a write transaction is open: its reads are current
    const auto now = std::chrono::steady_clock::now();
    if (readOpen_ && (snapshots_ > 0 || now - readSince_ < kSnapshotLife))
        return;
    endRead();
    {
        Query q(sBeginRead_);
        if (!q.done())
            return;
    }
    readOpen_ = true;
    readSince_ = now;
    refreshDataVersion();  // the first read: the snapshot starts here
    if (!closer_.joinable())
        closer_ = std::thread([this] { closeIdleReads(); });
    wake_.notify_one();
}

void SqliteStore::endRead() {
    if (!readOpen_)
        return;
    readOpen_ = false;
    Query q(sCommit_);
    q.step();
}

void SqliteStore::closeIdleReads() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!readOpen_ || snapshots_ > 0) {
            wake_.wait(lock);
            continue;
        }
        const auto due = readSince_ + kSnapshotLife;
        if (std::chrono::steady_clock::now() >= due)
            endRead();
        else
            wake_.wait_until(lock, due);
    }
}

KeyHandle* SqliteStore::live(HKey h, LONG& err, bool inWrite) {
    auto it = handles_.find(h);
    if (it == handles_.end()) {
        err = kErrorInvalidHandle;
        return nullptr;
    }
    KeyHandle& k = it->second;
    if (!k.dead) {
        noticeOthers(inWrite);
        const Stamp now = existenceStamp();
        if (k.verified == now)
            return &k;
        const Lookup state = keyLookup(k.keyId);
        if (state == Lookup::found) {
            k.verified = now;
            return &k;
        }
        if (state == Lookup::failed) {
            err = kErrorCantRead;
            return nullptr;
        }
        k.dead = true;
    }
    err = kErrorKeyDeleted;
    return nullptr;
}

SqliteStore::Lookup SqliteStore::findChild(sqlite3_int64 parent, const std::string& name, sqlite3_int64& id) {
    Query q(sFindChild_);
    const std::string upper = foldName(name);
    const int rc = q.bind(1, parent).bind(2, upper).step();
    if (rc != SQLITE_ROW)
        return rc == SQLITE_DONE ? Lookup::missing : Lookup::failed;
    id = q.integer(0);
    return Lookup::found;
}

LONG SqliteStore::checkParts(const std::vector<std::string>& parts) const {
    for (const std::string& p : parts)
        if (utf16Length(p) > kMaxNameLength)
            return kErrorInvalidParameter;
    return kErrorSuccess;
}

LONG SqliteStore::walk(sqlite3_int64 from, const std::vector<std::string>& parts, sqlite3_int64& id) {
    id = from;
    for (const std::string& part : parts) {
        const Lookup found = findChild(id, part, id);
        if (found != Lookup::found)
            return found == Lookup::missing ? kErrorFileNotFound : kErrorCantRead;
    }
    return kErrorSuccess;
}

LONG SqliteStore::walkFrom(const KeyHandle& base, const std::vector<std::string>& parts, sqlite3_int64& id) {
    if (parts.empty() || !base.cacheValid || !(base.cacheStamp == cacheStamp()))
        return walk(base.keyId, parts, id);
    // The first step from a key whose sub-keys are at hand needs no query.
    const std::string upper = foldName(parts.front());
    std::size_t lo = 0, hi = base.children.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (base.childUpper(mid) < upper)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == base.children.size() || base.childUpper(lo) != upper)
        return kErrorFileNotFound;
    return walk(base.children[lo].id, std::vector<std::string>(parts.begin() + 1, parts.end()), id);
}

LONG SqliteStore::ensureCache(KeyHandle& k, bool continuing) {
    freshRead();  // sub-keys and values from one snapshot
    if (k.cacheValid && (k.cacheStamp == cacheStamp() || (continuing && k.cacheStamp.own == own_)))
        return kErrorSuccess;
    LONG err = kErrorSuccess;
    k.cacheValid = false;
    k.children.clear();
    k.childNames.clear();
    k.values.clear();
    const Lookup state = keyLookup(k.keyId);
    if (state != Lookup::found) {
        k.dead = state == Lookup::missing;
        err = k.dead ? kErrorKeyDeleted : kErrorCantRead;
    }
    if (err == kErrorSuccess) {
        Query q(sChildren_);
        q.bind(1, k.keyId);
        int rc;
        while ((rc = q.step()) == SQLITE_ROW) {
            const std::string_view name = q.view(1);
            const std::string_view upper = q.view(2);
            k.children.push_back(ChildEntry{q.integer(0), static_cast<std::uint32_t>(k.childNames.size()),
                                            static_cast<std::uint32_t>(name.size()),
                                            static_cast<std::uint32_t>(upper.size())});
            k.childNames.append(name);
            k.childNames.append(upper);
        }
        if (rc != SQLITE_DONE)
            err = kErrorCantRead;
    }
    if (err == kErrorSuccess) {
        Query q(sValues_);
        q.bind(1, k.keyId);
        int rc;
        while ((rc = q.step()) == SQLITE_ROW)
            k.values.push_back(ValueEntry{q.text(0), static_cast<DWORD>(q.integer(1)), q.blob(2)});
        if (rc != SQLITE_DONE)
            err = kErrorCantRead;
    }
    if (err != kErrorSuccess) {
        k.children.clear();
        k.childNames.clear();
        k.values.clear();
        return err;
    }
    k.cacheValid = true;
    k.cacheStamp = cacheStamp();
    return kErrorSuccess;
}

HKey SqliteStore::addHandle(sqlite3_int64 keyId, HKey root, DWORD access) {
    const HKey h = nextHandle_;
    nextHandle_ += 4;
    KeyHandle k;
    k.keyId = keyId;
    k.root = root;
    k.access = effectiveAccess(access);
    k.verified = existenceStamp();
    handles_.emplace(h, std::move(k));
    return h;
}

// A failed statement can end the whole transaction (a full disk, an I/O error); a batch that
// was lost that way must not report success later.
void SqliteStore::noteFailure() {
    if (batchDepth_ > 0 && sqlite3_get_autocommit(db_)) {
        batchLost_ = true;
        batchDepth_ = 0;
        seqLoaded_ = seqDirty_ = false;
        ++own_;
        ++removals_;
    }
}

SqliteStore::Change::Change(SqliteStore& s, bool severalStatements) : s_(s) {
    if (s_.batchDepth_ > 0) {
        started_ = !severalStatements || several();
    } else {
        s_.endRead();
        Query q(s_.sBegin_);
        const int rc = q.step();
        started_ = rc == SQLITE_DONE;
        busy_ = rc == SQLITE_BUSY;
    }
}

bool SqliteStore::Change::several() {
    if (s_.batchDepth_ == 0 || savepoint_)
        return true;
    Query q(s_.sSavepoint_);
    savepoint_ = q.done();
    return savepoint_;
}

LONG SqliteStore::Change::commit() {
    finished_ = true;
    if (s_.batchDepth_ > 0) {
        if (!savepoint_)
            return kErrorSuccess;
        Query q(s_.sRelease_);
        return q.done() ? kErrorSuccess : kErrorCantWrite;
    }
    if (!s_.saveSeq()) {
        finished_ = false;
        return kErrorCantWrite;
    }
    Query q(s_.sCommit_);
    if (q.done())
        return kErrorSuccess;
    finished_ = false;  // roll back in the destructor
    return kErrorCantWrite;
}

SqliteStore::Change::~Change() {
    if (!started_ || finished_)
        return;
    if (s_.batchDepth_ > 0) {
        if (savepoint_) {
            {
                Query q(s_.sRollbackTo_);
                q.step();
            }
            Query q(s_.sRelease_);
            q.step();
        }
        s_.noteFailure();
    } else {
        s_.seqLoaded_ = s_.seqDirty_ = false;
        if (!sqlite3_get_autocommit(s_.db_)) {
            Query q(s_.sRollback_);
            q.step();
        }
    }
    ++s_.own_;
    ++s_.removals_;
}

// ---- keys -----------------------------------------------------------------------------------

LONG SqliteStore::RegOpenKeyExA(HKey hKey, const char* lpSubKey, DWORD, DWORD samDesired, HKey* phkResult) {
    if (!phkResult)
        return kErrorInvalidParameter;
    *phkResult = 0;
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    LONG err = kErrorSuccess;
    KeyHandle* base = live(hKey, err);
    if (!base)
        return err;
    const auto parts = splitKeyPath(lpSubKey ? cleanName(lpSubKey) : std::string());
    if ((err = checkParts(parts)) != kErrorSuccess)
        return err;
    sqlite3_int64 id = 0;
    if ((err = walkFrom(*base, parts, id)) != kErrorSuccess)
        return err;
    *phkResult = addHandle(id, base->root, samDesired);
    return kErrorSuccess;
}

LONG SqliteStore::RegCreateKeyExA(HKey hKey, const char* lpSubKey, DWORD, const char*, DWORD, DWORD samDesired,
                                  const SecurityAttributes*, HKey* phkResult, DWORD* lpdwDisposition) {
    if (!phkResult || !lpSubKey)
        return kErrorInvalidParameter;
    *phkResult = 0;
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    LONG err = kErrorSuccess;
    if (!handles_.count(hKey))
        return kErrorInvalidHandle;
    const auto parts = splitKeyPath(cleanName(lpSubKey));
    if ((err = checkParts(parts)) != kErrorSuccess)
        return err;
    // Most keys are made below one that exists: a single insert, with no savepoint to pay for.
    Change change(*this, false);
    if (!change.started())
        return change.startError();
    KeyHandle* base = live(hKey, err, true);
    if (!base)
        return err;
    const sqlite3_int64 baseId = base->keyId;
    const HKey root = base->root;
    const bool mayCreate = (base->access & kKeyCreateSubKey) != 0;
    sqlite3_int64 id = baseId;
    bool created = false;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        const Lookup found = created ? Lookup::missing : findChild(id, part, id);
        if (found == Lookup::found)
            continue;
        if (found == Lookup::failed)
            return kErrorCantRead;
        if (!mayCreate)
            return kErrorAccessDenied;
        if (!created && i + 1 < parts.size() && !change.several())
            return kErrorCantWrite;
        Query q(sInsertKey_);
        const std::string upper = foldName(part);
        if (!q.bind(1, id).bind(2, part).bind(3, upper).done())
            return kErrorCantWrite;
        id = sqlite3_last_insert_rowid(db_);
        created = true;
    }
    if (created) {
        changed(false);
        if ((err = change.commit()) != kErrorSuccess)
            return err;
    } else {
        change.commit();
    }
    *phkResult = addHandle(id, root, samDesired);
    if (lpdwDisposition)
        *lpdwDisposition = created ? kRegCreatedNewKey : kRegOpenedExistingKey;
    return kErrorSuccess;
}

LONG SqliteStore::RegCloseKey(HKey hKey) {
    std::lock_guard lock(mutex_);
    if (rootInfo(hKey))
        return ready_ ? kErrorSuccess : kErrorCantOpen;
    return handles_.erase(hKey) ? kErrorSuccess : kErrorInvalidHandle;
}

LONG SqliteStore::deleteSubtree(sqlite3_int64 id) {
    {
        Query q(sTreeValues_);
        if (!q.bind(1, id).done())
            return kErrorCantWrite;
    }
    Query q(sTreeKeys_);
    return q.bind(1, id).done() ? kErrorSuccess : kErrorCantWrite;
}

LONG SqliteStore::RegDeleteKeyA(HKey hKey, const char* lpSubKey) {
    if (!lpSubKey)
        return kErrorInvalidParameter;
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    if (!handles_.count(hKey))
        return kErrorInvalidHandle;
    const auto parts = splitKeyPath(cleanName(lpSubKey));
    LONG err = checkParts(parts);
    if (err != kErrorSuccess)
        return err;
    Change change(*this, true);
    if (!change.started())
        return change.startError();
    KeyHandle* base = live(hKey, err, true);
    if (!base)
        return err;
    sqlite3_int64 id = 0;
    if ((err = walkFrom(*base, parts, id)) != kErrorSuccess)
        return err;
    if (isProtected(id))
        return kErrorAccessDenied;
    {
        Query q(sHasChild_);
        if (q.bind(1, id).step() == SQLITE_ROW)
            return kErrorAccessDenied;
    }
    {
        Query q(sDeleteKeyValues_);
        if (!q.bind(1, id).done())
            return kErrorCantWrite;
    }
    {
        Query q(sDeleteKey_);
        if (!q.bind(1, id).done())
            return kErrorCantWrite;
    }
    changed(true);
    return change.commit();
}

LONG SqliteStore::DeleteTree(HKey hKey, const char* lpSubKey) {
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    if (!handles_.count(hKey))
        return kErrorInvalidHandle;
    const auto parts = splitKeyPath(lpSubKey ? cleanName(lpSubKey) : std::string());
    LONG err = checkParts(parts);
    if (err != kErrorSuccess)
        return err;
    Change change(*this, true);
    if (!change.started())
        return change.startError();
    KeyHandle* base = live(hKey, err, true);
    if (!base)
        return err;
    sqlite3_int64 id = 0;
    if ((err = walkFrom(*base, parts, id)) != kErrorSuccess)
        return err;
    if (lpSubKey) {
        if (isProtected(id))
            return kErrorAccessDenied;
        if ((err = deleteSubtree(id)) != kErrorSuccess)
            return err;
    } else {
        // No sub-key: empty the key but keep it, as the registry does.
        if (isBaseAncestor(id))
            return kErrorAccessDenied;
        std::vector<sqlite3_int64> children;
        {
            Query q(sChildIds_);
            q.bind(1, id);
            while (q.step() == SQLITE_ROW)
                children.push_back(q.integer(0));
        }
        for (sqlite3_int64 child : children)
            if ((err = deleteSubtree(child)) != kErrorSuccess)
                return err;
        Query q(sDeleteKeyValues_);
        if (!q.bind(1, id).done())
            return kErrorCantWrite;
    }
    changed(true);
    return change.commit();
}

LONG SqliteStore::RegEnumKeyA(HKey hKey, DWORD dwIndex, char* lpName, DWORD cchName) {
    if (!lpName)
        return kErrorInvalidParameter;
    std::string name;
    const LONG err = EnumKeyRaw(hKey, dwIndex, name);
    return err == kErrorSuccess ? copyName(name, lpName, cchName) : err;
}

LONG SqliteStore::EnumKeyRaw(HKey hKey, DWORD dwIndex, std::string& name) {
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    LONG err = kErrorSuccess;
    KeyHandle* k = live(hKey, err);
    if (!k)
        return err;
    if (!(k->access & kKeyEnumerateSubKeys))
        return kErrorAccessDenied;
    if ((err = ensureCache(*k, dwIndex > 0)) != kErrorSuccess)
        return err;
    if (dwIndex >= k->children.size())
        return kErrorNoMoreItems;
    name = k->childName(dwIndex);
    return kErrorSuccess;
}

bool SqliteStore::KeyPath(HKey hKey, std::string& path) {
    std::lock_guard lock(mutex_);
    if (!ready_)
        return false;
    LONG err = kErrorSuccess;
    KeyHandle* k = live(hKey, err);
    if (!k)
        return false;
    const sqlite3_int64 top = rootBase_[k->root];
    std::vector<std::string> names;
    for (sqlite3_int64 id = k->keyId; id != top;) {
        Query q(sParentOf_);
        if (q.bind(1, id).step() != SQLITE_ROW)
            return false;
        names.push_back(q.text(1));
        id = q.integer(0);
        if (id == 0)
            return false;  // not below the root it was opened through
    }
    path = rootInfo(k->root)->name;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += '\\';
        path += *it;
    }
    return true;
}

LONG SqliteStore::RegQueryInfoKeyA(HKey hKey, char* lpClass, DWORD* lpcchClass, DWORD*, DWORD* lpcSubKeys,
                                   DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                                   DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                                   DWORD* lpcbSecurityDescriptor, void*) {
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    LONG err = kErrorSuccess;
    KeyHandle* k = live(hKey, err);
    if (!k)
        return err;
    if (!(k->access & kKeyQueryValue))
        return kErrorAccessDenied;
    if ((err = ensureCache(*k, false)) != kErrorSuccess)
        return err;
    // Lengths are in the units of the ANSI functions' buffers, so a caller can size them by it.
    std::size_t maxKey = 0, maxName = 0, maxData = 0;
    for (const ChildEntry& c : k->children)
        maxKey = std::max<std::size_t>(maxKey, c.length);
    for (const ValueEntry& v : k->values) {
        maxName = std::max(maxName, v.name.size());
        maxData = std::max(maxData, isStringType(v.type) ? ansiData(v.type, v.data).size() : v.data.size());
    }
    if (lpcchClass) {
        if (lpClass && *lpcchClass > 0)
            lpClass[0] = '\0';
        *lpcchClass = 0;
    }
    if (lpcSubKeys)
        *lpcSubKeys = static_cast<DWORD>(k->children.size());
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = static_cast<DWORD>(maxKey);
    if (lpcbMaxClassLen)
        *lpcbMaxClassLen = 0;
    if (lpcValues)
        *lpcValues = static_cast<DWORD>(k->values.size());
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = static_cast<DWORD>(maxName);
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = static_cast<DWORD>(maxData);
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = 0;
    return kErrorSuccess;
}

// ---- values ---------------------------------------------------------------------------------

LONG SqliteStore::setValue(HKey hKey, const std::string& rawName, DWORD type, const std::uint8_t* data,
                           std::size_t size) {
    if ((!data && size) || size > static_cast<std::size_t>(INT_MAX))
        return kErrorInvalidParameter;
    std::string cleaned;
    std::string_view name = rawName;
    if (!text::isValidUtf8(name)) {
        cleaned = cleanName(name);
        name = cleaned;
    }
    if (utf16Length(name) > kMaxValueNameLength)
        return kErrorInvalidParameter;
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    auto it = handles_.find(hKey);
    if (it == handles_.end())
        return kErrorInvalidHandle;
    if (!it->second.dead && !(it->second.access & kKeySetValue))
        return kErrorAccessDenied;
    Change change(*this, false);
    if (!change.started())
        return change.startError();
    LONG err = kErrorSuccess;
    KeyHandle* k = live(hKey, err, true);
    if (!k)
        return err;
    sqlite3_int64 seq = 0;
    if (!takeSeq(seq))
        return kErrorCantWrite;
    Query q(sSetValue_);
    const std::string upper = foldName(name);
    if (!q.bind(1, k->keyId).bind(2, name).bind(3, upper).bind(4, sqlite3_int64{type}).bindBlob(5, data, size)
             .bind(6, seq)
             .done())
        return kErrorCantWrite;
    changed(false);
    return change.commit();
}

LONG SqliteStore::queryValue(HKey hKey, const std::string& rawName, DWORD& type, std::vector<std::uint8_t>& data) {
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    LONG err = kErrorSuccess;
    KeyHandle* k = live(hKey, err);
    if (!k)
        return err;
    if (!(k->access & kKeyQueryValue))
        return kErrorAccessDenied;
    Query q(sGetValue_);
    const std::string upper = foldName(cleanName(rawName));
    const int rc = q.bind(1, k->keyId).bind(2, upper).step();
    if (rc == SQLITE_DONE)
        return kErrorFileNotFound;
    if (rc != SQLITE_ROW)
        return kErrorCantRead;
    type = static_cast<DWORD>(q.integer(0));
    data = q.blob(1);
    return kErrorSuccess;
}

LONG SqliteStore::RegQueryValueExA(HKey hKey, const char* lpValueName, DWORD*, DWORD* lpType, std::uint8_t* lpData,
                                   DWORD* lpcbData) {
    if (lpData && !lpcbData)
        return kErrorInvalidParameter;
    DWORD type = 0;
    std::vector<std::uint8_t> stored;
    const LONG err = queryValue(hKey, lpValueName ? lpValueName : "", type, stored);
    if (err != kErrorSuccess)
        return err;
    if (lpType)
        *lpType = type;
    return deliver(ansiData(type, stored), lpData, lpcbData);
}

LONG SqliteStore::QueryValueRaw(HKey hKey, const std::string& name, DWORD& type, std::vector<std::uint8_t>& data) {
    return queryValue(hKey, name, type, data);
}

LONG SqliteStore::RegSetValueExA(HKey hKey, const char* lpValueName, DWORD, DWORD dwType, const std::uint8_t* lpData,
                                 DWORD cbData) {
    if (!lpData && cbData)
        return kErrorInvalidParameter;
    const std::string name = lpValueName ? lpValueName : "";
    if (!isStringType(dwType))
        return setValue(hKey, name, dwType, lpData, cbData);
    const std::string wide = text::utf8ToUtf16le(
        std::string_view(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0));
    return setValue(hKey, name, dwType, reinterpret_cast<const std::uint8_t*>(wide.data()), wide.size());
}

LONG SqliteStore::SetValueRaw(HKey hKey, const std::string& name, DWORD type, const std::uint8_t* data,
                              std::size_t size) {
    return setValue(hKey, name, type, data, size);
}

LONG SqliteStore::RegDeleteValueA(HKey hKey, const char* lpValueName) {
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    auto it = handles_.find(hKey);
    if (it == handles_.end())
        return kErrorInvalidHandle;
    if (!it->second.dead && !(it->second.access & kKeySetValue))
        return kErrorAccessDenied;
    Change change(*this, false);
    if (!change.started())
        return change.startError();
    LONG err = kErrorSuccess;
    KeyHandle* k = live(hKey, err, true);
    if (!k)
        return err;
    Query q(sDeleteValue_);
    const std::string upper = foldName(cleanName(lpValueName ? lpValueName : ""));
    if (!q.bind(1, k->keyId).bind(2, upper).done())
        return kErrorCantWrite;
    if (sqlite3_changes(db_) == 0)
        return kErrorFileNotFound;
    changed(false);
    return change.commit();
}

LONG SqliteStore::EnumValueRaw(HKey hKey, DWORD dwIndex, std::string& name, DWORD& type,
                               std::vector<std::uint8_t>& data) {
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    LONG err = kErrorSuccess;
    KeyHandle* k = live(hKey, err);
    if (!k)
        return err;
    if (!(k->access & kKeyQueryValue))
        return kErrorAccessDenied;
    if ((err = ensureCache(*k, dwIndex > 0)) != kErrorSuccess)
        return err;
    if (dwIndex >= k->values.size())
        return kErrorNoMoreItems;
    const ValueEntry& v = k->values[dwIndex];
    name = v.name;
    type = v.type;
    data = v.data;
    return kErrorSuccess;
}

LONG SqliteStore::RegEnumValueA(HKey hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD*,
                                DWORD* lpType, std::uint8_t* lpData, DWORD* lpcbData) {
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData))
        return kErrorInvalidParameter;
    std::string name;
    DWORD type = 0;
    std::vector<std::uint8_t> stored;
    LONG err = EnumValueRaw(hKey, dwIndex, name, type, stored);
    if (err != kErrorSuccess)
        return err;
    if ((err = copyName(name, lpValueName, *lpcchValueName)) != kErrorSuccess)
        return err;
    *lpcchValueName = static_cast<DWORD>(name.size());
    if (lpType)
        *lpType = type;
    return deliver(ansiData(type, stored), lpData, lpcbData);
}

// ---- batches --------------------------------------------------------------------------------

LONG SqliteStore::BeginBatch() {
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    if (batchDepth_ == 0) {
        endRead();
        Query q(sBegin_);
        if (const int rc = q.step(); rc != SQLITE_DONE)
            return rc == SQLITE_BUSY ? kErrorBusy : kErrorCantWrite;
        batchLost_ = false;
        seqLoaded_ = seqDirty_ = false;
        refreshDataVersion();  // what others committed before the batch began
    } else if (!exec(("SAVEPOINT batch" + std::to_string(batchDepth_)).c_str())) {
        return kErrorCantWrite;
    }
    ++batchDepth_;
    return kErrorSuccess;
}

LONG SqliteStore::CommitBatch() {
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    if (batchLost_) {
        batchLost_ = false;
        return kErrorCantWrite;
    }
    if (batchDepth_ == 0)
        return kErrorInvalidParameter;
    if (batchDepth_ > 1) {
        --batchDepth_;
        return exec(("RELEASE batch" + std::to_string(batchDepth_)).c_str()) ? kErrorSuccess : kErrorCantWrite;
    }
    bool committed = saveSeq();
    if (committed) {
        Query q(sCommit_);
        committed = q.done();
    }
    batchDepth_ = 0;
    if (committed)
        return kErrorSuccess;
    // The transaction stays open on a failed commit; end it so the store stays usable.
    Query q(sRollback_);
    q.step();
    ++own_;
    ++removals_;
    return kErrorCantWrite;
}

LONG SqliteStore::RollbackBatch() {
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    if (batchLost_) {
        batchLost_ = false;
        return kErrorSuccess;
    }
    if (batchDepth_ == 0)
        return kErrorInvalidParameter;
    --batchDepth_;
    bool ok;
    if (batchDepth_ > 0) {
        const std::string name = "batch" + std::to_string(batchDepth_);
        ok = exec(("ROLLBACK TO " + name).c_str()) && exec(("RELEASE " + name).c_str());
    } else {
        seqLoaded_ = seqDirty_ = false;
        Query q(sRollback_);
        ok = q.done();
    }
    ++own_;
    ++removals_;
    // Ids of keys created in the batch may be given out again; handles to them must stay dead.
    for (auto& [h, k] : handles_)
        if (!k.dead && keyLookup(k.keyId) == Lookup::missing)
            k.dead = true;
    return ok ? kErrorSuccess : kErrorCantWrite;
}

LONG SqliteStore::BeginSnapshot() {
    std::lock_guard lock(mutex_);
    if (!ready_)
        return kErrorCantOpen;
    if (snapshots_ == 0 && batchDepth_ == 0) {
        endRead();
        freshRead();
        if (!readOpen_)
            return kErrorCantRead;
    }
    ++snapshots_;
    return kErrorSuccess;
}

LONG SqliteStore::EndSnapshot() {
    std::lock_guard lock(mutex_);
    if (snapshots_ == 0)
        return kErrorInvalidParameter;
    if (--snapshots_ == 0)
        endRead();
    return kErrorSuccess;
}

}  // namespace

std::unique_ptr<RegistryService> openStore(const std::string& path) {
    // Allocation statistics cost a global lock on every allocation; the store does not use them.
    // This only takes effect before SQLite's first use in the process.
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
    auto store = std::make_unique<SqliteStore>(path);
    store->open();
    return store;
}

}  // namespace karvo::reg
