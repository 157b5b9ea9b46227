#include "favourites/ComboHygiene.h"

#include "favourites/Favourites.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QListWidget>

namespace karvo::favourites {

namespace {

QStringList texts(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}

QStringList texts(const QComboBox* combo) {
    QStringList result;
    for (int i = 0; i < combo->count(); ++i)
        result.append(combo->itemText(i));
    return result;
}

void removeRows(QListWidget* list, const QList<int>& rows) {
    for (qsizetype i = rows.size(); i-- > 0;)
        delete list->takeItem(rows[i]);
}

void removeRows(QComboBox* combo, const QList<int>& rows) {
    for (qsizetype i = rows.size(); i-- > 0;)
        combo->removeItem(rows[i]);
}

}  // namespace

void ClearBlanks(QListWidget* list) { removeRows(list, blankPositions(texts(list))); }
void ClearDoubles(QListWidget* list) { removeRows(list, doublePositions(texts(list))); }
void ClearBlanks2(QComboBox* combo) { removeRows(combo, blankPositions(texts(combo))); }
void ClearDoubles2(QComboBox* combo) { removeRows(combo, doublePositions(texts(combo))); }

void Load_Combo(const QString& path, QComboBox* combo) {
    for (const QString& line : readFavourites(path)) {
        QCoreApplication::processEvents();
        combo->addItem(line);
    }
}

bool Save_Combo(const QString& path, const QComboBox* combo) { return writeFavourites(path, texts(combo)); }

}  // namespace karvo::favourites
