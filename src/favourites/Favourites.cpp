#include "favourites/Favourites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

namespace karvo::favourites {

QString favouritesPath(const QString& folder) { return QDir(folder).filePath(QStringLiteral("Favs.tlv")); }

QStringList readFavourites(const QString& path) {
    QStringList lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    const QByteArray bytes = file.readAll();
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        lines.append(QString::fromUtf8(bytes.mid(start, end - start)));
        if (end < bytes.size() && bytes[end] == '\r')
            ++end;
        if (end < bytes.size() && bytes[end] == '\n')
            ++end;
        start = end;
    }
    return lines;
}

bool writeFavourites(const QString& path, const QStringList& entries) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes;
    for (const QString& entry : entries) {
        bytes += entry.toUtf8();
        bytes += "\r\n";
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool ensureFavouritesFile(const QString& path) {
    if (QFileInfo(path).isFile())
        return true;
    return writeFavourites(path, {kHeading});
}

QList<int> blankPositions(const QStringList& entries) {
    QList<int> positions;
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].isEmpty())
            positions.append(i);
    return positions;
}

QList<int> doublePositions(const QStringList& entries) {
    QList<int> positions;
    QSet<QString> seen;
    for (int i = 0; i < entries.size(); ++i) {
        if (seen.contains(entries[i]))
            positions.append(i);
        else
            seen.insert(entries[i]);
    }
    return positions;
}

namespace {
QStringList without(const QStringList& entries, const QList<int>& positions) {
    QStringList kept;
    qsizetype next = 0;
    for (int i = 0; i < entries.size(); ++i) {
        if (next < positions.size() && positions[next] == i) {
            ++next;
            continue;
        }
        kept.append(entries[i]);
    }
    return kept;
}
}  // namespace

QStringList withoutBlanks(const QStringList& entries) { return without(entries, blankPositions(entries)); }
QStringList withoutDoubles(const QStringList& entries) { return without(entries, doublePositions(entries)); }

bool mayBeFavourite(const QString& keyPathText) {
    static const QStringList refused{kPrompt,
                                     QStringLiteral("HKEY_CLASSES_ROOT"),
                                     QStringLiteral("HKEY_CURRENT_USER"),
                                     QStringLiteral("HKEY_LOCAL_MACHINE"),
                                     QStringLiteral("HKEY_USERS"),
                                     QStringLiteral("HKEY_CURRENT_CONFIG"),
                                     QStringLiteral("HKEY_DYN_DATA"),
                                     QStringLiteral("HKEY_PERFORMANCE_DATA")};
    return !refused.contains(keyPathText);
}

QStringList pathComponents(const QString& favourite) { return favourite.split(u'\\'); }

bool arrowsApply(const QString& comboText, const QString& keyPathText) {
    return comboText != keyPathText && keyPathText != kPrompt;
}

}  // namespace karvo::favourites
