// The large registry the import and comparison benchmarks share: HKEY_LOCAL_MACHINE\SOFTWARE\Bench
// with KEYS keys in 100 groups and VALUES values of every common type, the same every time.
#pragma once

#include "registry/RegistryService.h"

#include <cstdio>
#include <random>
#include <string>

namespace karvo::bench {

inline std::string utf16z(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    out.append(2, '\0');
    return out;
}

inline void generate(reg::RegistryService& reg, long keys, long values) {
    using namespace karvo::reg;
    std::mt19937 rng(7);
    const long groups = 100;
    const long perKey = values / keys;
    long extra = values % keys;
    HKey top = 0;
    DWORD disposition = 0;
    reg.BeginBatch();
    reg.RegCreateKeyExA(kHkeyLocalMachine, "SOFTWARE\\Bench", 0, "", 0, kKeyAllAccess, nullptr, &top, &disposition);
    std::string data;
    long made = 0;
    for (long g = 0; g < groups && made < keys; ++g) {
        char name[64];
        std::snprintf(name, sizeof name, "Group %03ld", g);
        HKey group = 0;
        reg.RegCreateKeyExA(top, name, 0, "", 0, kKeyAllAccess, nullptr, &group, &disposition);
        const long children = keys / groups;
        for (long c = 0; c < children && made < keys; ++c, ++made) {
            HKey key = group;
            if (c > 0) {
                std::snprintf(name, sizeof name, "Item_%05ld {%08x}", c, static_cast<unsigned>(rng()));
                reg.RegCreateKeyExA(group, name, 0, "", 0, kKeyAllAccess, nullptr, &key, &disposition);
            }
            const long n = perKey + (extra > 0 ? 1 : 0);
            if (extra > 0)
                --extra;
            for (long v = 0; v < n; ++v) {
                char vname[32];
                std::snprintf(vname, sizeof vname, "Value %ld", v);
                DWORD type = 0;
                switch (v % 8) {
                case 0:
                case 1:
                    type = kRegSz;
                    data = utf16z("C:\\Program Files\\Bench\\file" + std::to_string(rng() % 100000) + ".dat");
                    break;
                case 2:
                    type = kRegExpandSz;
                    data = utf16z("%SystemRoot%\\system32\\bench" + std::to_string(v) + ".dll");
                    break;
                case 3:
                    type = kRegMultiSz;
                    data = utf16z("first") + utf16z("second entry");
                    data.resize(data.size() - 2);
                    data.append(2, '\0');
                    break;
                case 4:
                    type = kRegBinary;
                    data.assign(8 + rng() % 56, '\0');
                    for (char& ch : data)
                        ch = static_cast<char>(rng());
                    break;
                case 5:
                case 6:
                    type = kRegDword;
                    data.assign(4, static_cast<char>(rng()));
                    break;
                default:
                    type = kRegQword;
                    data.assign(8, static_cast<char>(rng()));
                    break;
                }
                reg.SetValueRaw(key, vname, type, reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
            }
            if (key != group)
                reg.RegCloseKey(key);
        }
        reg.RegCloseKey(group);
    }
    reg.RegCloseKey(top);
    reg.CommitBatch();
}

}  // namespace karvo::bench
