// Feeds arbitrary bytes to the .reg reader: checking alone, then a full import into a private store.
// Beyond the sanitizers it insists that both agree on every file, that every refusal is one line
// naming the file, and that a file the store took compares as taken: the check after every restore
// must never call a good import a failure.
#include "compare/Comparison.h"
#include "regfile/RegFile.h"
#include "registry/RegistryService.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace {

std::filesystem::path g_dir;
std::unique_ptr<karvo::reg::RegistryService> g_store;

void removeStore() {
    g_store.reset();
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
}

void checkMessage(const karvo::regfile::Result& r) {
    if (r.ok)
        return;
    if (r.message.rfind("fuzz.reg:", 0) != 0 || r.message.find('\n') != std::string::npos)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_dir = std::filesystem::temp_directory_path() / ("karvo-regfile-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(g_dir);
    g_store = karvo::reg::openStore((g_dir / "registry.db").string());
    std::atexit(removeStore);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const karvo::regfile::Result checked = karvo::regfile::validateRegBytes(bytes, "fuzz.reg");
    checkMessage(checked);
    const karvo::regfile::Result imported = karvo::regfile::importRegBytes(*g_store, bytes, "fuzz.reg");
    checkMessage(imported);
    // The check and the import agree: the store takes every file the check passes.
    if (checked.ok != imported.ok)
        std::abort();
    if (imported.ok) {
        const karvo::compare::Comparison c = karvo::compare::compareBytesWithRegistry(*g_store, bytes, "fuzz.reg");
        if (c.ok && !karvo::compare::mismatch(c, karvo::compare::Expect::Merged).empty())
            std::abort();
    }
    return 0;
}
