#include "tree/KeyPaths.h"

namespace karvo::tree {

QString rootNodeKey(std::int32_t handle) { return QStringLiteral("K") + QString::number(handle); }

QString childNodeKey(const QString& parentKey, bool parentIsRoot, const QString& name) {
    return parentKey + (parentIsRoot ? QStringLiteral(",\\") : QStringLiteral("\\")) + name;
}

std::optional<NodeKeyParts> readNodeKey(const QString& nodeKey) {
    if (nodeKey.size() < 2 || nodeKey.front() != u'K')
        return std::nullopt;
    const qsizetype comma = nodeKey.indexOf(u',');
    NodeKeyParts parts;
    bool ok = false;
    if (comma < 0) {
        parts.handle = nodeKey.mid(1).toInt(&ok);
    } else {
        parts.handle = nodeKey.mid(1, comma - 1).toInt(&ok);
        parts.subKeyPath = nodeKey.mid(comma + 2);
    }
    if (!ok)
        return std::nullopt;
    return parts;
}

QString SlashPath2(const QString& keyPath) {
    const qsizetype slash = keyPath.indexOf(u'\\');
    return slash < 0 ? keyPath : keyPath.left(slash);
}

QString ShortRoot(const QString& rootText) {
    for (const RootHive& hive : kRootHives)
        if (rootText == QLatin1String(hive.name))
            return QLatin1String(hive.shortName);
    return rootText;
}

QString rootOfKeyPath(const QString& keyPath) {
    return ShortRoot(keyPath.contains(u'\\') ? SlashPath2(keyPath) : keyPath);
}

QString blanksToUnderscores(const QString& name) {
    QString result = name;
    result.replace(u' ', u'_');
    return result;
}

QString defaultFileName(const QString& name, const QString& shortName) {
    return name + shortName + QStringLiteral(".reg");
}

KeySelection selectionFor(const QString& keyPath, const QString& nodeText) {
    KeySelection s;
    s.keyPath = keyPath;
    s.name = blanksToUnderscores(nodeText);
    s.root = rootOfKeyPath(keyPath);
    s.fileName = defaultFileName(s.name, s.root);
    return s;
}

}  // namespace karvo::tree
