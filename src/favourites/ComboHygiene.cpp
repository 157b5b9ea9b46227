#include "favourites/ComboHygiene.h"

#include "favourites/Favourites.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
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

// Drops Return and Enter on their way into the combo's text field.
class ReturnSwallower : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

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

void keepTypingFromChoosing(QComboBox* combo) {
    combo->setCompleter(nullptr);
    // Key presses reach the text field either directly or forwarded by the combo itself.
    auto* swallower = new ReturnSwallower(combo);
    combo->installEventFilter(swallower);
    if (QLineEdit* edit = combo->lineEdit())
        edit->installEventFilter(swallower);
}

}  // namespace karvo::favourites
