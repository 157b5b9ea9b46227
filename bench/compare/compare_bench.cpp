// The comparison of a large backup with the registry, measured beside the import of the same file:
//   bench_compare [KEYS [VALUES]]   (default 100000 keys, 1000000 values)
// The generated key is exported, imported with regedit /s into a fresh store, and the file is then
// compared with that store and the exact restore's file composed; each runs in a process of its own,
// so its peak resident memory is its own. With KARVO_BENCH_KEEP set, the stores and files are kept.

#include "common/BenchClock.h"
#include "common/ChildRun.h"
#include "common/GeneratedRegistry.h"
#include "compare/Comparison.h"
#include "regfile/RegFile.h"
#include "registry/RegistryService.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace karvo;

// The child's part: compares FILE with the store of $KARVO_REGISTRY, then, when EXACT is given,
// writes the exact restore's file there.
int compareChild(const std::string& file, const std::string& exact) {
    auto store = reg::openStore(std::getenv("KARVO_REGISTRY"));
    auto start = bench::Clock::now();
    const compare::Comparison c = compare::compareWithRegistry(*store, file);
    const double compareMs = bench::msSince(start);
    if (!c.ok) {
        std::printf("comparison failed: %s\n", c.problem.c_str());
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("  comparison %.2f s: %zu keys, %zu values, %s; peak RSS %.1f MB\n", compareMs / 1e3,
                c.keyCounts.same + c.keyCounts.differences(), c.valueCounts.same + c.valueCounts.differences(),
                c.identical() ? "identical" : "different", static_cast<double>(bench::peakKiB()) / 1024.0);
    if (exact.empty())
        return c.identical() ? 0 : 1;
    start = bench::Clock::now();
    std::ofstream out(exact, std::ios::binary);
    const bool written = compare::writeExactRestore(c, out);
    out.close();
    std::printf("  exact restore's file %.2f s, %.1f MB\n", bench::msSince(start) / 1e3,
                static_cast<double>(fs::file_size(exact)) / 1e6);
    return written && out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--compare")
        return compareChild(argv[2], argv[3]);
    const long keys = argc > 1 ? std::atol(argv[1]) : 100000;
    const long values = argc > 2 ? std::atol(argv[2]) : 1000000;
    const fs::path folder = fs::temp_directory_path() / ("karvo-bench-compare-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path source = folder / "source.db";
    const fs::path target = folder / "target.db";
    const fs::path file = folder / "bench.reg";

    {
        auto store = reg::openStore(source.string());
        bench::generate(*store, keys, values);
        const regfile::Result r =
            regfile::exportRegFile(*store, file.string(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench", regfile::Format::Unicode5);
        if (!r.ok) {
            std::printf("export failed: %s\n", r.message.c_str());
            return 1;
        }
    }
    const double mb = static_cast<double>(fs::file_size(file)) / 1e6;
    std::printf("%ld keys, %ld values, %.1f MB file\n", keys, values, mb);

    const bench::Outcome s = bench::runChild(KARVO_REGEDIT_PATH, {"/s", file.string()}, target);
    bench::report("regedit /s:", s, mb);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const bench::Outcome c = bench::runChild(self, {"--compare", file.string(), ""}, target);
    bench::report("comparison:", c, mb);
    const bench::Outcome e = bench::runChild(self, {"--compare", file.string(), (folder / "exact.reg").string()}, target);
    bench::report("comparison + exact:", e, mb);

    if (std::getenv("KARVO_BENCH_KEEP")) {
        std::printf("kept %s\n", folder.c_str());
    } else {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    return s.status == 0 && c.status == 0 && e.status == 0 ? 0 : 1;
}
