// Key paths, node keys and the root hive table: the plain rules behind the registry tree.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace karvo::tree {

struct RootHive {
    const char* name;       // full name, as a Key path begins
    std::int32_t handle;    // the hive's handle as a signed 32-bit number
    const char* shortName;  // appended to backup names
};

// The tree's roots, in the order they are added.
inline constexpr std::array<RootHive, 6> kRootHives{{
    {"HKEY_CLASSES_ROOT", static_cast<std::int32_t>(0x80000000u), "_HKCR"},
    {"HKEY_CURRENT_USER", static_cast<std::int32_t>(0x80000001u), "_HKCU"},
    {"HKEY_LOCAL_MACHINE", static_cast<std::int32_t>(0x80000002u), "_HKLM"},
    {"HKEY_USERS", static_cast<std::int32_t>(0x80000003u), "_HKU"},
    {"HKEY_CURRENT_CONFIG", static_cast<std::int32_t>(0x80000005u), "_HKCC"},
    {"HKEY_DYN_DATA", static_cast<std::int32_t>(0x80000006u), "_HKDD"},
}};

// "K" and the handle in signed decimal: K-2147483647.
std::string rootNodeKey(std::int32_t handle);
// A child's node key: K-2147483647,\Software under a root, parent key + "\" + name below that.
std::string childNodeKey(const std::string& parentKey, bool parentIsRoot, const std::string& name);

struct NodeKeyParts {
    std::int32_t handle = 0;
    std::string subKeyPath;  // "" for a root
};
// Reads a node key back. The first "," ends the hive part, so commas in key names are harmless.
std::optional<NodeKeyParts> readNodeKey(const std::string& nodeKey);

// The text before the first "\" of a Key path: the hive's full name.
std::string SlashPath2(const std::string& keyPath);
// A full hive name becomes its short name ("_HKCU"); any other text comes back unchanged.
std::string ShortRoot(const std::string& rootText);
// The hive part of a Key path, shortened: "HKEY_CURRENT_USER\Control Panel" gives "_HKCU".
std::string rootOfKeyPath(const std::string& keyPath);
// Every blank becomes "_"; nothing else changes.
std::string blanksToUnderscores(std::string name);
// The default file name: name box text + short name + ".reg".
std::string defaultFileName(const std::string& name, const std::string& shortName);

// What a click on a node puts into the window's fields.
struct KeySelection {
    std::string keyPath;   // status line
    std::string name;      // name box: the node's text with blanks as "_"
    std::string root;      // short name of the hive
    std::string fileName;  // default file name
};
KeySelection selectionFor(const std::string& keyPath, const std::string& nodeText);

// The order of sub-keys in the tree and of "My Backups": ASCII letter case ignored, else by byte.
bool lessIgnoringCase(const std::string& a, const std::string& b);

}  // namespace karvo::tree
