#include "ui/qt/Launcher.h"

#include "platform/CommandLine.h"

#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QStringList>

#ifdef _WIN32
#include <windows.h>
#endif

namespace karvo::platform {

namespace {

QStringList toQt(const std::vector<std::string>& arguments) {
    QStringList list;
    for (const std::string& a : arguments)
        list << QString::fromStdString(a);
    return list;
}

// The program's own variables (a Wine prefix) on top of ours.
void setEnvironment(QProcess& process, const std::vector<std::pair<std::string, std::string>>& variables) {
    if (variables.empty())
        return;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : variables)
        env.insert(QString::fromStdString(name), QString::fromStdString(value));
    process.setProcessEnvironment(env);
}

}  // namespace

#ifdef _WIN32

std::int64_t StartProcess(const std::string& commandLine, int windowStyle) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(windowStyle == kStyleMinimizedFocus ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
    PROCESS_INFORMATION pi{};
    std::string line = commandLine;  // CreateProcessA may write into its command line
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return static_cast<std::int64_t>(pi.dwProcessId);
}

#else

// Window styles have no meaning for the programs we start here; the desktop places their windows.
std::int64_t StartProcess(const std::string& commandLine, int /*windowStyle*/) {
    const auto resolved = resolveCommandLine(commandLine);
    if (!resolved)
        return 0;
    qint64 pid = 0;
    QProcess process;
    process.setProgram(QString::fromStdString(resolved->program));
    process.setArguments(toQt(resolved->arguments));
    setEnvironment(process, resolved->environment);
    // The program folder is the working folder (karvo makes it so at start-up), and programs such
    // as the registry editor read and write their files there.
    process.setWorkingDirectory(QDir::currentPath());
    if (!process.startDetached(&pid))
        return 0;
    return static_cast<std::int64_t>(pid);
}

#endif

void RunProcess(const std::string& commandLine, int /*windowStyle*/, QObject* context,
                std::function<void(const ProcessOutcome&)> done) {
    auto failLater = [context, done](std::string why) {
        if (!context)
            return;
        QMetaObject::invokeMethod(
            context,
            [done, why = std::move(why)] {
                ProcessOutcome outcome;
                outcome.errorText = why;
                if (done)
                    done(outcome);
            },
            Qt::QueuedConnection);
    };

#ifdef _WIN32
    const std::vector<std::string> parts = splitArguments(commandLine);
    if (parts.empty()) {
        failLater("empty command line");
        return;
    }
    const std::string program = parts.front();
    const std::vector<std::string> arguments(parts.begin() + 1, parts.end());
#else
    const auto resolved = resolveCommandLine(commandLine);
    if (!resolved) {
        failLater("program not found: " + commandLine);
        return;
    }
    const std::string program = resolved->program;
    const std::vector<std::string> arguments = resolved->arguments;
    const auto environment = resolved->environment;
#endif

    // Not a child of context: a closing window must not kill a program it started. The process
    // object removes itself once the program has ended or failed to start.
    auto* process = new QProcess;
    process->setProgram(QString::fromStdString(program));
    process->setArguments(toQt(arguments));
#ifndef _WIN32
    setEnvironment(*process, environment);
#endif
    process->setWorkingDirectory(QDir::currentPath());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardInputFile(QProcess::nullDevice());

    QPointer<QObject> guard(context);
    QObject::connect(process, &QProcess::finished, process,
                     [process, guard, done](int exitCode, QProcess::ExitStatus status) {
                         ProcessOutcome outcome;
                         outcome.started = true;
                         outcome.exitCode = status == QProcess::NormalExit ? exitCode : -1;
                         outcome.errorText =
                             QString::fromLocal8Bit(process->readAllStandardError()).trimmed().toStdString();
                         process->deleteLater();
                         if (!guard || !done)
                             return;
                         // Deliver on the context's thread, and not at all if it goes meanwhile.
                         QMetaObject::invokeMethod(
                             guard.data(), [done, outcome] { done(outcome); }, Qt::AutoConnection);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, guard, done](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;  // a crash still ends in finished()
                         ProcessOutcome outcome;
                         outcome.errorText = process->errorString().toStdString();
                         process->deleteLater();
                         if (!guard || !done)
                             return;
                         // Queued: start() may report this before RunProcess has returned.
                         QMetaObject::invokeMethod(
                             guard.data(), [done, outcome] { done(outcome); }, Qt::QueuedConnection);
                     });
    process->start();
}

}  // namespace karvo::platform
