// The process's own registry and where the user's store lives.

#include "registry/RegistryBackends.h"
#include "registry/RegistryService.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
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
    std::filesystem::path file;
    if (const std::string explicitPath = envOrEmpty("KARVO_REGISTRY"); !explicitPath.empty()) {
        file = explicitPath;
    } else {
        std::filesystem::path data(envOrEmpty("XDG_DATA_HOME"));
        // Relative values of XDG_DATA_HOME are to be ignored.
        if (data.empty() || !data.is_absolute())
            data = homeFolder() / ".local" / "share";
        file = data / "karvo" / "registry.db";
    }
    std::error_code ec;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), ec);
    return file.string();
}

RegistryService& systemRegistry() {
#ifdef _WIN32
    static const std::unique_ptr<RegistryService> registry = detail::makeWin32Registry();
#else
    static const std::unique_ptr<RegistryService> registry = openStore(defaultStorePath());
#endif
    return *registry;
}

}  // namespace karvo::reg
