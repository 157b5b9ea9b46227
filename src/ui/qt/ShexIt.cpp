#include "ui/qt/ShexIt.h"

#include "platform/CommandLine.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QString>
#include <QUrl>
#include <QWidget>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace karvo::platform {

namespace {

// Results as the Windows shell gives them.
constexpr long kOpened = 42;
constexpr long kFileNotFound = 2;
constexpr long kNoAssociation = 31;

UrlOpener& opener() {
    static UrlOpener current;
    return current;
}

bool openThroughDesktop(const QUrl& url) {
    if (const UrlOpener& custom = opener())
        return custom(url.toString(QUrl::FullyEncoded).toStdString());
    return QDesktopServices::openUrl(url);
}

bool sameText(const std::string& a, const char* b) {
    return QString::fromStdString(a).compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

bool isAddress(const QString& file) {
    static const char* const schemes[] = {"http:", "https:", "mailto:", "ftp:", "file:"};
    for (const char* scheme : schemes)
        if (file.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    return false;
}

#ifndef _WIN32
// Whether the desktop names a program for .chm files, under any of the type's names.
bool desktopOpensChm() {
    const QMimeType type = QMimeDatabase().mimeTypeForName(QStringLiteral("application/vnd.ms-htmlhelp"));
    QStringList names = type.aliases();
    names.prepend(type.isValid() ? type.name() : QStringLiteral("application/vnd.ms-htmlhelp"));
    for (const QString& name : names) {
        QProcess query;
        query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), name});
        if (!query.waitForFinished(5000)) {
            query.kill();
            query.waitForFinished();
            continue;
        }
        if (query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty())
            return true;
    }
    return false;
}
#endif

}  // namespace

std::string documentToOpen(const std::string& file, const std::function<bool()>& chmViewerFound) {
    const QFileInfo info(QString::fromStdString(file));
    if (info.suffix().compare(QLatin1String("chm"), Qt::CaseInsensitive) != 0)
        return file;
    const QFileInfo real(info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath());
    const QFileInfo copy(real.dir().filePath(real.completeBaseName() + QLatin1String("-html/index.html")));
    if (!copy.isFile() || chmViewerFound())
        return file;
    return copy.absoluteFilePath().toStdString();
}

void setUrlOpener(UrlOpener custom) { opener() = std::move(custom); }

#ifdef _WIN32

long ShellExecuteA(QWidget* owner, const std::string& operation, const std::string& file,
                   const std::string& parameters, const std::string& directory, int showCmd) {
    HWND window = owner ? reinterpret_cast<HWND>(owner->winId()) : nullptr;
    HINSTANCE result = ::ShellExecuteA(window, operation.c_str(), file.c_str(),
                                       parameters.empty() ? nullptr : parameters.c_str(),
                                       directory.empty() ? nullptr : directory.c_str(), showCmd);
    return static_cast<long>(reinterpret_cast<INT_PTR>(result));
}

#else

long ShellExecuteA(QWidget* /*owner*/, const std::string& operation, const std::string& file,
                   const std::string& parameters, const std::string& directory, int /*showCmd*/) {
    if (!operation.empty() && !sameText(operation, "open"))
        return kNoAssociation;
    const QString target = QString::fromStdString(file);
    if (isAddress(target))
        return openThroughDesktop(QUrl(target)) ? kOpened : kNoAssociation;

    const std::string local = resolvePath(file);
    if (local.empty()) {
        // "regedit" for "Regedit.exe": the program may be named without its extension here.
        const std::string program = resolveProgram(file);
        if (program.empty())
            return kFileNotFound;
        return ShellExecuteA(nullptr, operation, program, parameters, directory, SW_SHOWNORMAL_);
    }
    const QFileInfo info(QString::fromStdString(local));
    if (info.isFile() && info.isExecutable()) {
        ResolvedCommand command{info.absoluteFilePath().toStdString(), splitArguments(parameters), {}};
        // A program of a Wine prefix runs under wine.
        if (auto wine = wineCommand(file, local, command.arguments))
            command = std::move(*wine);
        QProcess process;
        process.setProgram(QString::fromStdString(command.program));
        QStringList arguments;
        for (const std::string& a : command.arguments)
            arguments << QString::fromStdString(a);
        process.setArguments(arguments);
        if (!command.environment.empty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const auto& [name, value] : command.environment)
                env.insert(QString::fromStdString(name), QString::fromStdString(value));
            process.setProcessEnvironment(env);
        }
        process.setWorkingDirectory(directory.empty() ? QDir::currentPath()
                                                      : QString::fromStdString(resolvePath(directory)));
        return process.startDetached() ? kOpened : kFileNotFound;
    }
    const std::string document = documentToOpen(info.absoluteFilePath().toStdString(), desktopOpensChm);
    return openThroughDesktop(QUrl::fromLocalFile(QString::fromStdString(document))) ? kOpened : kNoAssociation;
}

#endif

}  // namespace karvo::platform
