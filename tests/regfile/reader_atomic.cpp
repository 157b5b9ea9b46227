// All or nothing: registry failures roll the import back, a killed import leaves the store as it
// was, and back ends without batches still get a fully checked file.
#include "reader_support.h"

#include <sqlite3.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace karvo::regfile::test {
namespace {

using reg::HKey;
using reg::LONG;

// Passes every call to a real store; tests override the calls they watch.
class Forwarding : public reg::RegistryService {
public:
    explicit Forwarding(reg::RegistryService& inner) : inner_(inner) {}

    LONG RegOpenKeyExA(HKey k, const char* s, DWORD o, DWORD a, HKey* r) override {
        return inner_.RegOpenKeyExA(k, s, o, a, r);
    }
    LONG RegCreateKeyExA(HKey k, const char* s, DWORD res, const char* c, DWORD o, DWORD a,
                         const reg::SecurityAttributes* sa, HKey* r, DWORD* d) override {
        ++creates;
        return inner_.RegCreateKeyExA(k, s, res, c, o, a, sa, r, d);
    }
    LONG RegCloseKey(HKey k) override {
        ++closes;
        return inner_.RegCloseKey(k);
    }
    LONG RegQueryValueExA(HKey k, const char* n, DWORD* r, DWORD* t, std::uint8_t* d, DWORD* c) override {
        return inner_.RegQueryValueExA(k, n, r, t, d, c);
    }
    LONG RegSetValueExA(HKey k, const char* n, DWORD r, DWORD t, const std::uint8_t* d, DWORD c) override {
        return inner_.RegSetValueExA(k, n, r, t, d, c);
    }
    LONG RegDeleteKeyA(HKey k, const char* s) override { return inner_.RegDeleteKeyA(k, s); }
    LONG RegDeleteValueA(HKey k, const char* n) override { return inner_.RegDeleteValueA(k, n); }
    LONG RegEnumKeyA(HKey k, DWORD i, char* n, DWORD c) override { return inner_.RegEnumKeyA(k, i, n, c); }
    LONG RegEnumValueA(HKey k, DWORD i, char* n, DWORD* nc, DWORD* r, DWORD* t, std::uint8_t* d,
                       DWORD* dc) override {
        return inner_.RegEnumValueA(k, i, n, nc, r, t, d, dc);
    }
    LONG RegQueryInfoKeyA(HKey k, char* c, DWORD* cc, DWORD* r, DWORD* sk, DWORD* msk, DWORD* mc, DWORD* v,
                          DWORD* mvn, DWORD* mv, DWORD* sd, void* ft) override {
        return inner_.RegQueryInfoKeyA(k, c, cc, r, sk, msk, mc, v, mvn, mv, sd, ft);
    }
    LONG EnumKeyRaw(HKey k, DWORD i, std::string& n) override { return inner_.EnumKeyRaw(k, i, n); }
    LONG EnumValueRaw(HKey k, DWORD i, std::string& n, DWORD& t, std::vector<std::uint8_t>& d) override {
        return inner_.EnumValueRaw(k, i, n, t, d);
    }
    LONG QueryValueRaw(HKey k, const std::string& n, DWORD& t, std::vector<std::uint8_t>& d) override {
        return inner_.QueryValueRaw(k, n, t, d);
    }
    LONG SetValueRaw(HKey k, const std::string& n, DWORD t, const std::uint8_t* d, std::size_t s) override {
        ++sets;
        if (onSet)
            if (const LONG rc = onSet(sets); rc != reg::kErrorSuccess)
                return rc;
        return inner_.SetValueRaw(k, n, t, d, s);
    }
    LONG DeleteTree(HKey k, const char* s) override { return inner_.DeleteTree(k, s); }
    bool KeyPath(HKey k, std::string& p) override { return inner_.KeyPath(k, p); }
    LONG BeginBatch() override {
        ++begins;
        return batches ? inner_.BeginBatch() : reg::kErrorNotSupported;
    }
    LONG CommitBatch() override {
        ++commits;
        return inner_.CommitBatch();
    }
    LONG RollbackBatch() override {
        ++rollbacks;
        return inner_.RollbackBatch();
    }

    bool batches = true;
    std::function<LONG(int)> onSet;
    int creates = 0, closes = 0, sets = 0, begins = 0, commits = 0, rollbacks = 0;

private:
    reg::RegistryService& inner_;
};

std::string manyValues(int keys, int valuesPerKey) {
    std::string text = "Windows Registry Editor Version 5.00\r\n";
    for (int k = 0; k < keys; ++k) {
        text += "\r\n[" + kK + "\\Many\\Key" + std::to_string(k) + "]\r\n";
        for (int v = 0; v < valuesPerKey; ++v)
            text += "\"Value" + std::to_string(v) + "\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,\\\r\n"
                    "  12,13,14,15,16,17,18,19,1a,1b,1c,1d,1e,1f\r\n";
    }
    return "\xFF\xFE" + w(text);
}

class AtomicImport : public ReaderTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(import(ansiFile({"REGEDIT4", "[" + kK + "]", R"("Before"="original")", "[" + kK + "\\Gone]",
                                     R"("v"=dword:1)"}))
                        .ok);
        before_ = dump();
    }
    std::string before_;
};

TEST_F(AtomicImport, RegistryFailureRollsEverythingBackAndNamesTheLine) {
    Forwarding service(store());
    service.onSet = [](int n) { return n == 3 ? reg::kErrorAccessDenied : reg::kErrorSuccess; };
    const Result r = importRegBytes(service,
                                    ansiFile({"REGEDIT4", "[-" + kK + "\\Gone]", "[" + kK + "\\New]", R"("a"=dword:1)",
                                              R"("b"=dword:2)", "[" + kK + "]", R"("Before"="changed")"}),
                                    "test.reg");
    ASSERT_FALSE(r.ok);
    EXPECT_EQ(failingLine(r), 7) << r.message;
    EXPECT_NE(r.message.find("\"Before\""), std::string::npos) << r.message;
    EXPECT_EQ(service.rollbacks, 1);
    EXPECT_EQ(service.commits, 0);
    EXPECT_EQ(service.creates, service.closes);
    EXPECT_EQ(dump(), before_);
}

TEST_F(AtomicImport, ValuesOfOneKeyShareOneOpenHandle) {
    Forwarding service(store());
    const Result r = importRegBytes(service, manyValues(3, 50), "test.reg");
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(service.creates, 3);
    EXPECT_EQ(service.closes, 3);
    EXPECT_EQ(service.sets, 150);
    EXPECT_EQ(service.begins, 1);
    EXPECT_EQ(service.commits, 1);
    EXPECT_EQ(service.rollbacks, 0);
}

TEST_F(AtomicImport, WithoutBatchesTheWholeFileIsStillCheckedFirst) {
    Forwarding service(store());
    service.batches = false;
    const Result bad = importRegBytes(
        service, ansiFile({"REGEDIT4", "[" + kK + "\\New]", R"("a"=dword:1)", R"("b"=dword:nope)"}), "test.reg");
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(failingLine(bad), 4);
    EXPECT_EQ(service.creates, 0);
    EXPECT_EQ(dump(), before_);

    const Result good = importRegBytes(service, ansiFile({"REGEDIT4", "[" + kK + "\\New]", R"("a"=dword:1)"}), "test.reg");
    ASSERT_TRUE(good.ok) << good.message;
    EXPECT_EQ(service.commits + service.rollbacks, 0);
    EXPECT_TRUE(value(kK + "\\New", "a").has_value());
}

bool integrityOk(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    sqlite3_stmt* st = nullptr;
    bool ok = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
              sqlite3_step(st) == SQLITE_ROW &&
              std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) == "ok";
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ok;
}

TEST_F(AtomicImport, KilledInTheMiddleLeavesTheStoreAsItWas) {
    const auto file = dir_ / "big.reg";
    karvo::test::writeFile(file, manyValues(200, 200));
    closeStore();

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child imports into its own connection and tells the parent once it is well under way.
        ::close(ready[0]);
        auto own = reg::openStore(storePath());
        Forwarding service(*own);
        service.onSet = [&](int n) {
            if (n == 5000) {
                const char byte = 1;
                if (::write(ready[1], &byte, 1) != 1)
                    ::_exit(3);
            }
            return reg::kErrorSuccess;
        };
        importRegFile(service, file.string());
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool signalled = ::read(ready[0], &byte, 1) == 1;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ASSERT_TRUE(signalled);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_TRUE(integrityOk(storePath()));
    EXPECT_EQ(dump(), before_);
    EXPECT_FALSE(exists(kK + "\\Many"));
    // And the store takes the next import as usual.
    const Result again = importRegFile(store(), file.string());
    ASSERT_TRUE(again.ok) << again.message;
    EXPECT_TRUE(value(kK + "\\Many\\Key199", "Value199").has_value());
}

}  // namespace
}  // namespace karvo::regfile::test
