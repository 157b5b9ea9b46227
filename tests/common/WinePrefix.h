// The throw-away Wine prefix of a test run ($KARVO_TEST_WINEPREFIX, made by scripts/test.sh
// --windows), for the tests of the program on a Wine prefix; never the user's own.
#pragma once

#include "TestSupport.h"
#include "registry/RegistryService.h"

#include <cstdlib>
#include <string>

namespace karvo::test {

inline std::string testWinePrefix() {
    const char* prefix = std::getenv("KARVO_TEST_WINEPREFIX");
    return prefix ? prefix : "";
}

// Why the program cannot be tried on the run's prefix here, or "": wine is installed, a prefix is
// given, and the program's own checks of it (a real prefix, reghelper.exe built) pass.
inline std::string winePrefixMissing() {
    if (std::system("command -v wine >/dev/null 2>&1") != 0)
        return "wine is not installed (scripts/test.sh --windows installs it)";
    if (testWinePrefix().empty())
        return "no throw-away Wine prefix given (scripts/test.sh --windows makes one)";
    ScopedEnv choice("KARVO_REGISTRY", "wine:" + testWinePrefix());
    return reg::registryProblem();
}

}  // namespace karvo::test
