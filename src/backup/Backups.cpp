#include "backup/Backups.h"

#include "platform/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <system_error>

namespace fs = std::filesystem;

namespace karvo::backup {

namespace {

constexpr const char* kFiveBlanks = "     ";
constexpr std::string_view kRefusedCharacters = "\\/:*?\"<>|";

char folded(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool endsWithRegIgnoringCase(const std::string& file) {
    if (file.size() <= 4)
        return false;
    const std::string tail = file.substr(file.size() - 4);
    return std::equal(tail.begin(), tail.end(), ".reg", [](char a, char b) { return folded(a) == b; });
}

EditorReport report(bool ok, std::string successStatus, std::string failureStatus, const std::string& failureSentence,
                    int exitCode, bool started, const std::string& reason) {
    EditorReport r;
    r.ok = ok;
    if (ok) {
        r.status = std::move(successStatus);
        return r;
    }
    r.status = std::move(failureStatus);
    const auto first = reason.find_first_not_of(" \t\r\n");
    std::string why = first == std::string::npos ? std::string()
                                                 : reason.substr(first, reason.find_last_not_of(" \t\r\n") - first + 1);
    if (why.empty())
        why = started ? "The registry editor ended with status " + std::to_string(exitCode)
                      : std::string("The registry editor could not be started");
    r.message = failureSentence + kFiveBlanks + "\r\n" + why + kFiveBlanks;
    return r;
}

// The backup files of folder as the list shows them: ordinary files whose name ends in ".reg",
// any letter case; hidden files are not backups to offer.
std::vector<std::string> listedFiles(const fs::path& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        const std::string file = it->path().filename().string();
        if (file.front() != '.' && endsWithRegIgnoringCase(file))
            files.push_back(file);
    }
    return files;
}

}  // namespace

std::vector<std::string> backupNames(const fs::path& folder) {
    std::vector<std::string> names = listedFiles(folder);
    for (std::string& name : names)
        name.resize(name.size() - 4);
    return names;
}

bool FileExist(const fs::path& name) {
    std::error_code ec;
    return !name.empty() && fs::is_regular_file(name, ec);
}

std::string backupFileName(const fs::path& folder, const std::string& backupName) {
    // Names as the folder spells them: where letter case is ignored, NAME.reg would also find NAME.REG.
    const std::vector<std::string> files = listedFiles(folder);
    const std::string exact = backupName + ".reg";
    if (std::find(files.begin(), files.end(), exact) != files.end())
        return exact;
    for (const std::string& file : files)
        if (file.size() - 4 == backupName.size() && file.compare(0, backupName.size(), backupName) == 0)
            return file;
    return {};
}

std::optional<NameRefusal> checkBackupName(const std::string& name) {
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return NameRefusal{std::string("A backup name cannot contain control characters") + kFiveBlanks,
                               "Invalid Name"};
        if (kRefusedCharacters.find(c) != std::string_view::npos)
            return NameRefusal{std::string("A backup name cannot contain any of the characters "
                                           "\\ / : * ? \" < > |") + kFiveBlanks,
                               "Invalid Name"};
    }
    if (!name.empty() && (name.front() == '-' || name.front() == '/'))
        return NameRefusal{std::string("A backup name cannot begin with \"-\" or \"/\"") + kFiveBlanks, "Invalid Name"};
    return std::nullopt;
}

std::string exportCommandLine(const std::string& winDir, const std::string& name, const std::string& root,
                              const std::string& keyPath) {
    return exportToCommandLine(winDir, name + root + ".reg", keyPath);
}

std::string exportToCommandLine(const std::string& winDir, const std::string& file, const std::string& keyPath) {
    return winDir + "\\regedit /e " + platform::quoteArgument(file) + ' ' + platform::quoteArgument(keyPath, true);
}

fs::path safetyFolder(const fs::path& programFolder) { return programFolder / "Safety Backups"; }

std::string safetyFileName(const std::string& label, std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d-%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(millis));
    return std::string(stamp) + " " + label + ".reg";
}

SafetyName readSafetyName(const std::string& fileName) {
    // 8 digits, "-", 6 digits, "-", 3 digits, a blank, the label, ".reg"
    constexpr std::size_t kStamp = 19;
    const auto digits = [&](std::size_t from, std::size_t n) {
        return std::all_of(fileName.begin() + static_cast<std::ptrdiff_t>(from),
                           fileName.begin() + static_cast<std::ptrdiff_t>(from + n),
                           [](char c) { return c >= '0' && c <= '9'; });
    };
    if (fileName.size() < kStamp + 5 || !digits(0, 8) || fileName[8] != '-' || !digits(9, 6) || fileName[15] != '-' ||
        !digits(16, 3) || fileName[kStamp] != ' ' || !endsWithRegIgnoringCase(fileName))
        return {};
    const std::string& f = fileName;
    return {f.substr(0, 4) + "-" + f.substr(4, 2) + "-" + f.substr(6, 2) + " " + f.substr(9, 2) + ":" + f.substr(11, 2) +
                ":" + f.substr(13, 2),
            f.substr(kStamp + 1, f.size() - kStamp - 5)};
}

std::optional<fs::path> newestSafetyBackup(const fs::path& folder) {
    std::optional<fs::path> newest;
    for (const std::string& name : listedFiles(folder))
        if (!readSafetyName(name).time.empty() && (!newest || name > newest->filename().string()))
            newest = folder / name;
    return newest;
}

std::string importCommandLine(const std::string& winDir, const std::string& fileName) {
    return winDir + "\\regedit.exe /s " + platform::quoteArgument(fileName);
}

bool deleteBackup(const fs::path& folder, const std::string& backupName, std::string* error) {
    const std::string fileName = backupFileName(folder, backupName);
    if (fileName.empty()) {
        if (error)
            *error = "The file " + (folder / (backupName + ".reg")).make_preferred().string() + " no longer exists";
        return false;
    }
    std::error_code ec;
    if (fs::remove(folder / fileName, ec))
        return true;
    if (error)
        *error = ec ? ec.message() : "The file " + fileName + " no longer exists";
    return false;
}

WriteTime lastWritten(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        return std::nullopt;
    const auto time = fs::last_write_time(file, ec);
    return ec ? WriteTime() : WriteTime(time);
}

int checkedEditorStatus(int exitCode, std::string& reason, bool wineEditor, const fs::path& exportFile,
                        WriteTime writtenBefore) {
    if (exitCode != 0)
        return exitCode;
    if (wineEditor && reason.find_first_not_of(" \t\r\n") != std::string::npos)
        return 1;
    if (!exportFile.empty()) {
        std::error_code ec;
        const WriteTime written = lastWritten(exportFile);
        const auto size = written ? fs::file_size(exportFile, ec) : 0;
        if (!written || ec || size == 0 || (writtenBefore && *written <= *writtenBefore)) {
            reason = "The registry editor wrote nothing to " + exportFile.filename().string();
            return 1;
        }
    }
    return 0;
}

EditorReport exportReport(const std::string& name, bool started, int exitCode, const std::string& reason) {
    return report(started && exitCode == 0, name + " backup has been created",
                  "Backup file " + name + " could not be created",
                  "The registry editor could not create the backup " + name, exitCode, started, reason);
}

EditorReport importReport(const std::string& name, bool started, int exitCode, const std::string& reason) {
    return report(started && exitCode == 0, name + " has been restored", "Backup file " + name + " could not be restored",
                  "The registry editor could not restore the backup " + name, exitCode, started, reason);
}

}  // namespace karvo::backup
