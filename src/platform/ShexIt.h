// The shell's "open" action.
#pragma once

#include <string>

class QWidget;

namespace karvo::platform {

inline constexpr int SW_SHOWNORMAL_ = 1;

// operation "open": web addresses and documents through the desktop's opener, programs started.
// Returns a value greater than 32 on success, as Windows does; callers may ignore it.
long ShellExecuteA(QWidget* owner, const std::string& operation, const std::string& file,
                   const std::string& parameters, const std::string& directory, int showCmd);

}  // namespace karvo::platform
