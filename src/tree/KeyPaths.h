// Key paths, node keys and the root hive table: the plain rules behind the registry tree.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

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
QString rootNodeKey(std::int32_t handle);
// A child's node key: K-2147483647,\Software under a root, parent key + "\" + name below that.
QString childNodeKey(const QString& parentKey, bool parentIsRoot, const QString& name);

struct NodeKeyParts {
    std::int32_t handle = 0;
    QString subKeyPath;  // "" for a root
};
// Reads a node key back. The first "," ends the hive part, so commas in key names are harmless.
std::optional<NodeKeyParts> readNodeKey(const QString& nodeKey);

// The text before the first "\" of a Key path: the hive's full name.
QString SlashPath2(const QString& keyPath);
// A full hive name becomes its short name ("_HKCU"); any other text comes back unchanged.
QString ShortRoot(const QString& rootText);
// The hive part of a Key path, shortened: "HKEY_CURRENT_USER\Control Panel" gives "_HKCU".
QString rootOfKeyPath(const QString& keyPath);
// Every blank becomes "_"; nothing else changes.
QString blanksToUnderscores(const QString& name);
// The default file name: name box text + short name + ".reg".
QString defaultFileName(const QString& name, const QString& shortName);

// What a click on a node puts into the window's fields.
struct KeySelection {
    QString keyPath;    // status line
    QString name;       // name box: the node's text with blanks as "_"
    QString root;       // short name of the hive
    QString fileName;   // default file name
};
KeySelection selectionFor(const QString& keyPath, const QString& nodeText);

}  // namespace karvo::tree
