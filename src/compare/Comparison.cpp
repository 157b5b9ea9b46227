#include "compare/Comparison.h"

namespace karvo::compare {

std::string Comparison::fullPath(std::uint32_t key) const {
    std::string path;
    for (std::uint32_t at = key; at != kNoKey; at = keys[at].parent)
        path = keys[at].name + (path.empty() ? "" : "\\" + path);
    return path;
}

Comparison compareWithRegistry(reg::RegistryService&, const std::filesystem::path& backupFile) {
    Comparison c;
    c.problem = backupFile.string() + ": not written yet";
    return c;
}

Comparison compareBytesWithRegistry(reg::RegistryService&, std::string_view, const std::string& name) {
    Comparison c;
    c.problem = name + ": not written yet";
    return c;
}

bool writeExactRestore(const Comparison&, std::ostream&) { return false; }

std::string mismatch(const Comparison&, Expect) { return "not written yet"; }

}  // namespace karvo::compare
