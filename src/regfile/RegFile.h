// The .reg reader and writer: the registry editor's file format, standard library only.
#pragma once

#include "registry/RegistryService.h"

#include <functional>
#include <ostream>
#include <string>
#include <string_view>

namespace karvo::regfile {

enum class Format {
    Unicode5,  // "Windows Registry Editor Version 5.00", UTF-16LE with BOM
    Regedit4,  // "REGEDIT4", 8-bit (UTF-8 here)
};

struct Result {
    bool ok = true;
    std::string message;  // one line for standard error when !ok
};

// Writes keyPath (a full root name, letter case ignored, optionally followed by "\" and a path;
// "" = the whole registry) with its whole sub-tree. When the key does not exist, or the root is
// unknown, nothing is written and the file is not touched.
Result exportRegFile(reg::RegistryService& service, const std::string& file, const std::string& keyPath,
                     Format format);
// The same into any stream (tests, benchmarks).
Result exportRegistry(reg::RegistryService& service, const std::string& keyPath, Format format,
                      std::ostream& out);

// Reads the file once, checking every line, and applies what it checked in one batch: on failure
// nothing has changed and the message names the file, the line number and the problem.
Result importRegFile(reg::RegistryService& service, const std::string& file);
// The same for bytes in memory; name stands for the file in messages.
Result importRegBytes(reg::RegistryService& service, std::string_view bytes, const std::string& name);
// Validation alone: no registry is touched.
Result validateRegBytes(std::string_view bytes, const std::string& name);

// For tests: called whenever an import has read its file to the end.
void setFileEndHook(std::function<void()> hook);

// A registry error as the editor's messages end: " (error N)", with the cause in words where the
// user can do something about it.
std::string failureText(reg::LONG error);

}  // namespace karvo::regfile
