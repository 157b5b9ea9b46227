// A registry that answers exactly as told: the About box's reader must cope with sizes and types
// a real store would rarely produce, so the tests set them by hand.
#pragma once

#include "registry/RegistryService.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace karvo::test {

class FakeRegistry : public karvo::reg::RegistryService {
public:
    using HKey = karvo::reg::HKey;
    using LONG = karvo::reg::LONG;
    using DWORD = karvo::reg::DWORD;

    struct Value {
        DWORD type = 1;
        std::vector<std::uint8_t> data;
        DWORD reportedSize = 0xFFFFFFFF;  // the size handed back; data.size() unless set
    };

    // key path under HKLM -> value name -> value
    std::map<std::string, std::map<std::string, Value>> keys;
    std::vector<std::string> opened;      // every key opened, by path
    std::vector<DWORD> rights;            // the rights asked for
    std::set<HKey> open;                  // handles not closed yet

    void text(const std::string& key, const std::string& name, const std::string& s, bool terminate = true) {
        Value v;
        v.data.assign(s.begin(), s.end());
        if (terminate)
            v.data.push_back(0);
        keys[key][name] = v;
    }

    LONG RegOpenKeyExA(HKey root, const char* sub, DWORD, DWORD sam, HKey* out) override {
        opened.emplace_back(sub);
        rights.push_back(sam);
        if (root != karvo::reg::kHkeyLocalMachine || !keys.count(sub)) {
            *out = 0;
            return karvo::reg::kErrorFileNotFound;
        }
        const HKey h = next_++;
        handles_[h] = sub;
        open.insert(h);
        *out = h;
        return 0;
    }
    LONG RegCloseKey(HKey h) override {
        if (!open.erase(h))
            return karvo::reg::kErrorInvalidHandle;
        return 0;
    }
    LONG RegQueryValueExA(HKey h, const char* name, DWORD*, DWORD* type, std::uint8_t* data, DWORD* size) override {
        auto& values = keys[handles_.at(h)];
        auto it = values.find(name);
        if (it == values.end())
            return karvo::reg::kErrorFileNotFound;
        const Value& v = it->second;
        const DWORD have = static_cast<DWORD>(v.data.size());
        if (type)
            *type = v.type;
        if (data && have > *size) {
            *size = have;
            return karvo::reg::kErrorMoreData;
        }
        if (data)
            std::copy(v.data.begin(), v.data.end(), data);
        *size = v.reportedSize != 0xFFFFFFFF ? v.reportedSize : have;
        return 0;
    }

    // Not used by the About box.
    LONG RegCreateKeyExA(HKey, const char*, DWORD, const char*, DWORD, DWORD, const karvo::reg::SecurityAttributes*,
                         HKey*, DWORD*) override { return 1; }
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
    LONG BeginBatch() override { return karvo::reg::kErrorNotSupported; }
    LONG CommitBatch() override { return 1; }
    LONG RollbackBatch() override { return 1; }

private:
    HKey next_ = 0x100;
    std::map<HKey, std::string> handles_;
};

}  // namespace karvo::test
