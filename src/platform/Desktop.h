// What a window's logic asks of the desktop around it: the shell's "open", the process launcher and
// message boxes. Standard library only; each front end implements it once for all its windows, and
// the logic's tests record it.
#pragma once

#include <functional>
#include <string>

namespace karvo::platform {

// Message box buttons, icons and answers keep their classic values.
enum : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};
enum : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

// Window styles of a started program.
inline constexpr int kStyleNormalFocus = 1;     // normal window with focus
inline constexpr int kStyleMinimizedFocus = 2;  // minimised with focus

class Desktop {
public:
    // The shell's "open" for a document or web address; whether it worked is not reported.
    virtual void open(const std::string& file) = 0;
    // Starts a Windows command line and returns at once; false when it could not be started.
    virtual bool startProgram(const std::string& commandLine, int windowStyle) = 0;
    // Shows text with the buttons and icon of style under caption; returns the answer.
    virtual int messageBox(const std::string& text, int style, const std::string& caption) = 0;

protected:
    ~Desktop() = default;
};

struct ProcessOutcome {
    bool started = false;   // false: the program could not be found or started
    int exitCode = -1;      // the exit status when it ended normally; -1 when it crashed
    std::string errorText;  // its standard error (or why it could not start), trimmed
};

// Runs a program while the window stays live: done is called later, once it has ended (or could
// not start), and never once the window that asked is gone.
class ProcessRunner {
public:
    virtual void runProgram(const std::string& commandLine, int windowStyle,
                            std::function<void(const ProcessOutcome&)> done) = 0;

protected:
    ~ProcessRunner() = default;
};

}  // namespace karvo::platform
