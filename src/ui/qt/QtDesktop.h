// The desktop as the Qt windows reach it: the shell's "open", the process launcher and message boxes,
// each owned by one window.
#pragma once

#include "platform/Desktop.h"

#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace karvo::ui {

// Starts a command line with a window style; the process id, or 0 when it could not be started.
using Launch = std::function<std::int64_t(const std::string& commandLine, int windowStyle)>;

class QtDesktop final : public platform::Desktop, public platform::ProcessRunner {
public:
    // The product's launcher unless a test passes its own.
    explicit QtDesktop(QWidget* owner, Launch launch = {});

    void open(const std::string& file) override;
    bool startProgram(const std::string& commandLine, int windowStyle) override;
    int messageBox(const std::string& text, int style, const std::string& caption) override;
    // Reports to done on the owner's thread, and not at all once the owner is gone.
    void runProgram(const std::string& commandLine, int windowStyle,
                    std::function<void(const platform::ProcessOutcome&)> done) override;

private:
    QWidget* owner_;
    Launch launch_;
};

}  // namespace karvo::ui
