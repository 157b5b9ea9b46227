// karvo: backs up and restores single registry keys (the Win32 front end).
// The registry's headers name a kernel helper that <windows.h> makes a macro: they come first.
#include "registry/RegistryService.h"

#include "platform/GetWin.h"
#include "ui/win32/frmRegEdit.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    namespace win32 = karvo::win32;
    const char* title = "Karvo Backup";
    if (const std::string problem = karvo::reg::registryProblem(); !problem.empty()) {
        MessageBoxW(nullptr, win32::wide(problem + "     ").c_str(), win32::wide(title).c_str(), MB_OK);
        return 1;
    }
    // Backups, favourites and the editor's files are all named relative to the program folder.
    const std::string executableFolder = karvo::platform::programFolder();
    std::string programFolder = karvo::platform::userProgramFolder(executableFolder);
    if (!karvo::platform::prepareUserFolder(programFolder, executableFolder))
        programFolder = executableFolder;
    SetCurrentDirectoryW(win32::wide(programFolder).c_str());

    win32::frmRegEdit window(instance, programFolder, [] { PostQuitMessage(0); });
    window.Form_Load();
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!window.preTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
