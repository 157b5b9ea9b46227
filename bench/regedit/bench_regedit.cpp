// Measures the real regedit program on a generated registry:
//   bench_regedit [KEYS [VALUES]]   (default 100000 keys, 1000000 values)
// With KARVO_BENCH_KEEP set, the stores and files are kept for profiling.
// Prints the size of the export, MB per second of /e and of /s into an empty store, and the peak
// resident memory of each run.

#include "common/ChildRun.h"
#include "common/GeneratedRegistry.h"
#include "registry/RegistryService.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace karvo::reg;
using karvo::bench::Outcome;
using karvo::bench::runChild;

int main(int argc, char** argv) {
    const long keys = argc > 1 ? std::atol(argv[1]) : 100000;
    const long values = argc > 2 ? std::atol(argv[2]) : 1000000;
    const fs::path folder = fs::temp_directory_path() / ("karvo-bench-regedit-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path source = folder / "source.db";
    const fs::path target = folder / "target.db";

    auto t0 = std::chrono::steady_clock::now();
    {
        auto store = openStore(source.string());
        karvo::bench::generate(*store, keys, values);
    }
    const double genSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("generated %ld keys, %ld values in %.1f s\n", keys, values, genSeconds);

    const Outcome e =
        runChild(KARVO_REGEDIT_PATH, {"/e", "bench.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench"}, source, folder);
    const double mb = static_cast<double>(fs::exists(folder / "bench.reg") ? fs::file_size(folder / "bench.reg") : 0) / 1e6;
    karvo::bench::report("regedit /e", e, mb);

    const Outcome s = runChild(KARVO_REGEDIT_PATH, {"/s", "bench.reg"}, target, folder);
    karvo::bench::report("regedit /s", s, mb);

    const Outcome w = runChild(KARVO_REGEDIT_PATH, {"/e", "whole.reg"}, source, folder);
    const double wmb = static_cast<double>(fs::exists(folder / "whole.reg") ? fs::file_size(folder / "whole.reg") : 0) / 1e6;
    karvo::bench::report("regedit /e (whole registry)", w, wmb);

    if (std::getenv("KARVO_BENCH_KEEP")) {
        std::printf("kept %s\n", folder.c_str());
    } else {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    return e.status == 0 && s.status == 0 && w.status == 0 ? 0 : 1;
}
