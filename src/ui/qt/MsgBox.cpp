#include "ui/qt/MsgBox.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

namespace karvo::platform {

namespace {

MessageBoxes* installed = nullptr;

constexpr int kButtonMask = 0x0F;
constexpr int kIconMask = 0x70;

QMessageBox::Icon iconOf(int style) {
    switch (style & kIconMask) {
    case vbCritical: return QMessageBox::Critical;
    case vbQuestion: return QMessageBox::Question;
    case vbExclamation: return QMessageBox::Warning;
    case vbInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

int realMessageBox(QWidget* parent, const QString& text, int style, const QString& caption) {
    QMessageBox box(parent);
    box.setIcon(iconOf(style));
    box.setText(text);
    // A box without a caption of its own carries the program's title.
    box.setWindowTitle(caption.isEmpty() ? QGuiApplication::applicationDisplayName() : caption);

    struct Choice {
        QAbstractButton* button;
        int answer;
    };
    std::vector<Choice> choices;
    int closed = vbOK;  // the answer when the box is closed without a button
    switch (style & kButtonMask) {
    case vbOKCancel: {
        auto* ok = box.addButton(QMessageBox::Ok);
        auto* cancel = box.addButton(QMessageBox::Cancel);
        choices = {{ok, vbOK}, {cancel, vbCancel}};
        box.setDefaultButton(ok);
        box.setEscapeButton(cancel);
        closed = vbCancel;
        break;
    }
    case vbYesNo: {
        auto* yes = box.addButton(QMessageBox::Yes);
        auto* no = box.addButton(QMessageBox::No);
        choices = {{yes, vbYes}, {no, vbNo}};
        box.setDefaultButton(yes);
        closed = vbNo;
        break;
    }
    default: {
        auto* ok = box.addButton(QMessageBox::Ok);
        choices = {{ok, vbOK}};
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
        break;
    }
    }
    box.exec();
    for (const Choice& c : choices)
        if (box.clickedButton() == c.button)
            return c.answer;
    return closed;
}

}  // namespace

void setMessageBoxes(MessageBoxes* boxes) { installed = boxes; }

int MsgBox(QWidget* parent, const QString& text, int style, const QString& caption) {
    if (installed)
        return installed->show(parent, text, style, caption);
    return realMessageBox(parent, text, style, caption);
}

int RecordingMessageBoxes::show(QWidget*, const QString& text, int style, const QString& caption) {
    shown.push_back({text, style, caption});
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    return (style & kButtonMask) == vbYesNo ? vbYes : vbOK;
}

}  // namespace karvo::platform
