// The Windows folder. Off Windows it is the folder "windows" beside the program, where the build
// and the install put the registry editor; $KARVO_WINDIR names another one (tests). With a Wine
// prefix as the registry it is the prefix's own, C:\windows.
#pragma once

#include <string>

namespace karvo::platform {

// The Windows folder without a trailing separator; "" when it cannot be found.
std::string GetWinDir();

// The folder that holds the running program's executable, without a trailing separator.
std::string programFolder();

// The name of the mark an installed copy carries beside its executable.
inline constexpr const char* kInstalledMark = "per-user";

// The program folder proper: it holds the backups, "Favs.tlv" and the help file and is the working
// directory of the program and of the editor it starts. A copy run where it was built uses its own
// folder. An installed copy (kInstalledMark beside the executable) lives in a system folder that the
// user cannot write and that other users share, so each user gets a folder of their own:
// $XDG_DATA_HOME/karvo, or ~/.local/share/karvo, where the user's registry store lives too; on
// Windows %APPDATA%\Karvo. Without a home folder the installed copy falls back to its own folder.
std::string userProgramFolder(const std::string& executableFolder);

// Makes an installed copy's user folder ready: creates it and links (on Windows: copies) the help
// file of the executable's folder into it, so Help finds it where it looks. False when the folder is unusable.
bool prepareUserFolder(const std::string& folder, const std::string& executableFolder);

// Whether a window can be shown. Off Windows a display must be named (X11, Wayland, or a platform
// chosen through $QT_QPA_PLATFORM); without one the toolkit would abort with a long message, so the
// programs say so in one line instead.
bool displayAvailable();

}  // namespace karvo::platform
