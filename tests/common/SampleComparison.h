// Hand-made comparisons for the comparison window's tests, alike for the logic and both front ends.
#pragma once

#include "compare/Comparison.h"
#include "registry/TextCodec.h"

#include <initializer_list>
#include <string>

namespace karvo::test {

inline compare::Data textData(const std::string& utf8, reg::DWORD type = reg::kRegSz) {
    return {type, text::utf8ToUtf16le(utf8) + std::string(2, '\0')};
}

inline compare::Data multiData(std::initializer_list<const char*> strings) {
    std::string bytes;
    for (const char* s : strings)
        bytes += text::utf8ToUtf16le(s) + std::string(2, '\0');
    return {reg::kRegMultiSz, bytes + std::string(2, '\0')};
}

inline compare::Data dwordData(std::uint32_t n) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(n >> (8 * i) & 0xFF);
    return {reg::kRegDword, bytes};
}

// HKEY_CURRENT_USER\Software\Sample, with differences in its values and below it:
//   (Default) same, Colour changed, Gone only in the backup, New only in the registry,
//   Paths a changed multi-string (a, b -> a, c, d);
//   Added only in the registry (with one value), Alike the same throughout,
//   Sub (the same) holding Deep, only in the backup.
inline compare::Comparison sampleComparison() {
    using namespace compare;
    Comparison c;
    c.ok = true;
    auto key = [&](const char* name, Difference d, bool differs, std::uint32_t parent) {
        KeyEntry k;
        k.name = name;
        k.difference = d;
        k.differs = differs;
        k.parent = parent;
        c.keys.push_back(k);
        const auto id = static_cast<std::uint32_t>(c.keys.size() - 1);
        if (parent != kNoKey)
            c.keys[parent].children.push_back(id);
        return id;
    };
    auto value = [&](std::uint32_t k, const char* name, Difference d, Data backup, Data live = {}) {
        std::uint32_t at = kNoData;
        if (d == Difference::Changed || d == Difference::OnlyInRegistry) {
            at = static_cast<std::uint32_t>(c.liveData.size());
            c.liveData.push_back(std::move(live));
        }
        c.keys[k].values.push_back({name, d, false, at, std::move(backup)});
    };
    const auto top = key("HKEY_CURRENT_USER\\Software\\Sample", Difference::Same, true, kNoKey);
    c.tops.push_back(top);
    value(top, "", Difference::Same, textData("hello"));
    value(top, "Colour", Difference::Changed, textData("red"), textData("blue"));
    value(top, "Gone", Difference::OnlyInBackup, dwordData(42));
    value(top, "New", Difference::OnlyInRegistry, {}, textData("fresh"));
    value(top, "Paths", Difference::Changed, multiData({"a", "b"}), multiData({"a", "c", "d"}));
    const auto added = key("Added", Difference::OnlyInRegistry, true, top);
    value(added, "x", Difference::OnlyInRegistry, {}, dwordData(1));
    const auto alike = key("Alike", Difference::Same, false, top);
    value(alike, "y", Difference::Same, dwordData(2));
    const auto sub = key("Sub", Difference::Same, true, top);
    key("Deep", Difference::OnlyInBackup, true, sub);
    c.valueCounts = {.same = 2, .changed = 2, .onlyInBackup = 1, .onlyInRegistry = 2};
    c.keyCounts = {.same = 3, .changed = 0, .onlyInBackup = 1, .onlyInRegistry = 1};
    return c;
}

}  // namespace karvo::test
