#include "platform/GetWin.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace karvo::platform {

#ifdef _WIN32

std::string GetWinDir() {
    char buffer[260] = {};
    const UINT length = ::GetWindowsDirectoryA(buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer)
        return {};
    return std::string(buffer);
}

std::string programFolder() {
    char buffer[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return fs::path(std::string(buffer, length)).parent_path().string();
}

#else

std::string programFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !exe.empty())
        return exe.parent_path().string();
    // No /proc (some Unix systems): the working folder is the best remaining guess, since the
    // program makes its own folder the working folder at start-up.
    const fs::path here = fs::current_path(ec);
    return ec ? std::string() : here.string();
}

std::string GetWinDir() {
    if (const char* over = std::getenv("KARVO_WINDIR"); over && *over) {
        std::string dir = over;
        while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\'))
            dir.pop_back();
        return dir;
    }
    const std::string folder = programFolder();
    if (folder.empty())
        return {};
    return (fs::path(folder) / "windows").string();
}

#endif

}  // namespace karvo::platform
