// Favourite keys: the file "Favs.tlv" beside the program, one entry per line ending in CR LF, and
// the rules of the favourites commands. Plain functions over lists of texts.
#pragma once

#include <QString>
#include <QStringList>

namespace karvo::favourites {

// Entry 0 of the list, written into a new file.
inline const QString kHeading = QStringLiteral("Favorite Keys");
// What the status line holds before any key has been clicked.
inline const QString kPrompt = QStringLiteral("Select a Key to Backup, Restore or Add to Favorites");

// The favourites file in folder.
QString favouritesPath(const QString& folder);

// The file's lines in order, without their line ends (a last line without CR LF counts too). An
// unreadable file gives none. Text is UTF-8, the system code page here.
QStringList readFavourites(const QString& path);
// Replaces the file by the entries, each followed by CR LF. The new content is written beside the
// old file and then renamed over it, so an interrupted save leaves the old file intact.
bool writeFavourites(const QString& path, const QStringList& entries);
// Creates the file with the single heading line when it does not exist yet.
bool ensureFavouritesFile(const QString& path);

// Positions of the entries to remove, in ascending order.
QList<int> blankPositions(const QStringList& entries);      // empty texts
QList<int> doublePositions(const QStringList& entries);     // repeats of an earlier text (case counts)
QStringList withoutBlanks(const QStringList& entries);
QStringList withoutDoubles(const QStringList& entries);

// Whether the status line's text may be added: not the prompt and not a bare root name.
bool mayBeFavourite(const QString& keyPathText);

// The components of a favourite, root name first.
QStringList pathComponents(const QString& favourite);
// Whether the arrows act: the combo's text is not the marked key's path and a key has been clicked.
bool arrowsApply(const QString& comboText, const QString& keyPathText);

}  // namespace karvo::favourites
