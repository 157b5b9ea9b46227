// The process launcher: starts a Windows-style command line and returns at once.
#pragma once

#include "platform/Desktop.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

namespace karvo::platform {

// Starts commandLine (split by the Windows rules, the program resolved as Windows would) in the
// program folder. Returns the process id, or 0 when the program cannot be found or started.
std::int64_t StartProcess(const std::string& commandLine, int windowStyle);

// Starts commandLine like StartProcess and, without blocking the caller's event loop, calls done
// on context's thread once the program has ended (or at once, queued, when it could not start).
// Nothing is called when context is destroyed first.
void RunProcess(const std::string& commandLine, int windowStyle, QObject* context,
                std::function<void(const ProcessOutcome&)> done);

}  // namespace karvo::platform
