// Passes every call on to the area's registry, watching open handles, and misbehaves when asked.
#pragma once

#include "registry/cRegistry.h"
#include "registry_area.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>

namespace karvo::test {

class ProbeService : public RegistryService {
public:
    explicit ProbeService(RegistryService& inner) : in_(inner) {}

    std::function<bool(HKey root, const std::string& path)> refuseCreate;
    LONG setResult = kErrorSuccess;  // non-zero: RegSetValueExA answers this
    long throwAtEnumKey = -1;        // RegEnumKeyA throws at this index
    DWORD valueNameShortfall = 0;    // the longest value name is reported this much too short
    std::map<std::string, std::pair<DWORD, Bytes>> fakeValues;  // name -> type and data to answer
    std::multiset<HKey> open;                                   // handles given out and not closed
    int enumerationOpens = 0;

    LONG RegOpenKeyExA(HKey h, const char* sub, DWORD o, DWORD sam, HKey* out) override {
        enumerationOpens += sam == kKeyEnumerateSubKeys;
        return track(in_.RegOpenKeyExA(h, sub, o, sam, out), out);
    }
    LONG RegCreateKeyExA(HKey h, const char* sub, DWORD r, const char* cls, DWORD o, DWORD sam,
                         const SecurityAttributes* sa, HKey* out, DWORD* disp) override {
        if (refuseCreate && refuseCreate(h, sub)) return kErrorAccessDenied;
        return track(in_.RegCreateKeyExA(h, sub, r, cls, o, sam, sa, out, disp), out);
    }
    LONG RegCloseKey(HKey h) override {
        if (auto it = open.find(h); it != open.end()) open.erase(it);
        return in_.RegCloseKey(h);
    }
    LONG RegQueryValueExA(HKey h, const char* name, DWORD* r, DWORD* type, std::uint8_t* data, DWORD* cb) override {
        const auto fake = fakeValues.find(name);
        if (fake == fakeValues.end()) return in_.RegQueryValueExA(h, name, r, type, data, cb);
        const auto& [fakeType, bytes] = fake->second;
        const bool fits = data != nullptr && *cb >= bytes.size();
        if (fits && !bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        *type = fakeType;
        *cb = static_cast<DWORD>(bytes.size());
        return data == nullptr || fits ? kErrorSuccess : kErrorMoreData;
    }
    LONG RegSetValueExA(HKey h, const char* name, DWORD r, DWORD type, const std::uint8_t* data, DWORD cb) override {
        return setResult != kErrorSuccess ? setResult : in_.RegSetValueExA(h, name, r, type, data, cb);
    }
    LONG RegEnumKeyA(HKey h, DWORD i, char* name, DWORD cch) override {
        if (static_cast<long>(i) == throwAtEnumKey) throw std::runtime_error("enumeration broke down");
        return in_.RegEnumKeyA(h, i, name, cch);
    }
    LONG RegQueryInfoKeyA(HKey h, char* c, DWORD* cc, DWORD* r, DWORD* sk, DWORD* msk, DWORD* mc, DWORD* v,
                          DWORD* mvn, DWORD* mv, DWORD* sd, void* t) override {
        const LONG result = in_.RegQueryInfoKeyA(h, c, cc, r, sk, msk, mc, v, mvn, mv, sd, t);
        if (result == kErrorSuccess && mvn != nullptr) *mvn -= std::min(*mvn, valueNameShortfall);
        return result;
    }
    LONG RegDeleteKeyA(HKey h, const char* sub) override { return in_.RegDeleteKeyA(h, sub); }
    LONG RegDeleteValueA(HKey h, const char* name) override { return in_.RegDeleteValueA(h, name); }
    LONG RegEnumValueA(HKey h, DWORD i, char* n, DWORD* c, DWORD* r, DWORD* t, std::uint8_t* d, DWORD* cb) override
    { return in_.RegEnumValueA(h, i, n, c, r, t, d, cb); }
    LONG EnumKeyRaw(HKey h, DWORD i, std::string& n) override { return in_.EnumKeyRaw(h, i, n); }
    LONG EnumValueRaw(HKey h, DWORD i, std::string& n, DWORD& t, Bytes& d) override { return in_.EnumValueRaw(h, i, n, t, d); }
    LONG QueryValueRaw(HKey h, const std::string& n, DWORD& t, Bytes& d) override { return in_.QueryValueRaw(h, n, t, d); }
    LONG SetValueRaw(HKey h, const std::string& n, DWORD t, const std::uint8_t* d, std::size_t s) override
    { return in_.SetValueRaw(h, n, t, d, s); }
    LONG DeleteTree(HKey h, const char* sub) override { return in_.DeleteTree(h, sub); }
    bool KeyPath(HKey h, std::string& p) override { return in_.KeyPath(h, p); }
    LONG BeginBatch() override { return in_.BeginBatch(); }
    LONG CommitBatch() override { return in_.CommitBatch(); }
    LONG RollbackBatch() override { return in_.RollbackBatch(); }

private:
    LONG track(LONG result, const HKey* key) {
        if (result == kErrorSuccess) open.insert(*key);
        return result;
    }
    RegistryService& in_;
};

// An object that talks to the probe; every test ends with no key left open.
class RegistryTest : public RegistryArea {
protected:
    void TearDown() override { EXPECT_TRUE(probe.open.empty()) << "a key was left open"; }

    // Paths without a hive are below the area.
    void at(const std::string& section, const std::string& value = "", HKey hive = 0) {
        reg.setClassKey(static_cast<std::int32_t>(hive ? hive : root));
        reg.setSectionKey(hive ? section : section.empty() ? base : base + "\\" + section);
        reg.setValueKey(value);
    }
    // The type and data of a value as the registry keeps it; type 999 when it is missing.
    std::pair<DWORD, Bytes> stored(HKey hive, const std::string& path, const std::string& name) {
        std::pair<DWORD, Bytes> found{999, {}};
        HKey key = 0;
        if (RegistryArea::reg.RegOpenKeyExA(hive, path.c_str(), 0, kKeyQueryValue, &key) == kErrorSuccess &&
            RegistryArea::reg.QueryValueRaw(key, name, found.first, found.second) != kErrorSuccess)
            found.first = 999;
        RegistryArea::reg.RegCloseKey(key);
        return found;
    }
    cRegistry other(HKey hive, const std::string& path) {
        cRegistry r(RegistryArea::reg);
        r.setClassKey(static_cast<std::int32_t>(hive));
        r.setSectionKey(path);
        return r;
    }
    bool keyExists(HKey hive, const std::string& path) { return other(hive, path).KeyExists(); }
    std::string text(HKey hive, const std::string& path) {
        const Variant v = other(hive, path).Value();
        const auto* s = std::get_if<std::string>(&v);
        return s != nullptr ? *s : "<none>";
    }

    ProbeService probe{RegistryArea::reg};
    cRegistry reg{probe};
};

template <class F>
RegistryError raised(F&& f) {
    try { f(); } catch (const RegistryError& e) { return e; }
    ADD_FAILURE() << "no RegistryError";
    return RegistryError(0, "", "");
}

}  // namespace karvo::test
