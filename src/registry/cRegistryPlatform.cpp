#include "registry/cRegistryPlatform.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#elif defined(__APPLE__)
#include <mach-o/dyld.h>

#include <cstdint>
#include <vector>
#endif

namespace karvo::reg::platform {

#ifdef _WIN32

namespace {

std::wstring widen(const std::string& text, UINT codePage) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string narrow(const std::wstring& wide, UINT codePage) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    if (n <= 0) return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr,
                        nullptr);
    return text;
}

}  // namespace

std::string programBaseName() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return narrow(std::filesystem::path(buffer).stem().wstring(), CP_UTF8);
}

std::string utf8ToAnsi(const std::string& text) {
    if (GetACP() == CP_UTF8) return text;
    return narrow(widen(text, CP_UTF8), CP_ACP);
}

std::string ansiToUtf8(const std::string& text) {
    if (GetACP() == CP_UTF8) return text;
    return narrow(widen(text, CP_ACP), CP_UTF8);
}

#else

std::string executablePath() {
#ifdef __APPLE__
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) != 0) return {};
    return buffer.data();
#else
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
#endif
}

std::string programBaseName() { return std::filesystem::path(executablePath()).stem().string(); }

std::string utf8ToAnsi(const std::string& text) { return text; }
std::string ansiToUtf8(const std::string& text) { return text; }

#endif

}  // namespace karvo::reg::platform
