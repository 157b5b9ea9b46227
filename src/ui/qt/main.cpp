// karvo: backs up and restores single registry keys.
#include "ui/qt/frmRegEdit.h"
#include "platform/GetWin.h"
#include "ui/qt/MsgBox.h"
#include "regfile/DefaultRegistry.h"
#include "registry/RegistryService.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (!karvo::platform::displayAvailable()) {
        std::fputs("karvo: no display to show the window on (set DISPLAY or WAYLAND_DISPLAY, "
                   "or QT_QPA_PLATFORM=offscreen)\n",
                   stderr);
        return 1;
    }
    // A new registry store starts as a fresh installation would.
    karvo::regfile::installDefaultRegistry();

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("karvo"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("karvo")));
    const QString title = QStringLiteral("Karvo Backup");
    // A registry that cannot be used (Wine missing, no such prefix) is said before anything is read.
    if (const std::string problem = karvo::reg::registryProblem(); !problem.empty()) {
        karvo::platform::MsgBox(nullptr, QString::fromStdString(problem) + QStringLiteral("     "),
                                karvo::platform::vbOKOnly, title);
        return 1;
    }
    // One that is lost later says so once, in a box shown between events, never in the middle of a
    // registry call.
    karvo::reg::setRegistryFailureHandler([title](const std::string& message) {
        QMetaObject::invokeMethod(
            qApp,
            [title, text = QString::fromStdString(message)] {
                karvo::platform::MsgBox(QApplication::activeWindow(), text + QStringLiteral("     "),
                                        karvo::platform::vbOKOnly, title);
            },
            Qt::QueuedConnection);
    });
    // Backups, favourites and the editor's files are all named relative to the program folder.
    const std::string executableFolder = karvo::platform::programFolder();
    std::string programFolder = karvo::platform::userProgramFolder(executableFolder);
    if (!karvo::platform::prepareUserFolder(programFolder, executableFolder))
        programFolder = executableFolder;
    const QString folder = QString::fromStdString(programFolder);
    QDir::setCurrent(folder);

    frmRegEdit window(folder);
    QObject::connect(&window, &frmRegEdit::unloaded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.Form_Load();
    return app.exec();
}
