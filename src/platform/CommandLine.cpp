#include "platform/CommandLine.h"

#include "platform/GetWin.h"
#include "registry/RegistryService.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace karvo::platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Windows compares names with letter case ignored; beyond ASCII we compare bytes, which is
// enough for the names this program ever builds.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    return true;
}

bool endsWithExe(std::string_view name) {
    return name.size() > 4 && sameName(name.substr(name.size() - 4), ".exe");
}

enum class Want { Folder, File, Any };

bool kindMatches(const fs::path& p, Want want) {
    std::error_code ec;
    const auto st = fs::status(p, ec);
    if (ec)
        return false;
    switch (want) {
    case Want::Folder: return fs::is_directory(st);
    case Want::File: return fs::is_regular_file(st);
    case Want::Any: return fs::exists(st);
    }
    return false;
}

// The entry of folder whose name equals name with letter case ignored; the exact spelling wins.
std::optional<fs::path> findEntry(const fs::path& folder, const std::string& name, Want want) {
    if (kindMatches(folder / name, want))
        return folder / name;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (sameName(entry, name) && kindMatches(it->path(), want))
            return it->path();
    }
    return std::nullopt;
}

// A Windows-style path in this system's terms: drive letters mapped, "\" turned into "/".
std::string nativeSpelling(std::string_view windowsPath) {
    std::string s(windowsPath);
#ifndef _WIN32
    const bool hasDrive = s.size() >= 2 && s[1] == ':' &&
                          ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
    const reg::RegistryChoice choice = reg::registryChoice();
    if (hasDrive && choice.wine) {
        // Wine's own drive table: <prefix>/dosdevices/c: and so on.
        const char letter = static_cast<char>(s[0] >= 'A' && s[0] <= 'Z' ? s[0] - 'A' + 'a' : s[0]);
        s = choice.location + "/dosdevices/" + letter + ":" + (s.size() > 2 && s[2] != '\\' && s[2] != '/' ? "/" : "") +
            s.substr(2);
    } else if (hasDrive) {
        std::string rest = s.substr(2);
        if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/')) {
            const std::string after = rest.substr(1);
            const std::size_t cut = after.find_first_of("\\/");
            const std::string first = after.substr(0, cut);
            if (sameName(first, "WINDOWS"))
                s = GetWinDir() + (cut == std::string::npos ? std::string() : after.substr(cut));
            else
                s = "/" + after;
        } else {
            s = rest;  // drive-relative: relative to the working folder
        }
    }
    for (char& c : s)
        if (c == '\\')
            c = '/';
#endif
    return s;
}

std::string walk(std::string_view windowsPath, bool program) {
#ifdef _WIN32
    // The file system itself ignores letter case and knows drives.
    const fs::path given{std::string(windowsPath)};
    const Want wanted = program ? Want::File : Want::Any;
    if (kindMatches(given, wanted))
        return given.string();
    if (program && !endsWithExe(windowsPath) && kindMatches(fs::path(given) += ".exe", wanted))
        return (fs::path(given) += ".exe").string();
    return {};
#endif
    const std::string native = nativeSpelling(windowsPath);
    if (native.empty())
        return {};
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= native.size()) {
        const std::size_t slash = native.find('/', start);
        const std::size_t end = slash == std::string::npos ? native.size() : slash;
        if (end > start)
            parts.push_back(native.substr(start, end - start));
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    if (parts.empty())
        return program ? std::string() : native;

    std::error_code ec;
    fs::path here = native[0] == '/' ? fs::path("/") : fs::current_path(ec);
    if (ec)
        return {};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        const bool last = i + 1 == parts.size();
        if (part == "." || part == "..") {
            here /= part;
            if (last && program)
                return {};
            continue;
        }
        const Want want = !last ? Want::Folder : (program ? Want::File : Want::Any);
        std::vector<std::string> names{part};
        if (last && program) {
            if (endsWithExe(part))
                names.push_back(part.substr(0, part.size() - 4));
            else if (part.find('.') == std::string::npos)
                names.push_back(part + ".exe");
        }
        std::optional<fs::path> found;
        for (const std::string& name : names)
            if ((found = findEntry(here, name, want)))
                break;
        if (!found)
            return {};
        here = *found;
    }
    return here.lexically_normal().string();
}

}  // namespace

std::vector<std::string> splitArguments(std::string_view text) {
    std::vector<std::string> out;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (isBlank(c) && !quoted) {
            if (inArgument) {
                out.push_back(current);
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            std::size_t count = 0;
            while (i + count < text.size() && text[i + count] == '\\')
                ++count;
            if (i + count < text.size() && text[i + count] == '"') {
                current.append(count / 2, '\\');
                if (count % 2 == 1) {
                    current += '"';
                    i += count + 1;
                } else {
                    i += count;  // the quote itself toggles quoting below
                }
            } else {
                current.append(count, '\\');
                i += count;
            }
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (inArgument)
        out.push_back(current);
    return out;
}

std::string quoteArgument(std::string_view argument, bool always) {
    if (!always && !argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos)
        return std::string(argument);
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote gets one of its own.
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    // Before the closing quote they are doubled too, or it would be taken literally.
    out.append(2 * backslashes, '\\');
    return out + '"';
}

std::string resolvePath(std::string_view windowsPath) { return walk(windowsPath, false); }

std::string resolveProgram(std::string_view windowsPath) {
    if (windowsPath.empty())
        return {};
    const bool bare = windowsPath.find_first_of("\\/:") == std::string_view::npos;
    if (!bare)
        return walk(windowsPath, true);
    std::vector<std::string> folders{".", GetWinDir()};
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string_view folder = rest.substr(0, colon);
            if (!folder.empty())
                folders.emplace_back(folder);
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        std::string found = walk(folder + "/" + std::string(windowsPath), true);
        if (!found.empty())
            return found;
    }
    return {};
}

std::optional<ResolvedCommand> wineCommand(std::string_view windowsProgram, const std::string& resolved,
                                           std::vector<std::string> arguments) {
#ifdef _WIN32
    (void)windowsProgram;
    (void)resolved;
    (void)arguments;
    return std::nullopt;
#else
    const reg::RegistryChoice choice = reg::registryChoice();
    if (!choice.wine || !endsWithExe(resolved))
        return std::nullopt;
    // Wine is given the Windows spelling, with the ".exe" that CreateProcess would add.
    std::string program(windowsProgram);
    if (!endsWithExe(program))
        program += ".exe";
    ResolvedCommand command{"wine", {std::move(program)}, {{"WINEPREFIX", choice.location}}};
    if (const char* debug = std::getenv("WINEDEBUG"); !debug || !*debug)
        command.environment.emplace_back("WINEDEBUG", "-all");
    command.arguments.insert(command.arguments.end(), std::make_move_iterator(arguments.begin()),
                             std::make_move_iterator(arguments.end()));
    return command;
#endif
}

std::optional<ResolvedCommand> resolveCommandLine(std::string_view commandLine) {
    std::size_t begin = 0;
    while (begin < commandLine.size() && isBlank(commandLine[begin]))
        ++begin;
    std::string_view line = commandLine.substr(begin);
    while (!line.empty() && isBlank(line.back()))
        line.remove_suffix(1);
    if (line.empty())
        return std::nullopt;

    if (line.front() == '"') {
        const std::size_t close = line.find('"', 1);
        const std::string_view name =
            line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        std::string program = resolveProgram(name);
        if (program.empty())
            return std::nullopt;
        const std::string_view rest =
            close == std::string_view::npos ? std::string_view() : line.substr(close + 1);
        if (auto wine = wineCommand(name, program, splitArguments(rest)))
            return wine;
        return ResolvedCommand{std::move(program), splitArguments(rest), {}};
    }

    // Unquoted: the program may hold blanks, so every prefix that ends at a blank is a candidate,
    // shortest first, and the whole line last.
    for (std::size_t i = 1; i <= line.size(); ++i) {
        if (i < line.size() && !(isBlank(line[i]) && !isBlank(line[i - 1])))
            continue;
        std::string program = resolveProgram(line.substr(0, i));
        if (program.empty())
            continue;
        if (auto wine = wineCommand(line.substr(0, i), program, splitArguments(line.substr(i))))
            return wine;
        return ResolvedCommand{std::move(program), splitArguments(line.substr(i)), {}};
    }
    return std::nullopt;
}

}  // namespace karvo::platform
