// regedit: our registry editor program.
//   regedit /e FILE [KEY]   writes KEY (or the whole registry) to FILE, "Windows Registry Editor Version 5.00"
//   regedit /a FILE [KEY]   the same as REGEDIT4
//   regedit /s FILE         imports FILE without asking
//   regedit                 opens the editor window
// Exit status 0 exactly when the job was done; otherwise one line on standard error and status 1.

#include "regfile/DefaultRegistry.h"
#include "regfile/RegFile.h"
#include "registry/RegistryService.h"

#ifdef KARVO_REGEDIT_WINDOW
#include "regedit/EditorWindow.h"
#endif

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  regedit /e FILE [KEY]   export KEY with its sub-keys to FILE (the whole registry without KEY)\n"
    "  regedit /a FILE [KEY]   the same in the older REGEDIT4 format\n"
    "  regedit /s FILE         import FILE silently\n";

int failure(const std::string& message) {
    std::cerr << "regedit: " << message << '\n';
    return 1;
}

// "/e", "-E" ... as the switch letter, or 0 when the argument is no switch.
char switchLetter(const std::string& arg) {
    if (arg.size() != 2 || (arg[0] != '/' && arg[0] != '-'))
        return 0;
    const char c = arg[1];
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A path may come split over several arguments when it was not quoted, or still quoted when it
// came through a shell that kept the quotes: join with blanks and drop one surrounding pair.
std::string joined(const std::vector<std::string>& args, std::size_t from) {
    std::string s;
    for (std::size_t i = from; i < args.size(); ++i) {
        if (i > from)
            s.push_back(' ');
        s += args[i];
    }
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        s = s.substr(1, s.size() - 2);
    return s;
}

std::string unquoted(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        return s.substr(1, s.size() - 2);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
#ifdef KARVO_REGEDIT_WINDOW
        return karvo::regedit::runEditorWindow(argc, argv);
#else
        std::cout << kUsage;
        return 0;
#endif
    }

    const char letter = switchLetter(args[0]);
    if (letter != 'e' && letter != 'a' && letter != 's')
        return failure("unknown switch \"" + args[0] + "\" (use /e, /a or /s)");
    if (args.size() < 2 || unquoted(args[1]).empty())
        return failure("no file named after " + args[0]);

    // A registry that cannot be used is said once, before anything is read or written.
    if (const std::string problem = karvo::reg::registryProblem(); !problem.empty())
        return failure(problem);
    karvo::regfile::Result result;
    // Whatever goes wrong ends in the one line that says why, never in a crash.
    try {
        karvo::regfile::installDefaultRegistry();
        karvo::reg::RegistryService& registry = karvo::reg::systemRegistry();
        if (letter == 's') {
            // The file itself names every key, so everything after the switch is the file name.
            result = karvo::regfile::importRegFile(registry, joined(args, 1));
        } else {
            const auto format = letter == 'a' ? karvo::regfile::Format::Regedit4 : karvo::regfile::Format::Unicode5;
            result = karvo::regfile::exportRegFile(registry, unquoted(args[1]), joined(args, 2), format);
        }
    } catch (const std::exception& e) {
        result = {false, e.what()};
    }
    if (!result.ok)
        return failure(result.message);
    return 0;
}
