// Text in and out of the controls the logic names, alike for every Qt window: UTF-8 outside,
// QString inside.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <string>
#include <string_view>

namespace karvo::ui {

inline QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// A combo's text is the one its field shows.
inline std::string widgetText(const QWidget* w) {
    if (auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->text().toStdString();
    if (auto* memo = qobject_cast<const QPlainTextEdit*>(w))
        return memo->toPlainText().toStdString();
    if (auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->currentText().toStdString();
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->text().toStdString();
    return {};
}

inline void setWidgetText(QWidget* w, std::string_view text) {
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(q(text));
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
        memo->setPlainText(q(text));
    else if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setEditText(q(text));
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(q(text));
}

}  // namespace karvo::ui
