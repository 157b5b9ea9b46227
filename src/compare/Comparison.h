// A backup compared with the live registry: every key and value of the backup's keys and their whole
// sub-trees, as the same, changed, only in the backup or only in the registry. From it come the
// file an exact restore imports and the checks after every backup and restore. Standard library
// only, over RegistryService, so it works on every registry Karvo runs on.
#pragma once

#include "registry/RegistryService.h"

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace karvo::compare {

enum class Difference : std::uint8_t {
    Same,            // a key: in both (its values or sub-keys may still differ); a value: equal
    Changed,         // values only: other data or another type
    OnlyInBackup,    // a restore brings it back
    OnlyInRegistry,  // added since the backup: a restore keeps it, an exact restore removes it
};

// A value as the registry stores it: string types as UTF-16LE with their terminator.
struct Data {
    reg::DWORD type = 0;
    std::string bytes;
};

inline constexpr std::uint32_t kNoKey = UINT32_MAX;
inline constexpr std::uint32_t kNoData = UINT32_MAX;

// A million values may be compared, and few of them differ: the registry's data of a value is kept
// apart, in Comparison::liveData, so that each value does not carry room for it.
struct ValueEntry {
    std::string name;  // UTF-8, "" is the key's default value; spelled as the backup has it
    Difference difference = Difference::Same;
    // The file itself removes the value ("name"=-): a plain restore removes it too.
    bool removedByBackup = false;
    // Where Comparison::liveData holds the registry's data: only for Changed and OnlyInRegistry
    // (Same keeps one copy, in backup), kNoData otherwise. Read it through Comparison::liveOf.
    std::uint32_t live = kNoData;
    Data backup;  // not for OnlyInRegistry
};

struct KeyEntry {
    std::string name;  // its own name; a top key has its full path ("HKEY_CURRENT_USER\Software\x")
    Difference difference = Difference::Same;  // Same, OnlyInBackup or OnlyInRegistry
    // The file itself removes the key ([-path]): a plain restore removes it too.
    bool removedByBackup = false;
    // Anything at or below this key is not the same.
    bool differs = false;
    std::uint32_t parent = kNoKey;
    std::vector<std::uint32_t> children;  // ordered by name, letter case ignored
    std::vector<ValueEntry> values;       // the backup's order, then those only in the registry
};

struct Counts {
    std::size_t same = 0, changed = 0, onlyInBackup = 0, onlyInRegistry = 0;
    std::size_t differences() const { return changed + onlyInBackup + onlyInRegistry; }
};

struct Comparison {
    bool ok = false;
    std::string problem;  // when !ok: why (the file cannot be read, the registry cannot be read)
    std::vector<KeyEntry> keys;
    std::vector<std::uint32_t> tops;  // keys not below another key of the backup, in file order
    std::vector<Data> liveData;       // the registry's data of the values that have it (ValueEntry::live)
    Counts keyCounts, valueCounts;

    bool identical() const { return ok && keyCounts.differences() == 0 && valueCounts.differences() == 0; }
    std::string fullPath(std::uint32_t key) const;
    // The registry's data of a value; an empty Data for one without (Same, OnlyInBackup).
    const Data& liveOf(const ValueEntry& value) const;
};

// Reads the backup (either .reg format) and the registry below each of its top keys; names are
// compared as the registry compares them (letter case ignored).
Comparison compareWithRegistry(reg::RegistryService& service, const std::filesystem::path& backupFile);
// The same for a file's bytes in memory; name stands for the file in messages.
Comparison compareBytesWithRegistry(reg::RegistryService& service, std::string_view bytes, const std::string& name);

// The file an exact restore imports (Unicode .reg): the removal of every key only in the registry
// ([-path], the topmost of a removed branch only) and of every value only in the registry
// ("name"=-, @=-), followed by the backup's keys and values. Needs comparison.ok.
bool writeExactRestore(const Comparison& comparison, std::ostream& out);

// What the registry should hold after the editor has run, and what a check found wrong: one
// sentence naming the first key or value that is not as it should be, "" when all is.
enum class Expect {
    Equal,   // after a backup (the new file against the live key) and after an exact restore
    Merged,  // after a plain restore: every key and value of the backup is live with its data and
             // what the file removes is gone; what was added since may stay
};
std::string mismatch(const Comparison& comparison, Expect expect);

}  // namespace karvo::compare
