// The .reg reader and writer: the registry editor's file format, standard library only.
#pragma once

#include "registry/RegistryService.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace karvo::regfile {

namespace detail {
class TextWriter;  // the export's own line writer (RegWriter.cpp)
}

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

// What a file says, change by change, exactly as an import would apply it: names in UTF-8, value
// data as the registry stores it (string types UTF-16LE with their terminator), an 8-bit file read
// in the encoding an import settles on. Each call answers "" or a problem, which stops the reading.
class RegVisitor {
public:
    virtual ~RegVisitor() = default;
    // The key the values that follow belong to, created with its parents; path is below the root
    // ("" for the root itself), one "\" between names.
    virtual std::string key(reg::HKey root, const std::string& path) = 0;
    // [-path]: the key and its whole sub-tree go; no value follows until the next key.
    virtual std::string deleteKey(reg::HKey root, const std::string& path) = 0;
    virtual std::string value(const std::string& name, reg::DWORD type, const std::string& data) = 0;
    // "name"=- (name "" for @=-).
    virtual std::string deleteValue(const std::string& name) = 0;
};

// Reads a file through a visitor; no registry is touched. A file that imports nothing (another
// REGEDIT version) visits nothing. On failure the message is an import's and the visitor may have
// seen the changes before the bad line.
Result readRegFile(const std::string& file, RegVisitor& visitor);
Result readRegBytes(std::string_view bytes, const std::string& name, RegVisitor& visitor);

// Writes a .reg file piece by piece, laid out exactly as an export lays out the same keys and
// values. Paths are full ("HKEY_CURRENT_USER\Software\x"), names and paths UTF-8, data as the
// registry stores it. A name holding a line break cannot be written: the call answers false, the
// first such problem is kept and finish() reports it.
class RegComposer {
public:
    RegComposer(std::ostream& out, Format format);
    ~RegComposer();
    RegComposer(const RegComposer&) = delete;
    RegComposer& operator=(const RegComposer&) = delete;

    void header();
    bool key(const std::string& fullPath);        // [path]
    bool deleteKey(const std::string& fullPath);  // [-path]
    bool value(const std::string& name, reg::DWORD type, std::string_view data);
    bool deleteValue(const std::string& name);  // "name"=-, @=-
    // The closing empty line; everything goes to the stream.
    Result finish();

private:
    bool refuse(std::string problem);

    std::unique_ptr<detail::TextWriter> writer_;
    std::string problem_;
};

// For tests: called whenever an import has read its file to the end.
void setFileEndHook(std::function<void()> hook);

// A registry error as the editor's messages end: " (error N)", with the cause in words where the
// user can do something about it.
std::string failureText(reg::LONG error);

}  // namespace karvo::regfile
