// The Windows folder. Off Windows it is the folder "windows" beside the program, where the build
// and the install put the registry editor; $KARVO_WINDIR names another one (tests).
#pragma once

#include <string>

namespace karvo::platform {

// The Windows folder without a trailing separator; "" when it cannot be found.
std::string GetWinDir();

// The folder that holds the running program's executable, without a trailing separator.
std::string programFolder();

}  // namespace karvo::platform
