#include "ui/qt/Launcher.h"

#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <memory>
#include <optional>
#include <tuple>

using karvo::platform::kStyleNormalFocus;
using karvo::platform::ProcessOutcome;
using karvo::platform::RunProcess;
using karvo::platform::StartProcess;

namespace {

class Launcher : public karvo::test::ProgramFolder {
protected:
    void SetUp() override {
        // Writes its working folder into the file named first, stderr text, then exits as told.
        program("Helper", "#!/bin/sh\npwd > \"$1\"\necho \"  $2  \" >&2\nexit \"$3\"\n");
    }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    // Lets events run until the outcome arrives (or a generous limit passes, failing the test); the
    // outcome never comes from inside the call.
    static std::optional<ProcessOutcome> waitFor(const std::string& commandLine, QObject* context) {
        std::optional<ProcessOutcome> result;
        QEventLoop loop;
        bool inCall = true;
        RunProcess(commandLine, kStyleNormalFocus, context, [&](const ProcessOutcome& o) {
            EXPECT_FALSE(inCall) << commandLine;
            result = o, loop.quit();
        });
        inCall = false;
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        return result ? result : (loop.exec(), result);
    }
};

}  // namespace

TEST_F(Launcher, ProgramsRunInTheWorkingFolderAndReportStartExitStatusAndTrimmedErrorTextLater) {
    EXPECT_GT(StartProcess(R"(C:\WINDOWS\helper.exe where.txt hello 0)", kStyleNormalFocus), 0);
    EXPECT_EQ(written("where.txt"), tmp.str() + "\n");  // the program runs on its own
    EXPECT_EQ(StartProcess(R"(C:\WINDOWS\absent.exe x)", kStyleNormalFocus) + StartProcess("", kStyleNormalFocus), 0);
    karvo::test::writeFile(windir / "plain", "not a program");
    program("crasher", "#!/bin/sh\nkill -9 $$\n");  // killed by a signal: no exit status
    // The line, whether it started, its exit code, its error text ("?": some reason; nullptr: not looked at).
    for (const auto& [line, started, exitCode, errorText] :
         {std::tuple<const char*, bool, int, const char*>{R"(c:\windows\HELPER out.txt "bad thing" 3)", true, 3, "bad thing"},
          {R"(c:\windows\HELPER out.txt "" 0)", true, 0, ""}, {R"(C:\WINDOWS\absent)", false, -1, "?"},
          {R"(C:\WINDOWS\plain)", false, -1, nullptr}, {R"(C:\WINDOWS\crasher)", true, -1, nullptr}}) {
        QObject context;
        const auto outcome = waitFor(line, &context);
        ASSERT_TRUE(outcome) << line;
        EXPECT_EQ(std::make_pair(outcome->started, outcome->exitCode), std::make_pair(started, exitCode)) << line;
        const std::string want = errorText ? errorText : outcome->errorText;
        EXPECT_TRUE(want == "?" ? !outcome->errorText.empty() : outcome->errorText == want) << outcome->errorText;
    }
    EXPECT_EQ(karvo::test::readFile(tmp / "out.txt"), tmp.str() + "\n");
}

TEST_F(Launcher, NothingIsCalledOnceTheContextIsGone) {
    int calls = 0;
    auto context = std::make_unique<QObject>();
    RunProcess(R"(C:\WINDOWS\absent)", 1, context.get(), [&](const ProcessOutcome&) { ++calls; });
    RunProcess(R"(C:\WINDOWS\helper first.txt x 0)", 1, context.get(), [&](const ProcessOutcome&) { ++calls; });
    context.reset();
    // A second program that ends well after the first, so both reports have fallen due.
    program("waiter", "#!/bin/sh\nfor i in $(seq 200); do [ -s first.txt ] && break; sleep 0.05; done\nsleep 0.2\n");
    QObject other;
    ASSERT_TRUE(waitFor(R"(C:\WINDOWS\waiter)", &other));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
}

TEST_F(Launcher, SystemInformationToolReportsTheStoreInUse) {
    karvo::test::ScopedEnv store("KARVO_REGISTRY", (tmp / "registry.db").string());
    // Its size counts the write-ahead log too.
    karvo::test::writeFile(tmp / "registry.db", std::string(1024, 'x'));
    karvo::test::writeFile(tmp / "registry.db-wal", std::string(2 << 20, 'x'));
    QProcess run;
    run.start(QString::fromStdString((karvo::test::binaryDir() / "windows" / "msinfo32").string()), {"/console"});
    ASSERT_TRUE(run.waitForFinished(30000));
    const QString text = QString::fromUtf8(run.readAllStandardOutput());
    EXPECT_TRUE(text.contains("Operating system:") && text.contains(QString::fromStdString((tmp / "registry.db").string())));
    EXPECT_TRUE(text.contains("Registry store size: 2.0 MB")) << text.toStdString();
}
