#include "platform/GetWin.h"

#include "registry/RegistryService.h"
#include "registry/cRegistryPlatform.h"

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
    if (const fs::path exe = reg::platform::executablePath(); !exe.empty())
        return exe.parent_path().string();
    // No /proc (some Unix systems): the working folder is the best remaining guess, since the
    // program makes its own folder the working folder at start-up.
    std::error_code ec;
    const fs::path here = fs::current_path(ec);
    return ec ? std::string() : here.string();
}

std::string GetWinDir() {
    // On a Wine prefix the Windows folder is the prefix's, named as its programs name it.
    if (reg::registryChoice().wine)
        return "C:\\windows";
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

std::string userProgramFolder(const std::string& executableFolder) {
#ifndef _WIN32
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(executableFolder) / kInstalledMark, ec))
        return executableFolder;
    fs::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && fs::path(xdg).is_absolute())
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home && fs::path(home).is_absolute())
        data = fs::path(home) / ".local" / "share";
    else
        return executableFolder;
    return (data / "karvo").lexically_normal().string();
#else
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(executableFolder) / kInstalledMark, ec))
        return executableFolder;
    // The roaming application data folder, where Windows keeps each user's program settings.
    char buffer[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA("APPDATA", buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !fs::path(buffer).is_absolute())
        return executableFolder;
    return (fs::path(buffer) / "Karvo").lexically_normal().string();
#endif
}

bool prepareUserFolder(const std::string& folder, const std::string& executableFolder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec))
        return false;
    const fs::path help = fs::path(executableFolder) / "Karvo.chm";
    const fs::path link = fs::path(folder) / "Karvo.chm";
    if (fs::equivalent(fs::path(folder), fs::path(executableFolder), ec) || !fs::exists(help, ec))
        return true;
#ifdef _WIN32
    // Links need rights that users seldom have: a copy, renewed when a newer install brings a newer
    // help file.
    // The old copy is removed first: the MinGW library's copy_file does not overwrite on Windows.
    const auto copied = fs::last_write_time(link, ec);
    if (ec || fs::last_write_time(help, ec) > copied) {
        fs::remove(link, ec);
        fs::copy_file(help, link, ec);
    }
#else
    // A link of ours is renewed (the package may have moved the file); a real file the user put
    // there is theirs and stays.
    if (fs::is_symlink(fs::symlink_status(link, ec)))
        fs::remove(link, ec);
    if (!fs::exists(fs::symlink_status(link, ec))) {
        fs::create_symlink(help, link, ec);
        if (ec)
            fs::copy_file(help, link, ec);
    }
#endif
    return true;
}

bool displayAvailable() {
#ifdef _WIN32
    return true;
#else
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
#endif
}

}  // namespace karvo::platform
