// Measures the real regedit program on a generated registry:
//   bench_regedit [KEYS [VALUES]]   (default 100000 keys, 1000000 values)
// With KARVO_BENCH_KEEP set, the stores and files are kept for profiling.
// Prints the size of the export, MB per second of /e and of /s into an empty store, and the peak
// resident memory of each run.

#include "registry/RegistryService.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
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

std::string utf16z(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    out.append(2, '\0');
    return out;
}

void report(const char* what, const Outcome& o, double mb) {
    std::printf("%s: exit %d, %.1f MB in %.2f s = %.1f MB/s (CPU %.2f s = %.1f MB/s), peak RSS %.1f MB\n", what,
                o.status, mb, o.seconds, mb / o.seconds, o.cpuSeconds, mb / o.cpuSeconds,
                static_cast<double>(o.peakKb) / 1024.0);
}

void generate(RegistryService& reg, long keys, long values) {
    std::mt19937 rng(7);
    const long groups = 100;
    const long perKey = values / keys;
    long extra = values % keys;
    HKey top = 0;
    DWORD disposition = 0;
    reg.BeginBatch();
    reg.RegCreateKeyExA(kHkeyLocalMachine, "SOFTWARE\\Bench", 0, "", 0, kKeyAllAccess, nullptr, &top, &disposition);
    std::string data;
    long made = 0;
    for (long g = 0; g < groups && made < keys; ++g) {
        char name[64];
        std::snprintf(name, sizeof name, "Group %03ld", g);
        HKey group = 0;
        reg.RegCreateKeyExA(top, name, 0, "", 0, kKeyAllAccess, nullptr, &group, &disposition);
        const long children = keys / groups;
        for (long c = 0; c < children && made < keys; ++c, ++made) {
            HKey key = group;
            if (c > 0) {
                std::snprintf(name, sizeof name, "Item_%05ld {%08x}", c, static_cast<unsigned>(rng()));
                reg.RegCreateKeyExA(group, name, 0, "", 0, kKeyAllAccess, nullptr, &key, &disposition);
            }
            const long n = perKey + (extra > 0 ? 1 : 0);
            if (extra > 0)
                --extra;
            for (long v = 0; v < n; ++v) {
                char vname[32];
                std::snprintf(vname, sizeof vname, "Value %ld", v);
                DWORD type = 0;
                switch (v % 8) {
                case 0:
                case 1:
                    type = kRegSz;
                    data = utf16z("C:\\Program Files\\Bench\\file" + std::to_string(rng() % 100000) + ".dat");
                    break;
                case 2:
                    type = kRegExpandSz;
                    data = utf16z("%SystemRoot%\\system32\\bench" + std::to_string(v) + ".dll");
                    break;
                case 3:
                    type = kRegMultiSz;
                    data = utf16z("first") + utf16z("second entry");
                    data.resize(data.size() - 2);
                    data.append(2, '\0');
                    break;
                case 4:
                    type = kRegBinary;
                    data.assign(8 + rng() % 56, '\0');
                    for (char& ch : data)
                        ch = static_cast<char>(rng());
                    break;
                case 5:
                case 6:
                    type = kRegDword;
                    data.assign(4, static_cast<char>(rng()));
                    break;
                default:
                    type = kRegQword;
                    data.assign(8, static_cast<char>(rng()));
                    break;
                }
                reg.SetValueRaw(key, vname, type, reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
            }
            if (key != group)
                reg.RegCloseKey(key);
        }
        reg.RegCloseKey(group);
    }
    reg.RegCloseKey(top);
    reg.CommitBatch();
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
        generate(*store, keys, values);
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
