// The backup store: backups are ".reg" files in the program folder, written and read by the
// registry editor. Here are the name rules, the folder listing, the editor's command lines and
// deletion; the window only reads its controls and calls these.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace karvo::backup {

// Backup names of the ordinary files in folder whose name ends in ".reg" (any letter case):
// the file name without its final four characters. Hidden files and folders are left out; a
// missing or unreadable folder gives none. The order is the folder's.
QStringList backupNames(const QString& folder);

// True when a file of that name exists (a bare name is looked up in the working directory),
// hidden files included; folders do not count.
bool FileExist(const QString& name);

// Why a name cannot be used on the editor's command line; text and caption of the message box.
struct NameRefusal {
    QString text;
    QString caption;
};
// A backup name goes unquoted onto the command line and names a file in the program folder, so
// path separators, characters Windows refuses in file names, control characters and a leading
// "/" or "-" (read as a switch) are refused. Blanks are allowed: the command turns them into "_".
std::optional<NameRefusal> checkBackupName(const QString& name);
// The same for a listed backup about to be imported, where a blank would split the file name.
std::optional<NameRefusal> checkRestoreName(const QString& name);

// <windir>\regedit /e NAMEROOT.reg "KEY PATH"
QString exportCommandLine(const QString& winDir, const QString& name, const QString& root,
                          const QString& keyPath);
// <windir>\regedit.exe /s NAME.reg
QString importCommandLine(const QString& winDir, const QString& backupName);

// The full path of a backup file.
QString backupFilePath(const QString& folder, const QString& backupName);
// Deletes a backup file; on failure error (when given) says why.
bool deleteBackup(const QString& folder, const QString& backupName, QString* error = nullptr);

// The editor's exit status, made honest. Wine's regedit ends with status 0 even when it failed and
// says why only on standard error, so with it (wineEditor) a reason given is a failure; and an
// export whose file (exportFile) is missing, empty or no newer than writtenBefore (its time before
// the run, invalid when there was none) failed whatever the status said. Returns the status to
// report; reason gets the cause of a failure found here.
int checkedEditorStatus(int exitCode, QString& reason, bool wineEditor, const QString& exportFile = {},
                        const QDateTime& writtenBefore = {});

// What the status line and the message box say once the editor has finished.
struct EditorReport {
    bool ok = false;
    QString status;   // the status line's text
    QString message;  // the message box text on failure, "" on success
};
// For a finished export or import: started tells whether the editor could be started at all,
// exitCode its status and reason what it wrote to standard error (or why it did not start).
EditorReport exportReport(const QString& name, bool started, int exitCode, const QString& reason);
EditorReport importReport(const QString& name, bool started, int exitCode, const QString& reason);

}  // namespace karvo::backup
