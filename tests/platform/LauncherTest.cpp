#include "platform/Launcher.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>

namespace fs = std::filesystem;
using karvo::platform::ProcessOutcome;
using karvo::platform::RunProcess;
using karvo::platform::StartProcess;

namespace {

// The program folder of a test: its own temporary folder, made the working folder as karvo does,
// with a Windows folder that holds a script standing in for a system program.
class LauncherFixture : public ::testing::Test {
protected:
    karvo::test::TempDir tmp;
    fs::path windir = tmp / "windows";
    karvo::test::ScopedEnv env{"KARVO_WINDIR", windir.string()};
    fs::path oldCwd = fs::current_path();

    void SetUp() override {
        fs::create_directories(windir);
        fs::current_path(tmp.path());
        // Writes its working folder into the file named first, stderr text, then exits as told.
        script("Helper", "#!/bin/sh\npwd > \"$1\"\necho \"  $2  \" >&2\nexit \"$3\"\n");
    }
    void TearDown() override {
        fs::current_path(oldCwd);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void script(const std::string& name, const std::string& text) {
        karvo::test::writeFile(windir / name, text);
        fs::permissions(windir / name, fs::perms::owner_all, fs::perm_options::add);
    }
    // Lets events run until the outcome arrives (or a generous limit passes, failing the test).
    static std::optional<ProcessOutcome> waitFor(const std::string& commandLine, QObject* context) {
        std::optional<ProcessOutcome> result;
        QEventLoop loop;
        RunProcess(commandLine, karvo::platform::kStyleNormalFocus, context, [&](const ProcessOutcome& o) {
            result = o;
            loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        if (!result)
            loop.exec();
        return result;
    }
};

}  // namespace

TEST_F(LauncherFixture, StartProcessRunsInTheWorkingFolder) {
    const std::int64_t pid = StartProcess(R"(C:\WINDOWS\helper.exe where.txt hello 0)",
                                          karvo::platform::kStyleNormalFocus);
    EXPECT_GT(pid, 0);
    // The program runs on its own; wait for the file it writes.
    for (int i = 0; i < 300 && karvo::test::readFile(tmp / "where.txt").empty(); ++i)
        QThread::msleep(50);
    EXPECT_EQ(karvo::test::readFile(tmp / "where.txt"), tmp.str() + "\n");

    EXPECT_EQ(StartProcess(R"(C:\WINDOWS\absent.exe x)", karvo::platform::kStyleNormalFocus), 0);
    EXPECT_EQ(StartProcess("", karvo::platform::kStyleNormalFocus), 0);
}

TEST_F(LauncherFixture, RunProcessReportsExitStatusAndTrimmedErrorText) {
    QObject context;
    auto outcome = waitFor(R"(c:\windows\HELPER out.txt "bad thing" 3)", &context);
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->started);
    EXPECT_EQ(outcome->exitCode, 3);
    EXPECT_EQ(outcome->errorText, "bad thing");
    EXPECT_EQ(karvo::test::readFile(tmp / "out.txt"), tmp.str() + "\n");

    outcome = waitFor(R"(c:\windows\HELPER out.txt "" 0)", &context);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->exitCode, 0);
    EXPECT_EQ(outcome->errorText, "");
}

TEST_F(LauncherFixture, RunProcessFailuresAreReportedLater) {
    QObject context;
    bool calledAtOnce = false;
    RunProcess(R"(C:\WINDOWS\absent)", 1, &context, [&](const ProcessOutcome&) { calledAtOnce = true; });
    EXPECT_FALSE(calledAtOnce);  // queued, never from inside the call

    auto outcome = waitFor(R"(C:\WINDOWS\absent)", &context);
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->started);
    EXPECT_FALSE(outcome->errorText.empty());

    // Found but not runnable; also reported only later.
    karvo::test::writeFile(windir / "plain", "not a program");
    calledAtOnce = false;
    RunProcess(R"(C:\WINDOWS\plain)", 1, &context, [&](const ProcessOutcome&) { calledAtOnce = true; });
    EXPECT_FALSE(calledAtOnce);
    outcome = waitFor(R"(C:\WINDOWS\plain)", &context);
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->started);

    // A program killed by a signal has no exit status.
    script("crasher", "#!/bin/sh\nkill -9 $$\n");
    outcome = waitFor(R"(C:\WINDOWS\crasher)", &context);
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->started);
    EXPECT_EQ(outcome->exitCode, -1);
}

TEST_F(LauncherFixture, NothingIsCalledOnceTheContextIsGone) {
    int calls = 0;
    auto context = std::make_unique<QObject>();
    RunProcess(R"(C:\WINDOWS\absent)", 1, context.get(), [&](const ProcessOutcome&) { ++calls; });
    RunProcess(R"(C:\WINDOWS\helper first.txt x 0)", 1, context.get(), [&](const ProcessOutcome&) { ++calls; });
    context.reset();
    // A second program that ends well after the first, so both reports have fallen due.
    script("waiter", "#!/bin/sh\nwhile [ ! -s first.txt ]; do sleep 0.05; done\nsleep 0.2\n");
    QObject other;
    ASSERT_TRUE(waitFor(R"(C:\WINDOWS\waiter)", &other));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
}

TEST_F(LauncherFixture, SystemInformationToolReportsTheStoreInUse) {
    karvo::test::ScopedEnv store("KARVO_REGISTRY", (tmp / "registry.db").string());
    const std::string tool = (karvo::test::binaryDir() / "windows" / "msinfo32").string();
    QProcess run;
    run.start(QString::fromStdString(tool), {"/console"});
    ASSERT_TRUE(run.waitForFinished(30000));
    const QString text = QString::fromUtf8(run.readAllStandardOutput());
    EXPECT_TRUE(text.contains("Operating system:"));
    EXPECT_TRUE(text.contains(QString::fromStdString((tmp / "registry.db").string())));
}
