// A registry that answers exactly as told: the About box's reader must cope with sizes and types
// a real store would rarely hand back, so the tests set them by hand.
#pragma once

#include "registry/RegistryService.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace karvo::test {

using namespace karvo::reg;

class FakeRegistry : public RegistryService {
public:
    struct Value {
        DWORD type = kRegSz;
        std::vector<std::uint8_t> data;
        DWORD reportedSize = 0xFFFFFFFF;  // the size handed back; data.size() unless set
    };
    std::map<std::string, std::map<std::string, Value>> keys;  // HKLM key path -> values
    std::vector<DWORD> rights;                                 // as asked for at each open
    std::set<HKey> open;                                       // handles not closed yet

    void text(const std::string& key, const std::string& name, const std::string& s) {
        keys[key][name] = {kRegSz, {s.c_str(), s.c_str() + s.size() + 1}};  // with its terminating zero
    }

    LONG RegOpenKeyExA(HKey root, const char* sub, DWORD, DWORD sam, HKey* out) override {
        rights.push_back(sam);
        *out = 0;
        if (root != kHkeyLocalMachine || !keys.count(sub))
            return kErrorFileNotFound;
        *out = next_++;
        paths_[*out] = sub;
        open.insert(*out);
        return kErrorSuccess;
    }
    LONG RegCloseKey(HKey h) override { return open.erase(h) ? kErrorSuccess : kErrorInvalidHandle; }
    LONG RegQueryValueExA(HKey h, const char* name, DWORD*, DWORD* type, std::uint8_t* data, DWORD* size) override {
        const auto& values = keys[paths_.at(h)];
        const auto it = values.find(name);
        if (it == values.end())
            return kErrorFileNotFound;
        const Value& v = it->second;
        *type = v.type;
        if (v.data.size() > *size) {
            *size = static_cast<DWORD>(v.data.size());
            return kErrorMoreData;
        }
        std::copy(v.data.begin(), v.data.end(), data);
        *size = v.reportedSize != 0xFFFFFFFF ? v.reportedSize : static_cast<DWORD>(v.data.size());
        return kErrorSuccess;
    }

    // Not used by the About box.
    LONG RegCreateKeyExA(HKey, const char*, DWORD, const char*, DWORD, DWORD, const SecurityAttributes*, HKey*,
                         DWORD*) override { return 1; }
    LONG RegSetValueExA(HKey, const char*, DWORD, DWORD, const std::uint8_t*, DWORD) override { return 1; }
    LONG RegDeleteKeyA(HKey, const char*) override { return 1; }
    LONG RegDeleteValueA(HKey, const char*) override { return 1; }
    LONG RegEnumKeyA(HKey, DWORD, char*, DWORD) override { return 1; }
    LONG RegEnumValueA(HKey, DWORD, char*, DWORD*, DWORD*, DWORD*, std::uint8_t*, DWORD*) override { return 1; }
    LONG RegQueryInfoKeyA(HKey, char*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*,
                          void*) override { return 1; }
    LONG EnumKeyRaw(HKey, DWORD, std::string&) override { return 1; }
    LONG EnumValueRaw(HKey, DWORD, std::string&, DWORD&, std::vector<std::uint8_t>&) override { return 1; }
    LONG QueryValueRaw(HKey, const std::string&, DWORD&, std::vector<std::uint8_t>&) override { return 1; }
    LONG SetValueRaw(HKey, const std::string&, DWORD, const std::uint8_t*, std::size_t) override { return 1; }
    LONG DeleteTree(HKey, const char*) override { return 1; }
    bool KeyPath(HKey, std::string&) override { return false; }
    LONG BeginBatch() override { return kErrorNotSupported; }
    LONG CommitBatch() override { return 1; }
    LONG RollbackBatch() override { return 1; }

private:
    HKey next_ = 0x100;
    std::map<HKey, std::string> paths_;
};

}  // namespace karvo::test
