// The registry over a pipe: a helper process answers every call of the registry service from
// its own back end. Under Wine the helper is a Windows program over advapi32, so the program
// sees a Wine prefix's registry live, with Wine's own semantics.
#pragma once

#include "registry/RegistryService.h"

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace karvo::reg {

// The helper's side: answers the requests read from `in` with service's results written to `out`
// until `in` ends (0) or the stream breaks (1).
int serveRegistry(RegistryService& service, std::FILE* in, std::FILE* out);

#ifndef _WIN32

// How to start a helper: the program and its arguments (the program is looked up in $PATH when it
// has no "/"), and environment variables to set for it only.
struct HelperCommand {
    std::vector<std::string> argv;
    std::vector<std::pair<std::string, std::string>> environment;
    // Names the registry in messages, e.g. "the Wine prefix /home/ann/.wine".
    std::string what;
    // Set when it is known beforehand that the helper cannot serve: nothing is started, and
    // this is the reason given.
    std::string problem;
};

// The registry of a Wine prefix, served by reghelper.exe run under wine ($KARVO_WINE_HELPER, else
// the Windows folder beside the program). Checked first as registryProblem() checks it.
std::unique_ptr<RegistryService> openWineRegistry(const std::string& prefix);

// "The registry of WHAT cannot be reached: WHY."
std::string unreachableMessage(const std::string& what, const std::string& why);

// Starts the helper and returns a service that forwards every call to it. Never null: when the
// helper cannot be started, or dies later, every call fails (kErrorCantOpen) and the failure is
// reported once through reportRegistryFailure.
std::unique_ptr<RegistryService> openHelperRegistry(const HelperCommand& command);

#endif

}  // namespace karvo::reg
