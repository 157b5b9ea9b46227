// A program run in a child process of its own, so its time and peak resident memory are its own.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace karvo::bench {

struct Outcome {
    int status = -1;
    double seconds = 0;
    double cpuSeconds = 0;  // user + system time of the child, less disturbed by a busy machine
    long peakKb = 0;
};

// Runs program with args on the registry store (as $KARVO_REGISTRY), in folder when one is given.
inline Outcome runChild(const std::string& program, const std::vector<std::string>& args,
                        const std::filesystem::path& store, const std::filesystem::path& folder = {}) {
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!folder.empty() && ::chdir(folder.c_str()) != 0)
            std::_Exit(127);
        ::setenv("KARVO_REGISTRY", store.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
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

// One line: what, its exit status, MB per second of wall and CPU time, peak memory.
inline void report(const char* what, const Outcome& o, double mb) {
    std::printf("%-28s exit %d, %.1f MB in %.2f s = %.1f MB/s (CPU %.2f s = %.1f MB/s), peak RSS %.1f MB\n", what,
                o.status, mb, o.seconds, mb / o.seconds, o.cpuSeconds, mb / o.cpuSeconds,
                static_cast<double>(o.peakKb) / 1024.0);
}

}  // namespace karvo::bench
