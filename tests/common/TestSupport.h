// Helpers every suite shares: a private temporary folder and a private registry store per test,
// so no test touches the user's real files.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace karvo::test {

// A fresh folder under the system temp folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir() {
        std::random_device rd;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate = std::filesystem::temp_directory_path() /
                                   ("karvo-test-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec))
                path_ = candidate;
        }
        if (path_.empty())
            throw std::runtime_error("cannot create a temporary folder");
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Sets an environment variable for the life of the object and restores the old value after.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str()))
            old_ = old;
        set(name_, value.c_str());
    }
    ~ScopedEnv() { set(name_, old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    // Windows' C library has no setenv; _putenv_s changes the process environment that the system
    // functions (ExpandEnvironmentStringsA) read too. There an empty value removes the variable.
    static void set(const std::string& name, const char* value) {
#ifdef _WIN32
        ::_putenv_s(name.c_str(), value ? value : "");
#else
        value ? ::setenv(name.c_str(), value, 1) : ::unsetenv(name.c_str());
#endif
    }
    std::string name_;
    std::optional<std::string> old_;
};

inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// An absolute path here spelt the Windows way, on a drive: C:\tmp\x for /tmp/x.
inline std::string windowsSpelling(const std::filesystem::path& p, char drive = 'C') {
    std::string s = std::string(1, drive) + ":" + p.string();
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

// The folder that holds the built programs (karvo, and windows/regedit beside it).
inline std::filesystem::path binaryDir() { return KARVO_TEST_BINARY_DIR; }

}  // namespace karvo::test
