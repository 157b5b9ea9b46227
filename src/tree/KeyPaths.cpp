#include "tree/KeyPaths.h"

#include <algorithm>
#include <charconv>

namespace karvo::tree {

std::string rootNodeKey(std::int32_t handle) { return "K" + std::to_string(handle); }

std::string childNodeKey(const std::string& parentKey, bool parentIsRoot, const std::string& name) {
    return parentKey + (parentIsRoot ? ",\\" : "\\") + name;
}

std::optional<NodeKeyParts> readNodeKey(const std::string& nodeKey) {
    if (nodeKey.size() < 2 || nodeKey.front() != 'K')
        return std::nullopt;
    const std::size_t comma = nodeKey.find(',');
    const std::size_t end = comma == std::string::npos ? nodeKey.size() : comma;
    NodeKeyParts parts;
    const char* first = nodeKey.data() + 1;
    const char* last = nodeKey.data() + end;
    const auto [at, error] = std::from_chars(first, last, parts.handle);
    if (error != std::errc() || at != last)
        return std::nullopt;
    if (comma != std::string::npos)
        parts.subKeyPath = nodeKey.substr(std::min(comma + 2, nodeKey.size()));
    return parts;
}

std::string SlashPath2(const std::string& keyPath) { return keyPath.substr(0, keyPath.find('\\')); }

std::string ShortRoot(const std::string& rootText) {
    for (const RootHive& hive : kRootHives)
        if (rootText == hive.name)
            return hive.shortName;
    return rootText;
}

std::string rootOfKeyPath(const std::string& keyPath) { return ShortRoot(SlashPath2(keyPath)); }

std::string blanksToUnderscores(std::string name) {
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

std::string defaultFileName(const std::string& name, const std::string& shortName) {
    return name + shortName + ".reg";
}

KeySelection selectionFor(const std::string& keyPath, const std::string& nodeText) {
    KeySelection s;
    s.keyPath = keyPath;
    s.name = blanksToUnderscores(nodeText);
    s.root = rootOfKeyPath(keyPath);
    s.fileName = defaultFileName(s.name, s.root);
    return s;
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    const auto folded = [](char c) { return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return folded(x) < folded(y); });
}

}  // namespace karvo::tree
