// The list hygiene applied to the window's two lists: the favourites combo and "My Backups".
#pragma once

#include <QString>

class QComboBox;
class QListWidget;

namespace karvo::favourites {

void ClearBlanks(QListWidget* list);
void ClearDoubles(QListWidget* list);
void ClearBlanks2(QComboBox* combo);
void ClearDoubles2(QComboBox* combo);

// Appends one combo entry per line of the favourites file, letting pending events run between
// lines so a long file does not freeze the window.
void Load_Combo(const QString& path, QComboBox* combo);
// Replaces the favourites file by the combo's entries.
bool Save_Combo(const QString& path, const QComboBox* combo);

// Makes the favourites combo's text field plain typing: no inline completion that would change
// the typed text, and Return or Enter there does not pick the matching entry. Only a choice from
// the drop-down list (or the arrow keys) activates an entry and so jumps the tree.
void keepTypingFromChoosing(QComboBox* combo);

}  // namespace karvo::favourites
