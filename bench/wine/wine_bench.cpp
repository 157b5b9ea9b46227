// The registry of a Wine prefix through the reghelper program: how long the helper takes to start
// (with wineserver already running, and with wineserver to be started as well), and how long
// cRegistry::EnumerateSections, as the tree calls it, takes over a key of 10,000 and of 100,000
// sub-keys, pipe and wineserver included. The prefix is $KARVO_BENCH_WINEPREFIX, else a
// throw-away one made here (wineboot) and removed afterwards. Needs wine and reghelper.exe
// ($KARVO_WINE_HELPER, else bin/windows/ beside this program).
//
//   bench_wine            both sizes
//   bench_wine 25000      one size
#include "common/BenchClock.h"
#include "registry/RegistryPipe.h"
#include "registry/cRegistry.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace karvo::reg;
using namespace karvo::bench;

std::string quoted(const std::string& s) { return "'" + s + "'"; }

int inPrefix(const std::string& prefix, const std::string& command) {
    return std::system(("WINEPREFIX=" + quoted(prefix) + " WINEDEBUG=-all " + command + " >/dev/null 2>&1").c_str());
}

double startMs(const std::string& prefix) {
    const auto start = Clock::now();
    auto reg = openWineRegistry(prefix);
    HKey key = 0;
    const LONG err = reg->RegOpenKeyExA(kHkeyCurrentUser, "Software", 0, kKeyRead, &key);
    const double ms = msSince(start);
    reg->RegCloseKey(key);
    return err == kErrorSuccess ? ms : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("KARVO_WINE_HELPER")) {
        std::error_code ec;
        const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        ::setenv("KARVO_WINE_HELPER", (exe.parent_path() / "windows" / "reghelper.exe").c_str(), 1);
    }
    std::string prefix;
    bool own = false;
    if (const char* given = std::getenv("KARVO_BENCH_WINEPREFIX"); given && *given) {
        prefix = given;
    } else {
        char folder[] = "/tmp/karvo-bench-wine-XXXXXX";
        if (!::mkdtemp(folder)) {
            std::perror("mkdtemp");
            return 1;
        }
        prefix = folder;
        own = true;
        std::printf("making a throw-away prefix in %s ...\n", folder);
        inPrefix(prefix, "wineboot -i");
        inPrefix(prefix, "wineserver -w");
    }
    ::setenv("KARVO_REGISTRY", ("wine:" + prefix).c_str(), 1);
    if (const std::string problem = registryProblem(); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }

    inPrefix(prefix, "wineserver -k");
    std::printf("helper start-up, wineserver to be started too: %8.1f ms\n", startMs(prefix));
    std::printf("helper start-up, wineserver running:           %8.1f ms\n", startMs(prefix));

    std::vector<long> sizes{10000, 100000};
    if (argc > 1)
        sizes = {std::atol(argv[1])};
    auto reg = openWineRegistry(prefix);
    for (const long size : sizes) {
        const std::string path = "Software\\KarvoBench" + std::to_string(size);
        const auto fillStart = Clock::now();
        HKey parent = 0;
        if (reg->RegCreateKeyExA(kHkeyCurrentUser, path.c_str(), 0, "", 0, kKeyAllAccess, nullptr, &parent, nullptr) !=
            kErrorSuccess)
            return 1;
        for (long i = 0; i < size; ++i) {
            HKey child = 0;
            const std::string name = "Key " + std::to_string(i);
            if (reg->RegCreateKeyExA(parent, name.c_str(), 0, "", 0, kKeyAllAccess, nullptr, &child, nullptr) ==
                kErrorSuccess)
                reg->RegCloseKey(child);
        }
        reg->RegCloseKey(parent);
        const double fillMs = msSince(fillStart);

        cRegistry level(*reg);
        level.setClassKey(cRegistry::kCurrentUser);
        level.setSectionKey(path);
        std::vector<std::string> names;
        std::int32_t count = 0;
        double best = 1e18;
        for (int run = 0; run < 3; ++run) {
            const auto start = Clock::now();
            level.EnumerateSections(names, count);
            best = std::min(best, msSince(start));
        }
        std::printf("%7ld sub-keys: level read in %8.1f ms (best of 3, %d names); filled in %.1f s\n", size, best,
                    count, fillMs / 1000);
        reg->DeleteTree(kHkeyCurrentUser, path.c_str());
    }
    reg.reset();
    if (own) {
        inPrefix(prefix, "wineserver -k");
        std::filesystem::remove_all(prefix);
    }
    return 0;
}
