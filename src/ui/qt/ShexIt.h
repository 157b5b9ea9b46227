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
// What "open" shows for the local file `file`: the file itself, except for a compiled help file
// (.chm) that has an HTML copy (index.html in the folder "<name>-html" beside the real file, links
// followed) and that no program on this desktop opens, as chmViewerFound() tells; then the copy, so
// the help still shows in a browser. chmViewerFound is asked only when a copy exists.
std::string documentToOpen(const std::string& file, const std::function<bool()>& chmViewerFound);

using UrlOpener = std::function<bool(const std::string& url)>;
void setUrlOpener(UrlOpener opener);

}  // namespace karvo::platform
