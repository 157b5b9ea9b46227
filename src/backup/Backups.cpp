#include "backup/Backups.h"

#include "platform/CommandLine.h"

#include <algorithm>
#include <cctype>
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
    return winDir + "\\regedit /e " + platform::quoteArgument(name + root + ".reg") + ' ' +
           platform::quoteArgument(keyPath, true);
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
