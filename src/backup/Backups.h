// The backup store: backups are ".reg" files in the program folder, written and read by the
// registry editor. Here are the name rules, the folder listing, the editor's command lines, deletion
// and the reports; the main window's logic calls these.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace karvo::backup {

// Backup names of the ordinary files in folder whose name ends in ".reg" (any letter case):
// the file name without its final four characters. Hidden files (a leading ".") and folders are
// left out; a missing or unreadable folder gives none. The order is the folder's.
std::vector<std::string> backupNames(const std::filesystem::path& folder);

// The name of the listed file in folder that backupName stands for, as the folder spells it: NAME.reg,
// else the first of NAME.REG, NAME.Reg ... (the listing ignores the extension's letter case, and a
// file system may keep it); "" when there is none.
std::string backupFileName(const std::filesystem::path& folder, const std::string& backupName);

// True when a file of that name exists (a bare name is looked up in the working directory),
// hidden files included; folders do not count.
bool FileExist(const std::filesystem::path& name);

// Why a name cannot be used on the editor's command line; text and caption of the message box.
struct NameRefusal {
    std::string text;
    std::string caption;
};
// A backup name names a file in the program folder and goes onto the editor's command line, so
// path separators, characters Windows refuses in file names, control characters and a leading
// "/" or "-" (read as a switch) are refused. Blanks are allowed: the command turns them into "_".
// The same holds for a listed backup about to be imported.
std::optional<NameRefusal> checkBackupName(const std::string& name);

// <windir>\regedit /e NAMEROOT.reg "KEY PATH". Each argument is quoted by the rules the editor
// splits its command line with, so the key path arrives whatever its names hold.
std::string exportCommandLine(const std::string& winDir, const std::string& name, const std::string& root,
                              const std::string& keyPath);
// The same into any file (a path relative to the program folder).
std::string exportToCommandLine(const std::string& winDir, const std::string& file, const std::string& keyPath);
// <windir>\regedit.exe /s FILE, with the backup's own file name (see backupFileName).
std::string importCommandLine(const std::string& winDir, const std::string& fileName);

// Safety backups: the live key as it was before each exact restore, in a folder of their own in the
// program folder, so "My Backups" never lists them. Named "YYYYMMDD-HHMMSS-mmm LABEL.reg" by local
// time, so the newest sorts last; hidden files there are work files, never safety backups.
std::filesystem::path safetyFolder(const std::filesystem::path& programFolder);
std::string safetyFileName(const std::string& label, std::chrono::system_clock::time_point when);
std::optional<std::filesystem::path> newestSafetyBackup(const std::filesystem::path& folder);
// "YYYY-MM-DD HH:MM:SS" and the label a safety backup's name holds; both "" for another name.
struct SafetyName {
    std::string time;
    std::string label;
};
SafetyName readSafetyName(const std::string& fileName);

// Deletes the backup's file (see backupFileName); on failure error (when given) says why.
bool deleteBackup(const std::filesystem::path& folder, const std::string& backupName, std::string* error = nullptr);

// When file was last written; none when it is not a file.
using WriteTime = std::optional<std::filesystem::file_time_type>;
WriteTime lastWritten(const std::filesystem::path& file);

// The editor's exit status, made honest. Wine's regedit ends with status 0 even when it failed and
// says why only on standard error, so with it (wineEditor) a reason given is a failure; and an
// export whose file (exportFile) is missing, empty or no newer than writtenBefore (its time before
// the run, none when there was no file) failed whatever the status said. Returns the status to
// report; reason gets the cause of a failure found here.
int checkedEditorStatus(int exitCode, std::string& reason, bool wineEditor,
                        const std::filesystem::path& exportFile = {}, WriteTime writtenBefore = {});

// What the status line and the message box say once the editor has finished.
struct EditorReport {
    bool ok = false;
    std::string status;   // the status line's text
    std::string message;  // the message box text on failure, "" on success
};
// For a finished export or import: started tells whether the editor could be started at all,
// exitCode its status and reason what it wrote to standard error (or why it did not start).
EditorReport exportReport(const std::string& name, bool started, int exitCode, const std::string& reason);
EditorReport importReport(const std::string& name, bool started, int exitCode, const std::string& reason);

}  // namespace karvo::backup
