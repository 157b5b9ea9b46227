// The desktop as the Win32 windows reach it: the shell's "open", the launcher and message boxes, each
// owned by one window. The editor's runs are watched by a timer of the owner window, so the window
// keeps running while they last.
#pragma once

#include "platform/Desktop.h"
#include "ui/win32/Handles.h"

#include <functional>
#include <string>
#include <vector>

namespace karvo::win32 {

// Shows a message box; tests put a recorder in place of the system's.
using MessageBoxes = std::function<int(const std::string& text, int style, const std::string& caption)>;

class Win32Desktop final : public platform::Desktop, public platform::ProcessRunner {
public:
    Win32Desktop() = default;
    Win32Desktop(const Win32Desktop&) = delete;
    Win32Desktop& operator=(const Win32Desktop&) = delete;

    // The window the boxes belong to and whose WM_TIMER reaches timer().
    void setOwner(HWND owner) { owner_ = owner; }
    void setMessageBoxes(MessageBoxes boxes) { boxes_ = std::move(boxes); }

    void open(const std::string& file) override;
    bool startProgram(const std::string& commandLine, int windowStyle) override;
    int messageBox(const std::string& text, int style, const std::string& caption) override;
    // done is called from the owner's WM_TIMER, never once this desktop is gone.
    void runProgram(const std::string& commandLine, int windowStyle,
                    std::function<void(const platform::ProcessOutcome&)> done) override;

    // The owner's WM_TIMER: reports a run that has ended. False when the timer is not a run's.
    bool timer(UINT_PTR id);

private:
    struct Run {
        UINT_PTR timer;
        Handle process;
        std::function<void(const platform::ProcessOutcome&)> done;
    };
    // Starts through the shell, so that Windows can ask for elevation; a declined prompt fails.
    Handle start(const std::string& commandLine, int windowStyle, std::string& why);

    HWND owner_ = nullptr;
    MessageBoxes boxes_;
    std::vector<Run> runs_;
    UINT_PTR nextTimer_ = 0x4B00;
};

}  // namespace karvo::win32
