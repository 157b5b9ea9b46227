// What the window suites check alike: controls found by name, message boxes as the user saw
// them, twips on this screen and the walk of the Tab key.
#pragma once

#include "ui/qt/MsgBox.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QWidget>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace karvo::test {

// A control of window by its name; a missing one fails the test that asked for it.
template <class T = QWidget>
T* child(const QObject* window, const char* name) {
    if (T* found = window->findChild<T*>(QLatin1String(name)))
        return found;
    throw std::runtime_error(std::string("no control ") + name);
}

// A message box in one line: "caption [style]: text".
inline std::string box(const QString& caption, int style, const QString& text) {
    return QStringLiteral("%1 [%2]: %3").arg(caption).arg(style).arg(text).toStdString();
}
using Boxes = std::vector<std::string>;

// The boxes shown since the last call, in that form.
inline Boxes takeBoxes(platform::RecordingMessageBoxes& boxes) {
    Boxes lines;
    for (const auto& shown : boxes.shown)
        lines.push_back(box(shown.caption, shown.style, shown.text));
    boxes.shown.clear();
    return lines;
}

// The entries of a combo box's list, in order.
inline QStringList items(const QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// Pixels on this screen for a length in twips.
inline int twips(int length, double dpi) { return static_cast<int>(std::lround(length * dpi / 1440.0)); }

// The name of the control that has the focus: the edit field of a combo box counts as the box.
inline QString focusName() {
    QWidget* w = QApplication::focusWidget();
    while (w && w->parentWidget() && (w->objectName().isEmpty() || w->objectName().startsWith(u"qt_")))
        w = w->parentWidget();
    return w ? w->objectName() : QString();
}

// The controls the Tab key visits, starting at the one that has the focus.
inline QStringList tabWalk(int count) {
    QStringList names;
    for (int i = 0; i < count && QApplication::focusWidget(); ++i) {
        names << focusName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return names;
}

}  // namespace karvo::test
