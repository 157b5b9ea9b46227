// The few facts cRegistry takes from the operating system. Kept apart from the registry headers so
// the Windows implementation can include <windows.h> without its macros meeting our names.
#pragma once

#include <string>

namespace karvo::reg::platform {

// The running program's executable file name without folder and extension ("" when unknown).
std::string programBaseName();

#ifndef _WIN32
// The running program's executable file, as the system names it ("" when unknown).
std::string executablePath();
#endif

// UTF-8 to the ANSI code page of the registry functions and back. Off Windows that code page is
// UTF-8, so both return the text unchanged.
std::string utf8ToAnsi(const std::string& text);
std::string ansiToUtf8(const std::string& text);

}  // namespace karvo::reg::platform
