// Measures the real regedit program on a generated registry:
//   bench_regedit [KEYS [VALUES]]   (default 100000 keys, 1000000 values)
// With KARVO_BENCH_KEEP set, the stores and files are kept for profiling.
// Prints the size of the export, MB per second of /e and of /s into an empty store, and the peak
// resident memory of each run.

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

namespace {

namespace fs = std::filesystem;
using namespace karvo::reg;

struct Outcome {
    int status = -1;
    double seconds = 0;
    double cpuSeconds = 0;  // user + system time of the child, less disturbed by a busy machine
    long peakKb = 0;
};

Outcome runRegedit(const fs::path& folder, const fs::path& store, const std::vector<std::string>& args) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.c_str()) != 0)
            std::_Exit(127);
        ::setenv("KARVO_REGISTRY", store.c_str(), 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(KARVO_REGEDIT_PATH));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(KARVO_REGEDIT_PATH, argv.data());
        std::_Exit(127);
    }
    Outcome o;
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.peakKb = usage.ru_maxrss;
    o.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return o;
}

void report(const char* what, const Outcome& o, double mb) {
    std::printf("%s: exit %d, %.1f MB in %.2f s = %.1f MB/s (CPU %.2f s = %.1f MB/s), peak RSS %.1f MB\n", what,
                o.status, mb, o.seconds, mb / o.seconds, o.cpuSeconds, mb / o.cpuSeconds,
                static_cast<double>(o.peakKb) / 1024.0);
}

}  // namespace

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

    const Outcome e = runRegedit(folder, source, {"/e", "bench.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench"});
    const double mb = static_cast<double>(fs::exists(folder / "bench.reg") ? fs::file_size(folder / "bench.reg") : 0) / 1e6;
    report("regedit /e", e, mb);

    const Outcome s = runRegedit(folder, target, {"/s", "bench.reg"});
    report("regedit /s", s, mb);

    const Outcome w = runRegedit(folder, source, {"/e", "whole.reg"});
    const double wmb = static_cast<double>(fs::exists(folder / "whole.reg") ? fs::file_size(folder / "whole.reg") : 0) / 1e6;
    report("regedit /e (whole registry)", w, wmb);

    if (std::getenv("KARVO_BENCH_KEEP")) {
        std::printf("kept %s\n", folder.c_str());
    } else {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    return e.status == 0 && s.status == 0 && w.status == 0 ? 0 : 1;
}
