#include "about/AboutBox.h"

#include "platform/CommandLine.h"

#include <array>

namespace karvo::about {

using namespace karvo::reg;

namespace {

constexpr DWORD kReadControlAndAll = 0x2003F;  // the rights the box has always asked for
constexpr DWORD kBufferSize = 1024;

// Closes the key on every way out, including the throw for an empty value.
struct OpenKey {
    RegistryService& registry;
    HKey key = 0;
    ~OpenKey() { registry.RegCloseKey(key); }
};

}  // namespace

bool GetKeyValue(RegistryService& registry, HKey KeyRoot, const std::string& Keyname, const std::string& SubKeyRef,
                 std::string& KeyVal) {
    OpenKey open{registry};
    if (registry.RegOpenKeyExA(KeyRoot, Keyname.c_str(), 0, kReadControlAndAll, &open.key) != kErrorSuccess) {
        open.key = 0;
        KeyVal.clear();
        return false;
    }

    std::array<std::uint8_t, kBufferSize> buffer{};
    DWORD size = kBufferSize;
    DWORD type = 0;
    if (registry.RegQueryValueExA(open.key, SubKeyRef.c_str(), nullptr, &type, buffer.data(), &size) !=
        kErrorSuccess) {
        KeyVal.clear();
        return false;
    }

    if (size == 0)
        throw EmptyValueError();
    std::size_t kept = size > kBufferSize ? kBufferSize : size;
    if (buffer[kept - 1] == 0)
        --kept;

    if (type == kRegSz) {
        KeyVal.assign(reinterpret_cast<const char*>(buffer.data()), kept);
    } else if (type == kRegDword) {
        std::uint32_t number = 0;
        const std::size_t bytes = kept < 4 ? kept : 4;
        for (std::size_t i = bytes; i-- > 0;)
            number = (number << 8) | buffer[i];
        KeyVal = std::to_string(number);
    }
    return true;
}

bool startSystemInformation(RegistryService& registry, platform::Desktop& desktop) {
    try {
        std::string path;
        if (!GetKeyValue(registry, kHkeyLocalMachine, R"(SOFTWARE\Microsoft\Shared Tools\MSINFO)", "PATH", path)) {
            std::string folder;
            if (!GetKeyValue(registry, kHkeyLocalMachine, R"(SOFTWARE\Microsoft\Shared Tools Location)", "MSINFO",
                             folder))
                return false;
            const std::string candidate = folder + "\\MSINFO32.EXE";
            // The search ignores letter case as Windows does, and takes only a file, never a
            // folder of that name; our programs carry no ".exe" here, so the bare name counts too.
            if (karvo::platform::resolveProgram(candidate).empty())
                return false;
            path = candidate;
        }
        return desktop.startProgram(path, platform::kStyleNormalFocus);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace karvo::about
