// Kept for tests/app until it reaches the shared TestStore.h; nothing in tests/tree uses it.
#pragma once

#include "registry/RegistryService.h"

#include <cstring>
#include <memory>
#include <string>

namespace karvo::test {

inline void createKey(reg::RegistryService& store, reg::HKey hive, const std::string& path) {
    reg::HKey key = 0;
    reg::DWORD disposition = 0;
    store.RegCreateKeyExA(hive, path.c_str(), 0, "", 0, reg::kKeyAllAccess, nullptr, &key, &disposition);
    store.RegCloseKey(key);
}

inline void setText(reg::RegistryService& store, reg::HKey hive, const std::string& path, const std::string& name,
                    const std::string& text) {
    reg::HKey key = 0;
    reg::DWORD disposition = 0;
    store.RegCreateKeyExA(hive, path.c_str(), 0, "", 0, reg::kKeyAllAccess, nullptr, &key, &disposition);
    store.RegSetValueExA(key, name.c_str(), 0, reg::kRegSz, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                         static_cast<reg::DWORD>(text.size() + 1));
    store.RegCloseKey(key);
}

inline std::string getText(reg::RegistryService& store, reg::HKey hive, const std::string& path,
                           const std::string& name) {
    reg::HKey key = 0;
    if (store.RegOpenKeyExA(hive, path.c_str(), 0, reg::kKeyRead, &key) != reg::kErrorSuccess)
        return "<no key>";
    char buffer[512] = {};
    reg::DWORD type = 0;
    reg::DWORD size = sizeof buffer;
    const reg::LONG rc =
        store.RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<std::uint8_t*>(buffer), &size);
    store.RegCloseKey(key);
    return rc == reg::kErrorSuccess ? std::string(buffer) : "<no value>";
}

}  // namespace karvo::test
