// Message boxes go through this one small interface, so tests can answer them like a person.
#pragma once

#include "platform/Desktop.h"

#include <QString>

#include <vector>

class QWidget;

namespace karvo::platform {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows text with the buttons and icon of style under caption; returns the answer.
    virtual int show(QWidget* parent, const QString& text, int style, const QString& caption) = 0;
};

// The program's message boxes (real QMessageBox unless a test has installed its own).
int MsgBox(QWidget* parent, const QString& text, int style, const QString& caption);
// Installs boxes for tests; nullptr restores the real ones. The caller keeps ownership.
void setMessageBoxes(MessageBoxes* boxes);

// For tests: records every box and answers from a queue (vbOK / first button when it runs dry).
class RecordingMessageBoxes : public MessageBoxes {
public:
    struct Shown {
        QString text;
        int style;
        QString caption;
    };
    RecordingMessageBoxes() { setMessageBoxes(this); }
    ~RecordingMessageBoxes() override { setMessageBoxes(nullptr); }
    int show(QWidget*, const QString& text, int style, const QString& caption) override;
    std::vector<int> answers;  // taken from the front
    std::vector<Shown> shown;
};

}  // namespace karvo::platform
