#include "ui/qt/QtDesktop.h"

#include "ui/qt/Launcher.h"
#include "ui/qt/MsgBox.h"
#include "ui/qt/ShexIt.h"

#include <QString>
#include <QWidget>

namespace karvo::ui {

QtDesktop::QtDesktop(QWidget* owner, Launch launch)
    : owner_(owner), launch_(launch ? std::move(launch) : Launch(&platform::StartProcess)) {}

void QtDesktop::open(const std::string& file) {
    platform::ShellExecuteA(owner_, "open", file, "", "", platform::SW_SHOWNORMAL_);
}

bool QtDesktop::startProgram(const std::string& commandLine, int windowStyle) {
    return launch_(commandLine, windowStyle) != 0;
}

int QtDesktop::messageBox(const std::string& text, int style, const std::string& caption) {
    return platform::MsgBox(owner_, QString::fromStdString(text), style, QString::fromStdString(caption));
}

void QtDesktop::runProgram(const std::string& commandLine, int windowStyle,
                           std::function<void(const platform::ProcessOutcome&)> done) {
    platform::RunProcess(commandLine, windowStyle, owner_, std::move(done));
}

}  // namespace karvo::ui
