// The registry behind a helper process when the helper is not there or goes away, and the choice
// of a Wine prefix through $KARVO_REGISTRY. The calls themselves are checked by running every
// registry suite through the helper (KARVO_TEST_BACKEND=helper).
#ifndef _WIN32

#include "TestSupport.h"
#include "registry/RegistryPipe.h"
#include "registry/RegistryService.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace karvo::test {
namespace {

using namespace karvo::reg;

// Collects what the registry would tell the user.
struct Messages {
    Messages() {
        setRegistryFailureHandler([this](const std::string& m) { said.push_back(m); });
    }
    ~Messages() { setRegistryFailureHandler(nullptr); }
    std::vector<std::string> said;
};

void expectEveryCallFails(RegistryService& reg) {
    HKey h = 0;
    EXPECT_EQ(reg.RegOpenKeyExA(kHkeyCurrentUser, "Software", 0, kKeyRead, &h), kErrorCantOpen);
    EXPECT_EQ(h, 0u);
    char name[256];
    EXPECT_EQ(reg.RegEnumKeyA(kHkeyCurrentUser, 0, name, sizeof name), kErrorCantOpen);
    EXPECT_EQ(reg.RegSetValueExA(kHkeyCurrentUser, "v", 0, kRegSz, reinterpret_cast<const std::uint8_t*>(""), 1),
              kErrorCantOpen);
    std::string path;
    EXPECT_FALSE(reg.KeyPath(kHkeyCurrentUser, path));
}

TEST(HelperRegistry, AHelperThatDiesTurnsEveryCallIntoOneMessageAndFailures) {
    TempDir dir;
    Messages messages;
    const std::string pidFile = (dir / "pid").string();
    HelperCommand command;
    command.argv = {"/bin/sh", "-c", "echo $$ > \"$0\"; exec \"$1\" \"$2\"", pidFile,
                    (binaryDir() / "windows" / "reghelper").string(), (dir / "reg.db").string()};
    command.what = "the test store";
    auto reg = openHelperRegistry(command);
    HKey h = 0;
    ASSERT_EQ(reg->RegCreateKeyExA(kHkeyCurrentUser, "Software\\Kept", 0, "", 0, kKeyAllAccess, nullptr, &h, nullptr),
              kErrorSuccess);
    EXPECT_EQ(reg->RegCloseKey(h), kErrorSuccess);

    int pid = 0;
    std::ifstream(pidFile) >> pid;
    ASSERT_GT(pid, 0);
    ::kill(pid, SIGKILL);
    expectEveryCallFails(*reg);
    ASSERT_EQ(messages.said.size(), 1u);
    EXPECT_EQ(messages.said[0], "The registry of the test store cannot be reached: its helper program stopped.");
}

TEST(HelperRegistry, AHelperThatCannotStartFailsEveryCallWithOneMessage) {
    Messages messages;
    HelperCommand command;
    command.argv = {"/nonexistent/reghelper"};
    command.what = "the test store";
    auto reg = openHelperRegistry(command);
    expectEveryCallFails(*reg);
    ASSERT_EQ(messages.said.size(), 1u);
    EXPECT_NE(messages.said[0].find("could not be started"), std::string::npos) << messages.said[0];
}

TEST(RegistryChoice, WinePrefixesAreCheckedAndNeverCreated) {
    TempDir dir;
    std::filesystem::create_directories(dir / "bin");
    std::filesystem::create_directories(dir / "notaprefix");
    std::filesystem::create_directories(dir / "prefix");
    writeFile(dir / "prefix" / "system.reg", "WINE REGISTRY Version 2\n");
    writeFile(dir / "bin" / "wine", "#!/bin/sh\n");
    std::filesystem::permissions(dir / "bin" / "wine", std::filesystem::perms::owner_all);
    ScopedEnv home("HOME", (dir / "home").string());
    ScopedEnv helper("KARVO_WINE_HELPER", (dir / "prefix" / "system.reg").string());  // any file will do here

    struct Case {
        std::string registry, winePrefix, path;
        bool wine;
        std::string location, problem;  // problem: part of the message, "" for none
    };
    const std::string d = dir.str();
    const std::vector<Case> cases = {
        {d + "/store.db", "", d + "/bin", false, d + "/store.db", ""},
        {"wine:" + d + "/prefix/", "", d + "/bin", true, d + "/prefix", ""},
        {"wine", d + "/prefix", d + "/bin", true, d + "/prefix", ""},
        {"wine", "", d + "/bin", true, d + "/home/.wine", "the folder does not exist"},
        {"wine:" + d + "/missing", "", d + "/bin", true, d + "/missing", "the folder does not exist"},
        {"wine:" + d + "/notaprefix", "", d + "/bin", true, d + "/notaprefix", "is not a Wine prefix"},
        {"wine:" + d + "/prefix", "", d + "/nowhere", true, d + "/prefix", "Wine is not installed"},
    };
    for (const Case& c : cases) {
        ScopedEnv registry("KARVO_REGISTRY", c.registry);
        ScopedEnv prefix("WINEPREFIX", c.winePrefix);
        ScopedEnv path("PATH", c.path);
        const RegistryChoice choice = registryChoice();
        EXPECT_EQ(choice.wine, c.wine) << c.registry;
        EXPECT_EQ(choice.location, c.location) << c.registry;
        const std::string problem = registryProblem();
        if (c.problem.empty())
            EXPECT_EQ(problem, "") << c.registry;
        else
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.registry << ": " << problem;
    }
    // Looking created nothing: no prefix, no store folder.
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    EXPECT_FALSE(std::filesystem::exists(dir / "home"));
}

}  // namespace
}  // namespace karvo::test

#endif  // !_WIN32
