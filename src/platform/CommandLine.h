// Windows command lines: how a line is cut into arguments and how its program is found.
// Standard library only, so the same rules hold in every build.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace karvo::platform {

// Cuts text into arguments as the Windows C runtime does: blanks and tabs separate arguments
// outside quotes; a quote toggles quoting and is dropped; 2n backslashes before a quote give n
// backslashes (the quote still toggles), 2n+1 give n backslashes and a literal quote; other
// backslashes are kept as written. "" gives an empty argument.
std::vector<std::string> splitArguments(std::string_view text);

// The argument written so that splitArguments gives it back unchanged: in quotes when always is
// set or it is empty or holds a blank, tab or quote; a quote inside, and the backslashes before a
// quote or before the closing quote, escaped. Any key name the registry can hold thus reaches the
// registry editor as it is.
std::string quoteArgument(std::string_view argument, bool always = false);

// The file a Windows-style program path names here, or "" when there is none. "\" and "/" both
// separate folders, letter case is ignored in every folder and file name, ".exe" may be given or
// left out, "<drive>:\WINDOWS" is the Windows folder (GetWinDir) and any other "<drive>:\" is the
// root. A bare name is looked for in the current folder, the Windows folder and $PATH.
std::string resolveProgram(std::string_view windowsPath);

// The path of an existing file or folder named Windows-style (same rules, no ".exe" guessing);
// "" when it does not exist.
std::string resolvePath(std::string_view windowsPath);

struct ResolvedCommand {
    std::string program;             // the file to run
    std::vector<std::string> arguments;
    std::vector<std::pair<std::string, std::string>> environment;  // set for the program only
};

// With a Wine prefix as the registry (KARVO_REGISTRY=wine...), "<drive>:\" names that drive of
// the prefix, and a Windows program (".exe") found there or given by such a path runs under wine
// on the prefix. The command for windowsProgram, or nullopt when it is not such a program.
std::optional<ResolvedCommand> wineCommand(std::string_view windowsProgram, const std::string& resolved,
                                           std::vector<std::string> arguments);

// Finds the program of a whole command line as CreateProcess does: a quoted first part is the
// program; an unquoted one with blanks is tried a prefix at a time (up to each blank, then the whole
// line) until a prefix names a program. The rest of the line is split by splitArguments.
std::optional<ResolvedCommand> resolveCommandLine(std::string_view commandLine);

}  // namespace karvo::platform
