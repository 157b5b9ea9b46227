#include "backup/Backups.h"

#include "platform/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace karvo::backup {

namespace {

const QString kFiveBlanks = QStringLiteral("     ");
const QString kRefusedCharacters = QStringLiteral("\\/:*?\"<>|");

std::optional<NameRefusal> commonRefusal(const QString& name) {
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return NameRefusal{QStringLiteral("A backup name cannot contain control characters") + kFiveBlanks,
                               QStringLiteral("Invalid Name")};
        if (kRefusedCharacters.contains(c))
            return NameRefusal{QStringLiteral("A backup name cannot contain any of the characters "
                                              "\\ / : * ? \" < > |") + kFiveBlanks,
                               QStringLiteral("Invalid Name")};
    }
    if (name.startsWith(u'-') || name.startsWith(u'/'))
        return NameRefusal{QStringLiteral("A backup name cannot begin with \"-\" or \"/\"") + kFiveBlanks,
                           QStringLiteral("Invalid Name")};
    return std::nullopt;
}

EditorReport report(bool ok, const QString& successStatus, const QString& failureStatus,
                    const QString& failureSentence, int exitCode, bool started, const QString& reason) {
    EditorReport r;
    r.ok = ok;
    if (ok) {
        r.status = successStatus;
        return r;
    }
    r.status = failureStatus;
    QString why = reason.trimmed();
    if (why.isEmpty())
        why = started ? QStringLiteral("The registry editor ended with status %1").arg(exitCode)
                      : QStringLiteral("The registry editor could not be started");
    r.message = failureSentence + kFiveBlanks + QStringLiteral("\r\n") + why + kFiveBlanks;
    return r;
}

// The backup files of folder as the list shows them: ordinary files whose name ends in ".reg",
// any letter case. No QDir::Hidden and no QDir::System: those files are not backups to offer.
QStringList listedFiles(const QString& folder) {
    QStringList files;
    for (const QString& file : QDir(folder).entryList({QStringLiteral("*.reg")}, QDir::Files, QDir::NoSort))
        if (file.size() > 4 && file.endsWith(QStringLiteral(".reg"), Qt::CaseInsensitive))
            files.append(file);
    return files;
}

QString quoted(const QString& argument, bool always) {
    return QString::fromStdString(platform::quoteArgument(argument.toStdString(), always));
}

}  // namespace

QStringList backupNames(const QString& folder) {
    QStringList names;
    for (const QString& file : listedFiles(folder))
        names.append(file.chopped(4));
    return names;
}

bool FileExist(const QString& name) {
    if (name.isEmpty())
        return false;
    const QFileInfo info(name);
    return info.exists() && info.isFile();
}

QString backupFileName(const QString& folder, const QString& backupName) {
    const QString exact = backupName + QStringLiteral(".reg");
    if (QFileInfo(QDir(folder).filePath(exact)).isFile())
        return exact;
    for (const QString& file : listedFiles(folder))
        if (file.chopped(4) == backupName)
            return file;
    return {};
}

std::optional<NameRefusal> checkBackupName(const QString& name) { return commonRefusal(name); }

QString exportCommandLine(const QString& winDir, const QString& name, const QString& root,
                          const QString& keyPath) {
    return winDir + QStringLiteral("\\regedit /e ") + quoted(name + root + QStringLiteral(".reg"), false) +
           QChar(' ') + quoted(keyPath, true);
}

QString importCommandLine(const QString& winDir, const QString& fileName) {
    return winDir + QStringLiteral("\\regedit.exe /s ") + quoted(fileName, false);
}

bool deleteBackup(const QString& folder, const QString& backupName, QString* error) {
    const QString fileName = backupFileName(folder, backupName);
    QFile file(QDir(folder).filePath(fileName.isEmpty() ? backupName + QStringLiteral(".reg") : fileName));
    if (fileName.isEmpty()) {
        if (error)
            *error = QStringLiteral("The file %1 no longer exists").arg(QDir::toNativeSeparators(file.fileName()));
        return false;
    }
    if (file.remove())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

int checkedEditorStatus(int exitCode, QString& reason, bool wineEditor, const QString& exportFile,
                        const QDateTime& writtenBefore) {
    if (exitCode != 0)
        return exitCode;
    if (wineEditor && !reason.trimmed().isEmpty())
        return 1;
    if (!exportFile.isEmpty()) {
        const QFileInfo info(exportFile);
        if (!info.isFile() || info.size() == 0 || (writtenBefore.isValid() && info.lastModified() <= writtenBefore)) {
            reason = QStringLiteral("The registry editor wrote nothing to ") + info.fileName();
            return 1;
        }
    }
    return 0;
}

EditorReport exportReport(const QString& name, bool started, int exitCode, const QString& reason) {
    return report(started && exitCode == 0, name + QStringLiteral(" backup has been created"),
                  QStringLiteral("Backup file ") + name + QStringLiteral(" could not be created"),
                  QStringLiteral("The registry editor could not create the backup ") + name, exitCode, started,
                  reason);
}

EditorReport importReport(const QString& name, bool started, int exitCode, const QString& reason) {
    return report(started && exitCode == 0, name + QStringLiteral(" has been restored"),
                  QStringLiteral("Backup file ") + name + QStringLiteral(" could not be restored"),
                  QStringLiteral("The registry editor could not restore the backup ") + name, exitCode, started,
                  reason);
}

}  // namespace karvo::backup
