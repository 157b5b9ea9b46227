// Figures for the SQLite registry store, each part in a child process of its own so that the
// peak resident memory printed belongs to that part alone:
//   - RegEnumKeyA over a key with 10,000 and with 100,000 sub-keys, index 0, 1, 2 ...;
//   - writing 100,000 keys with 1,000,000 values in one batch, the way an import does;
//   - reading them all back key by key, the way an export does.
//
//   bench_store            everything
//   bench_store enum       the enumerations only
//   bench_store bulk       the bulk writing and reading only
#include "registry/RegistryService.h"
#include "common/BenchClock.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace karvo::reg;
using namespace karvo::bench;

void inChild(const std::function<void()>& part) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        part();
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
}

HKey createKey(RegistryService& s, HKey parent, const char* name) {
    HKey h = 0;
    s.RegCreateKeyExA(parent, name, 0, "", 0, kKeyAllAccess, nullptr, &h, nullptr);
    return h;
}

void fillSubKeys(const std::string& file, long count) {
    auto s = openStore(file);
    HKey parent = createKey(*s, kHkeyCurrentUser, "Software\\Bench");
    s->BeginBatch();
    char name[32];
    for (long i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "Key %07ld", (i * 7919) % count);  // not in name order
        s->RegCloseKey(createKey(*s, parent, name));
    }
    s->CommitBatch();
}

void enumerate(const std::string& file, long count) {
    auto s = openStore(file);
    HKey h = 0;
    s->RegOpenKeyExA(kHkeyCurrentUser, "Software\\Bench", 0, kKeyRead, &h);
    const long before = peakKiB();
    const double cpuStart = cpuMs();
    const auto start = Clock::now();
    char name[256];
    long n = 0;
    while (s->RegEnumKeyA(h, static_cast<DWORD>(n), name, 255) == kErrorSuccess)
        ++n;
    const double ms = msSince(start);
    std::printf("RegEnumKeyA over %ld sub-keys: %ld listed in %.1f ms (CPU %.1f ms); peak RSS %ld KiB "
                "(%ld KiB before)\n",
                count, n, ms, cpuMs() - cpuStart, peakKiB(), before);
}

constexpr long kKeys = 100000;
constexpr long kValuesPerKey = 10;

void writeBulk(const std::string& file) {
    auto s = openStore(file);
    HKey top = createKey(*s, kHkeyLocalMachine, "SOFTWARE\\Bulk");
    const double cpuStart = cpuMs();
    const auto start = Clock::now();
    s->BeginBatch();
    char name[40];
    std::vector<std::uint8_t> text;
    std::size_t bytes = 0;
    for (long k = 0; k < kKeys; ++k) {
        std::snprintf(name, sizeof name, "Group %03ld\\Item %06ld", k / 1000, k);
        HKey h = createKey(*s, top, name);
        for (long v = 0; v < kValuesPerKey; ++v) {
            char value[24];
            std::snprintf(value, sizeof value, "Value %ld", v);
            if (v % 2 == 0) {
                const char* sample = "C:\\Program Files\\Karvo\\data";
                text.clear();
                for (const char* c = sample; *c; ++c)
                    text.insert(text.end(), {static_cast<std::uint8_t>(*c), 0});
                text.insert(text.end(), {0, 0});
                s->SetValueRaw(h, value, kRegSz, text.data(), text.size());
                bytes += text.size();
            } else {
                const std::uint8_t dword[4] = {static_cast<std::uint8_t>(v), 0, 0, 0};
                s->SetValueRaw(h, value, kRegDword, dword, 4);
                bytes += 4;
            }
        }
        s->RegCloseKey(h);
    }
    const double setMs = msSince(start);
    const auto commitStart = Clock::now();
    s->CommitBatch();
    const double commitMs = msSince(commitStart);
    std::printf("write %ld keys, %ld values (%.1f MB of data) in one batch: %.0f ms + commit %.0f ms "
                "(CPU %.0f ms) = %.2f us per value; peak RSS %ld KiB\n",
                kKeys, kKeys * kValuesPerKey, static_cast<double>(bytes) / 1e6, setMs, commitMs, cpuMs() - cpuStart,
                (setMs + commitMs) * 1000.0 / static_cast<double>(kKeys * kValuesPerKey), peakKiB());
}

long readTree(RegistryService& s, HKey h, long& values) {
    std::string name;
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    for (DWORD i = 0; s.EnumValueRaw(h, i, name, type, data) == kErrorSuccess; ++i)
        ++values;
    long keys = 1;
    std::vector<std::string> children;
    for (DWORD i = 0; s.EnumKeyRaw(h, i, name) == kErrorSuccess; ++i)
        children.push_back(name);
    for (const std::string& c : children) {
        HKey sub = 0;
        if (s.RegOpenKeyExA(h, c.c_str(), 0, kKeyRead, &sub) == kErrorSuccess) {
            keys += readTree(s, sub, values);
            s.RegCloseKey(sub);
        }
    }
    return keys;
}

void readBulk(const std::string& file) {
    auto s = openStore(file);
    HKey top = 0;
    s->RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Bulk", 0, kKeyRead, &top);
    const double cpuStart = cpuMs();
    const auto start = Clock::now();
    long values = 0;
    const long keys = readTree(*s, top, values);
    const double ms = msSince(start);
    std::printf("read back %ld keys, %ld values: %.0f ms (CPU %.0f ms) = %.2f us per value; peak RSS %ld KiB\n",
                keys, values, ms, cpuMs() - cpuStart, ms * 1000.0 / static_cast<double>(values), peakKiB());
}

}  // namespace

int main(int argc, char** argv) {
    const bool enumOnly = argc > 1 && std::strcmp(argv[1], "enum") == 0;
    const bool bulkOnly = argc > 1 && std::strcmp(argv[1], "bulk") == 0;
    const auto dir = std::filesystem::temp_directory_path() / ("karvo-bench-store-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    for (long count : {10000L, 100000L}) {
        if (bulkOnly)
            break;
        const std::string file = (dir / ("enum" + std::to_string(count) + ".db")).string();
        inChild([&] { fillSubKeys(file, count); });
        inChild([&] { enumerate(file, count); });
    }
    if (!enumOnly) {
        const std::string file = (dir / "bulk.db").string();
        inChild([&] { writeBulk(file); });
        inChild([&] { readBulk(file); });
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
