#include "ui/win32/Win32Desktop.h"

#include <shellapi.h>

#include <algorithm>

namespace karvo::win32 {

namespace {

int showCommand(int windowStyle) {
    return windowStyle == platform::kStyleMinimizedFocus ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
}

std::string systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = n ? utf8(std::wstring_view(text, n)) : "error " + std::to_string(error);
    LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
        out.pop_back();
    return out;
}

constexpr UINT kPollMilliseconds = 100;

}  // namespace

void Win32Desktop::open(const std::string& file) {
    ShellExecuteW(owner_, L"open", wide(file).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

Handle Win32Desktop::start(const std::string& commandLine, int windowStyle, std::string& why) {
    // The shell takes the program and its arguments apart: the program is the first word, or the
    // first quoted part.
    std::string program, arguments;
    if (!commandLine.empty() && commandLine.front() == '"') {
        const auto end = commandLine.find('"', 1);
        program = commandLine.substr(1, end == std::string::npos ? std::string::npos : end - 1);
        if (end != std::string::npos)
            arguments = commandLine.substr(end + 1);
    } else {
        const auto end = commandLine.find(' ');
        program = commandLine.substr(0, end);
        if (end != std::string::npos)
            arguments = commandLine.substr(end + 1);
    }
    arguments.erase(0, std::min(arguments.size(), arguments.find_first_not_of(' ')));
    const std::wstring file = wide(program), parameters = wide(arguments);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.hwnd = owner_;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = showCommand(windowStyle);
    if (!ShellExecuteExW(&info) || !info.hProcess) {
        why = systemMessage(GetLastError());
        return nullptr;
    }
    return Handle(info.hProcess);
}

bool Win32Desktop::startProgram(const std::string& commandLine, int windowStyle) {
    std::string why;
    return start(commandLine, windowStyle, why) != nullptr;
}

int Win32Desktop::messageBox(const std::string& text, int style, const std::string& caption) {
    if (boxes_)
        return boxes_(text, style, caption);
    // The style's buttons, icon and answers are the system's own values.
    return MessageBoxW(owner_, wide(text).c_str(), wide(caption).c_str(), static_cast<UINT>(style));
}

void Win32Desktop::runProgram(const std::string& commandLine, int windowStyle,
                              std::function<void(const platform::ProcessOutcome&)> done) {
    std::string why;
    Handle process = start(commandLine, windowStyle, why);
    if (!process) {
        platform::ProcessOutcome outcome;
        outcome.errorText = why;
        done(outcome);
        return;
    }
    const UINT_PTR id = nextTimer_++;
    SetTimer(owner_, id, kPollMilliseconds, nullptr);
    runs_.push_back(Run{id, std::move(process), std::move(done)});
}

bool Win32Desktop::timer(UINT_PTR id) {
    const auto run = std::find_if(runs_.begin(), runs_.end(), [id](const Run& r) { return r.timer == id; });
    if (run == runs_.end())
        return false;
    if (WaitForSingleObject(run->process.get(), 0) != WAIT_OBJECT_0)
        return true;
    KillTimer(owner_, id);
    DWORD code = 0;
    GetExitCodeProcess(run->process.get(), &code);
    auto done = std::move(run->done);
    runs_.erase(run);
    platform::ProcessOutcome outcome;
    outcome.started = true;
    // An ending by an exception (0xC0000005 and the like) is a crash, not an exit status.
    outcome.exitCode = code >= 0xC0000000u ? -1 : static_cast<int>(code);
    // The outcome may show a box, whose own loop runs this window's timers again.
    done(outcome);
    return true;
}

}  // namespace karvo::win32
