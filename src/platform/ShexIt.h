// The shell's "open" action.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace karvo::platform {

inline constexpr int SW_SHOWNORMAL_ = 1;

// operation "open": web addresses and documents through the desktop's opener, programs started.
// Returns a value greater than 32 on success, as Windows does; callers may ignore it.
long ShellExecuteA(QWidget* owner, const std::string& operation, const std::string& file,
                   const std::string& parameters, const std::string& directory, int showCmd);

// What hands a web address or a document ("file:" URL) to the desktop; true when it was taken.
// Tests install their own so nothing is really opened; an empty function restores the desktop's.
using UrlOpener = std::function<bool(const std::string& url)>;
void setUrlOpener(UrlOpener opener);

}  // namespace karvo::platform
