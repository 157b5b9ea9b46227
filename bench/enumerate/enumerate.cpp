// Lists the sub-keys of one key holding 10,000 and then 100,000 sub-keys through
// cRegistry::EnumerateSections, in a store on a temporary file, and prints the time of each
// listing and the peak resident memory of the process that did it. Each size runs in a child
// process of its own so the peak belongs to that size alone.
//
//   bench_enumerate            both sizes
//   bench_enumerate 25000      one size
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "registry/cRegistry.h"
#include "common/BenchClock.h"

namespace {

using namespace karvo::reg;
using namespace karvo::bench;

// The same walk straight on the store, to tell its share of the time from cRegistry's.
double storeAloneMs(RegistryService& store) {
    HKey key = 0;
    if (store.RegOpenKeyExA(kHkeyCurrentUser, "Software\\Bench", 0, kKeyEnumerateSubKeys, &key) != kErrorSuccess) return -1;
    const auto start = Clock::now();
    char name[255];
    for (DWORD i = 0; store.RegEnumKeyA(key, i, name, sizeof name) == kErrorSuccess; ++i) {
    }
    const double ms = msSince(start);
    store.RegCloseKey(key);
    return ms;
}

bool fill(RegistryService& store, long count) {
    HKey parent = 0;
    DWORD disposition = 0;
    if (store.RegCreateKeyExA(kHkeyCurrentUser, "Software\\Bench", 0, "", 0, kKeyAllAccess, nullptr, &parent,
                              &disposition) != kErrorSuccess) {
        return false;
    }
    const bool batched = store.BeginBatch() == kErrorSuccess;
    bool ok = true;
    char name[32];
    for (long i = 0; i < count && ok; ++i) {
        std::snprintf(name, sizeof name, "Key %07ld", i);
        HKey child = 0;
        ok = store.RegCreateKeyExA(parent, name, 0, "", 0, kKeyAllAccess, nullptr, &child, &disposition) ==
             kErrorSuccess;
        store.RegCloseKey(child);
    }
    if (batched) ok = (ok ? store.CommitBatch() : store.RollbackBatch()) == kErrorSuccess && ok;
    store.RegCloseKey(parent);
    return ok;
}

int runOne(long count) {
    char pattern[] = "/tmp/karvo-bench-XXXXXX";
    const char* folder = mkdtemp(pattern);
    if (folder == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir(folder);
    int status = 0;
    {
        auto store = openStore((dir / "reg.db").string());
        const auto fillStart = Clock::now();
        if (!fill(*store, count)) {
            std::fprintf(stderr, "could not create %ld sub-keys\n", count);
            status = 1;
        } else {
            const double fillMs = msSince(fillStart);
            const long beforeKiB = peakKiB();
            cRegistry reg(*store);
            reg.setClassKey(cRegistry::kCurrentUser);
            reg.setSectionKey("Software\\Bench");
            std::vector<double> times;
            std::vector<double> cpu;
            std::int32_t listed = 0;
            for (int run = 0; run < 5; ++run) {
                std::vector<std::string> names;
                const double cpuStart = cpuMs();
                const auto start = Clock::now();
                reg.EnumerateSections(names, listed);
                times.push_back(msSince(start));
                cpu.push_back(cpuMs() - cpuStart);
            }
            std::vector<double> alone;
            for (int run = 0; run < 5; ++run) alone.push_back(storeAloneMs(*store));
            const double first = times.front();
            std::sort(times.begin(), times.end());
            std::sort(cpu.begin(), cpu.end());
            std::sort(alone.begin(), alone.end());
            std::printf("%7ld sub-keys: listed %d\n"
                        "    EnumerateSections: first %.1f ms, best %.1f ms, median %.1f ms (CPU best %.1f, median %.1f ms)\n"
                        "    store alone (RegEnumKeyA on one handle): best %.1f ms, median %.1f ms\n"
                        "    fill %.0f ms; peak RSS %.1f MiB (%.1f MiB before listing)\n",
                        count, listed, first, times.front(), times[times.size() / 2], cpu.front(),
                        cpu[cpu.size() / 2], alone.front(), alone[alone.size() / 2], fillMs,
                        static_cast<double>(peakKiB()) / 1024.0, static_cast<double>(beforeKiB) / 1024.0);
            if (listed != count) status = 1;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) return runOne(std::strtol(argv[1], nullptr, 10));
    int status = 0;
    for (const long count : {10000L, 100000L}) {
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            const int childResult = runOne(count);
            std::fflush(nullptr);  // _exit does not flush
            _exit(childResult);
        }
        int childStatus = 1;
        if (child < 0 || waitpid(child, &childStatus, 0) != child || !WIFEXITED(childStatus) ||
            WEXITSTATUS(childStatus) != 0) {
            status = 1;
        }
    }
    return status;
}
