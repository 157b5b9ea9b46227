// The root keys by name, as .reg files and key paths spell them.
#pragma once

#include "registry/RegistryService.h"

#include <array>
#include <string_view>
#include <vector>

namespace karvo::reg {

struct RootKey {
    std::string_view name;  // always written in full: "HKEY_CURRENT_USER"
    HKey handle;
};

// In the order the registry tree shows them.
inline constexpr std::array<RootKey, 6> kRootKeys = {{
    {"HKEY_CLASSES_ROOT", kHkeyClassesRoot},
    {"HKEY_CURRENT_USER", kHkeyCurrentUser},
    {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine},
    {"HKEY_USERS", kHkeyUsers},
    {"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig},
    {"HKEY_DYN_DATA", kHkeyDynData},
}};

// The other roots are views onto places inside these two, so together they are everything.
inline constexpr std::array<std::string_view, 2> kWholeRegistry = {"HKEY_LOCAL_MACHINE", "HKEY_USERS"};

// The root named `name`, letter case ignored (ASCII, as root names are); nullptr when none is.
inline const RootKey* findRootKey(std::string_view name) {
    const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    for (const RootKey& root : kRootKeys) {
        if (root.name.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; same && i < name.size(); ++i)
            same = upper(name[i]) == root.name[i];
        if (same)
            return &root;
    }
    return nullptr;
}

// The names of a key path below its root. Empty pieces (a leading, trailing or doubled "\") name
// the same key, as the registry functions treat them. The views point into `path`.
inline std::vector<std::string_view> keyPathParts(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace karvo::reg
