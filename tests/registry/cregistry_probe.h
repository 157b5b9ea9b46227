// A registry service that passes every call on to a real store while it watches and, when asked,
// misbehaves: refuses creates or writes, throws during enumeration, or answers a query with data of
// its own (shapes of data that a well-behaved store would not produce).
#pragma once

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "registry/RegistryService.h"
#include "registry/cRegistry.h"

namespace karvo::test {

using namespace karvo::reg;

class ProbeService : public RegistryService {
public:
    explicit ProbeService(RegistryService& inner) : inner_(inner) {}

    // Knobs.
    std::function<bool(HKey root, const std::string& path)> refuseCreate;
    LONG setResult = kErrorSuccess;           // non-zero: RegSetValueExA answers this
    LONG deleteValueResult = kErrorSuccess;   // non-zero: RegDeleteValueA answers this
    long throwAtEnumKey = -1;                 // index at which RegEnumKeyA throws
    struct Fake {
        DWORD type;
        std::vector<std::uint8_t> data;
    };
    std::map<std::string, Fake> fakeValues;   // value name -> what RegQueryValueExA answers

    // Observations.
    std::multiset<HKey> open;                 // handles given out and not yet closed
    int enumerationOpens = 0;                 // opens asking for sub-key enumeration
    int enumKeyCalls = 0;

    LONG RegOpenKeyExA(HKey hKey, const char* lpSubKey, DWORD ulOptions, DWORD samDesired, HKey* phkResult) override {
        if (samDesired == kKeyEnumerateSubKeys) ++enumerationOpens;
        const LONG r = inner_.RegOpenKeyExA(hKey, lpSubKey, ulOptions, samDesired, phkResult);
        if (r == kErrorSuccess) open.insert(*phkResult);
        return r;
    }
    LONG RegCreateKeyExA(HKey hKey, const char* lpSubKey, DWORD Reserved, const char* lpClass, DWORD dwOptions,
                         DWORD samDesired, const SecurityAttributes* sa, HKey* phkResult, DWORD* disp) override {
        if (refuseCreate && refuseCreate(hKey, lpSubKey)) return kErrorAccessDenied;
        const LONG r = inner_.RegCreateKeyExA(hKey, lpSubKey, Reserved, lpClass, dwOptions, samDesired, sa, phkResult, disp);
        if (r == kErrorSuccess) open.insert(*phkResult);
        return r;
    }
    LONG RegCloseKey(HKey hKey) override {
        if (auto it = open.find(hKey); it != open.end()) open.erase(it);
        return inner_.RegCloseKey(hKey);
    }
    LONG RegQueryValueExA(HKey hKey, const char* name, DWORD* reserved, DWORD* type, std::uint8_t* data,
                          DWORD* cb) override {
        auto fake = fakeValues.find(name);
        if (fake == fakeValues.end()) return inner_.RegQueryValueExA(hKey, name, reserved, type, data, cb);
        const auto& f = fake->second;
        const auto size = static_cast<DWORD>(f.data.size());
        if (type != nullptr) *type = f.type;
        if (data == nullptr) {
            *cb = size;
            return kErrorSuccess;
        }
        if (*cb < size) {
            *cb = size;
            return kErrorMoreData;
        }
        if (size != 0) std::memcpy(data, f.data.data(), size);
        *cb = size;
        return kErrorSuccess;
    }
    LONG RegSetValueExA(HKey hKey, const char* name, DWORD reserved, DWORD type, const std::uint8_t* data,
                        DWORD cb) override {
        if (setResult != kErrorSuccess) return setResult;
        return inner_.RegSetValueExA(hKey, name, reserved, type, data, cb);
    }
    LONG RegDeleteKeyA(HKey hKey, const char* sub) override { return inner_.RegDeleteKeyA(hKey, sub); }
    LONG RegDeleteValueA(HKey hKey, const char* name) override {
        if (deleteValueResult != kErrorSuccess) return deleteValueResult;
        return inner_.RegDeleteValueA(hKey, name);
    }
    LONG RegEnumKeyA(HKey hKey, DWORD index, char* name, DWORD cch) override {
        ++enumKeyCalls;
        if (throwAtEnumKey >= 0 && index == static_cast<DWORD>(throwAtEnumKey))
            throw std::runtime_error("enumeration broke down");
        return inner_.RegEnumKeyA(hKey, index, name, cch);
    }
    LONG RegEnumValueA(HKey hKey, DWORD index, char* name, DWORD* cch, DWORD* reserved, DWORD* type,
                       std::uint8_t* data, DWORD* cb) override {
        return inner_.RegEnumValueA(hKey, index, name, cch, reserved, type, data, cb);
    }
    LONG RegQueryInfoKeyA(HKey hKey, char* cls, DWORD* cchClass, DWORD* reserved, DWORD* subKeys,
                          DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                          DWORD* maxValueLen, DWORD* securityDescriptor, void* lastWrite) override {
        return inner_.RegQueryInfoKeyA(hKey, cls, cchClass, reserved, subKeys, maxSubKeyLen, maxClassLen, values,
                                       maxValueNameLen, maxValueLen, securityDescriptor, lastWrite);
    }
    LONG EnumKeyRaw(HKey hKey, DWORD index, std::string& name) override { return inner_.EnumKeyRaw(hKey, index, name); }
    LONG EnumValueRaw(HKey hKey, DWORD index, std::string& name, DWORD& type, std::vector<std::uint8_t>& data) override {
        return inner_.EnumValueRaw(hKey, index, name, type, data);
    }
    LONG QueryValueRaw(HKey hKey, const std::string& name, DWORD& type, std::vector<std::uint8_t>& data) override {
        return inner_.QueryValueRaw(hKey, name, type, data);
    }
    LONG SetValueRaw(HKey hKey, const std::string& name, DWORD type, const std::uint8_t* data, std::size_t size) override {
        return inner_.SetValueRaw(hKey, name, type, data, size);
    }
    LONG DeleteTree(HKey hKey, const char* sub) override { return inner_.DeleteTree(hKey, sub); }
    bool KeyPath(HKey hKey, std::string& path) override { return inner_.KeyPath(hKey, path); }
    LONG BeginBatch() override { return inner_.BeginBatch(); }
    LONG CommitBatch() override { return inner_.CommitBatch(); }
    LONG RollbackBatch() override { return inner_.RollbackBatch(); }

private:
    RegistryService& inner_;
};

// A private store on a temporary file, a probe over it and an object that talks to the probe.
struct RegistryFixtureState {
    TempDir dir;
    std::unique_ptr<RegistryService> store = openStore((dir / "reg.db").string());
    ProbeService probe{*store};
    cRegistry reg{probe};

    // Reads a value as the store keeps it (string types as UTF-16LE); false when it is missing.
    bool raw(HKey root, const std::string& path, const std::string& name, DWORD& type,
             std::vector<std::uint8_t>& data) {
        HKey key = 0;
        if (store->RegOpenKeyExA(root, path.c_str(), 0, kKeyQueryValue, &key) != kErrorSuccess) return false;
        const LONG r = store->QueryValueRaw(key, name, type, data);
        store->RegCloseKey(key);
        return r == kErrorSuccess;
    }
    bool keyExists(HKey root, const std::string& path) {
        HKey key = 0;
        if (store->RegOpenKeyExA(root, path.c_str(), 0, kKeyQueryValue, &key) != kErrorSuccess) return false;
        store->RegCloseKey(key);
        return true;
    }
    void putRaw(HKey root, const std::string& path, const std::string& name, DWORD type,
                const std::vector<std::uint8_t>& data) {
        HKey key = 0;
        DWORD disp = 0;
        if (store->RegCreateKeyExA(root, path.c_str(), 0, "", 0, 0x3F, nullptr, &key, &disp) != kErrorSuccess)
            throw std::runtime_error("cannot create " + path);
        const LONG r = store->SetValueRaw(key, name, type, data.data(), data.size());
        store->RegCloseKey(key);
        if (r != kErrorSuccess) throw std::runtime_error("cannot set " + name);
    }
    // A text value as the program reads it back through the store's ANSI entry point.
    std::string text(HKey root, const std::string& path, const std::string& name) {
        cRegistry r{*store};
        r.setClassKey(static_cast<std::int32_t>(root));
        r.setSectionKey(path);
        r.setValueKey(name);
        r.setDefault(std::string("<missing>"));
        const Variant v = r.Value();
        const auto* s = std::get_if<std::string>(&v);
        return s != nullptr ? *s : "<not text>";
    }
};

}  // namespace karvo::test
