// The process's own registry and where the user's store lives.

#include "registry/RegistryBackends.h"
#include "registry/RegistryPipe.h"
#include "registry/RegistryService.h"
#include "registry/cRegistryPlatform.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <system_error>

#ifndef _WIN32
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

extern char** environ;
#endif

namespace karvo::reg {

namespace {

std::mutex& initializerMutex() {
    static std::mutex m;
    return m;
}

NewStoreInitializer& initializerSlot() {
    static NewStoreInitializer init;
    return init;
}

std::string envOrEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::filesystem::path homeFolder() {
    std::string home = envOrEmpty("HOME");
#ifndef _WIN32
    if (home.empty())
        if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
            home = pw->pw_dir;
#else
    if (home.empty())
        home = envOrEmpty("USERPROFILE");
#endif
    return home.empty() ? std::filesystem::current_path() : std::filesystem::path(home);
}

}  // namespace

namespace detail {

NewStoreInitializer newStoreInitializer() {
    std::lock_guard lock(initializerMutex());
    return initializerSlot();
}

}  // namespace detail

void setNewStoreInitializer(NewStoreInitializer init) {
    std::lock_guard lock(initializerMutex());
    initializerSlot() = std::move(init);
}

std::string defaultStorePath() {
    const RegistryChoice choice = registryChoice();
    // A Wine prefix has no store, and nothing may be created for it.
    std::filesystem::path file = choice.wine ? std::filesystem::path() : std::filesystem::path(choice.location);
    if (file.empty()) {
        std::filesystem::path data(envOrEmpty("XDG_DATA_HOME"));
        // Relative values of XDG_DATA_HOME are to be ignored.
        if (data.empty() || !data.is_absolute())
            data = homeFolder() / ".local" / "share";
        file = data / "karvo" / "registry.db";
    }
    std::error_code ec;
    if (!choice.wine && file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), ec);
    return file.string();
}

RegistryChoice registryChoice() {
    RegistryChoice choice;
    const std::string value = envOrEmpty("KARVO_REGISTRY");
#ifndef _WIN32
    const std::string_view v(value);
    if (v == "wine" || v.substr(0, 5) == "wine:") {
        choice.wine = true;
        std::string prefix = v.size() > 5 ? value.substr(5) : std::string();
        if (prefix.empty())
            prefix = envOrEmpty("WINEPREFIX");
        std::filesystem::path folder = prefix.empty() ? homeFolder() / ".wine" : std::filesystem::path(prefix);
        // Wine wants an absolute prefix; the program changes its working folder at start-up.
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
        choice.location = (ec ? folder : absolute).lexically_normal().string();
        while (choice.location.size() > 1 && choice.location.back() == '/')
            choice.location.pop_back();
        return choice;
    }
#endif
    choice.location = value;
    return choice;
}

namespace {

std::mutex& failureMutex() {
    static std::mutex m;
    return m;
}

RegistryFailureHandler& failureSlot() {
    static RegistryFailureHandler handler;
    return handler;
}

#ifndef _WIN32

std::string programFolderOfThisProcess() {
    return std::filesystem::path(platform::executablePath()).parent_path().string();
}

// A program in $PATH, as the shell would find it; "" when there is none.
std::string findInPath(const std::string& name) {
    const std::string path = envOrEmpty("PATH");
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        const std::filesystem::path candidate =
            std::filesystem::path(end > start ? path.substr(start, end - start) : ".") / name;
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        start = end + 1;
    }
    return {};
}

// The Windows program that serves a prefix's registry: $KARVO_WINE_HELPER, else reghelper.exe
// in the Windows folder beside the program.
std::string wineHelperPath() {
    if (std::string over = envOrEmpty("KARVO_WINE_HELPER"); !over.empty())
        return over;
    const std::string folder = programFolderOfThisProcess();
    return folder.empty() ? std::string() : (std::filesystem::path(folder) / "windows" / "reghelper.exe").string();
}

std::string prefixName(const RegistryChoice& choice) { return "the Wine prefix " + choice.location; }

// "wineboot -i" returns before the prefix's wineserver has written its registry files. A folder
// that Wine has begun to set up (it made dosdevices/ first) without them yet is waited for until
// that wineserver ends, at most a minute; any other folder is left as it is and judged at once.
void waitForPrefixSetUp(const std::filesystem::path& prefix) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(prefix / "system.reg", ec) ||
        !std::filesystem::is_directory(prefix / "dosdevices", ec) || findInPath("wineserver").empty())
        return;
    std::vector<std::string> environment{"WINEPREFIX=" + prefix.string()};
    for (char** e = environ; e && *e; ++e)
        if (std::string_view(*e).substr(0, 11) != "WINEPREFIX=")
            environment.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char program[] = "wineserver";
    char wait[] = "-w";
    char* argv[] = {program, wait, nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, envp.data()) != 0)
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// Why the prefix cannot be served, or "" when it can.
std::string wineProblem(const RegistryChoice& choice) {
    std::error_code ec;
    if (findInPath("wine").empty())
        return "Wine is not installed (there is no \"wine\" program in PATH)";
    const std::filesystem::path prefix(choice.location);
    if (!std::filesystem::exists(prefix, ec))
        return "the folder does not exist";
    waitForPrefixSetUp(prefix);
    if (!std::filesystem::is_directory(prefix, ec) || !std::filesystem::is_regular_file(prefix / "system.reg", ec))
        return "the folder is not a Wine prefix (it has no system.reg)";
    const std::string helper = wineHelperPath();
    if (helper.empty() || !std::filesystem::is_regular_file(helper, ec))
        return "its helper program " + (helper.empty() ? std::string("reghelper.exe") : helper) +
               " is missing (scripts/run.sh builds it)";
    return {};
}

std::unique_ptr<RegistryService> openChosenRegistry() {
    const RegistryChoice choice = registryChoice();
    return choice.wine ? openWineRegistry(choice.location) : openStore(defaultStorePath());
}

#endif

}  // namespace

#ifndef _WIN32
std::unique_ptr<RegistryService> openWineRegistry(const std::string& prefix) {
    RegistryChoice choice;
    choice.wine = true;
    choice.location = prefix;
    HelperCommand command;
    command.what = prefixName(choice);
    command.problem = wineProblem(choice);
    command.argv = {"wine", wineHelperPath()};
    command.environment.emplace_back("WINEPREFIX", choice.location);
    // Wine's own diagnostics would bury our messages; a user who asks for them keeps them.
    if (envOrEmpty("WINEDEBUG").empty())
        command.environment.emplace_back("WINEDEBUG", "-all");
    return openHelperRegistry(command);
}

std::string unreachableMessage(const std::string& what, const std::string& why) {
    return "The registry of " + what + " cannot be reached: " + why + ".";
}
#endif

std::string registryProblem() {
#ifndef _WIN32
    const RegistryChoice choice = registryChoice();
    if (choice.wine)
        if (const std::string why = wineProblem(choice); !why.empty())
            return unreachableMessage(prefixName(choice), why);
#endif
    return {};
}

void setRegistryFailureHandler(RegistryFailureHandler handler) {
    std::lock_guard lock(failureMutex());
    failureSlot() = std::move(handler);
}

void reportRegistryFailure(const std::string& message) {
    RegistryFailureHandler handler;
    {
        std::lock_guard lock(failureMutex());
        handler = failureSlot();
    }
    if (handler) {
        handler(message);
        return;
    }
    const std::string program = platform::programBaseName();
    std::fprintf(stderr, "%s%s%s\n", program.c_str(), program.empty() ? "" : ": ", message.c_str());
    std::fflush(stderr);
}

RegistryService& systemRegistry() {
#ifdef _WIN32
    static const std::unique_ptr<RegistryService> registry = detail::makeWin32Registry();
#else
    static const std::unique_ptr<RegistryService> registry = openChosenRegistry();
#endif
    return *registry;
}

}  // namespace karvo::reg
