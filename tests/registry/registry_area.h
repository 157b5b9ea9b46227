// A private key area for suites that run on every back end: HKEY_CURRENT_USER\Software\Karvo Tests\<run>,
// removed with all below it afterwards (safe on a real Windows machine too). Off Windows,
// KARVO_TEST_BACKEND picks the back end: the store (default), "helper" (a store behind reghelper's pipe,
// which must pass every call through unchanged) or "wine" (the run's Wine prefix, Wine's answers holding).
#pragma once

#include "TestSupport.h"
#include "WinePrefix.h"
#include "registry/RegistryPipe.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <random>

namespace karvo::test {

using namespace karvo::reg;
using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

inline std::string backEndName() { return std::getenv("KARVO_TEST_BACKEND") ? std::getenv("KARVO_TEST_BACKEND") : ""; }
// Wine's registry, where it answers otherwise than Windows does. The Windows build meets it only on
// the throw-away prefix of a test run, which $WINEPREFIX names.
inline bool underWine() {
#ifdef _WIN32
    return std::getenv("WINEPREFIX") != nullptr;
#else
    return backEndName() == "wine";
#endif
}

// Each pair is a call's result and the result expected, reported by its place in the list.
inline void expectResults(std::initializer_list<std::pair<LONG, LONG>> results) {
    int i = 0;
    for (const auto& [got, want] : results) EXPECT_EQ(got, want) << "result " << i++;
}

class RegistryArea : public ::testing::Test {
protected:
    RegistryArea() : reg(backEnd()) { area = create(""); }
    ~RegistryArea() override {
        for (HKey h : made_) reg.RegCloseKey(h);
        EXPECT_EQ(reg.DeleteTree(root, base.c_str()), kErrorSuccess);
        reg.RegDeleteKeyA(root, "Software\\Karvo Tests");  // only when no other run's area is left in it
    }
    void SetUp() override { if (!skip.empty()) GTEST_SKIP() << skip; }  // when the back end cannot run here
    // Keys below the area, or below parent; they stay open until the test ends.
    HKey create(const std::string& sub, HKey parent = 0) {
        const std::string full = parent ? sub : sub.empty() ? base : base + "\\" + sub;
        HKey h = 0;
        EXPECT_EQ(reg.RegCreateKeyExA(parent ? parent : root, full.c_str(), 0, "", 0, kKeyAllAccess, nullptr, &h, nullptr), 0)
            << full;
        made_.push_back(h);
        return h;
    }
    LONG open(const std::string& sub, DWORD rights, HKey& h, HKey parent = 0) {
        return reg.RegOpenKeyExA(parent ? parent : root, (parent ? sub : base + "\\" + sub).c_str(), 0, rights, &h);
    }
    std::string path(HKey h) {
        std::string p;
        return reg.KeyPath(h, p) ? p : "<none>";
    }
    Strings subKeys(HKey h) {
        Strings names;
        for (std::string name; reg.EnumKeyRaw(h, DWORD(names.size()), name) == kErrorSuccess;) names.push_back(name);
        return listed(names);
    }
    Strings valueNames(HKey h) {
        Strings names;
        DWORD type = 0;
        Bytes data;
        for (std::string name; reg.EnumValueRaw(h, DWORD(names.size()), name, type, data) == kErrorSuccess;)
            names.push_back(name);
        return listed(names);
    }
    std::pair<DWORD, Bytes> rawValue(HKey h, const std::string& name) {  // type 999 when it is missing
        std::pair<DWORD, Bytes> found{999, {}};
        if (reg.QueryValueRaw(h, name, found.first, found.second) != kErrorSuccess) found.first = 999;
        return found;
    }
    LONG setSz(HKey h, const char* name, const std::string& text) {
        return reg.RegSetValueExA(h, name, 0, kRegSz, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                  static_cast<DWORD>(text.size() + 1));
    }
    // Names in this back end's listing order: the store lists sub-keys by upper-cased name and values
    // in creation order; Windows and Wine sort both, so there both sides are sorted.
    Strings listed(Strings names) const {
        const auto upper = [](char x, char y) { return std::toupper(std::uint8_t(x)) < std::toupper(std::uint8_t(y)); };
        if (underWine() || !store)
            std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
                return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), upper);
            });
        return names;
    }
    bool ansiIsUtf8() const { return store != nullptr; }  // off Windows only

    TempDir dir;
    const std::string file = (dir / "registry.db").string();
    std::string skip;
    std::unique_ptr<RegistryService> store;  // null on Windows
    RegistryService& reg;
    const HKey root = kHkeyCurrentUser;
    const std::string base =
        "Software\\Karvo Tests\\" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}());
    HKey area = 0;

private:
    RegistryService& backEnd() {
#ifdef _WIN32
        return systemRegistry();
#else
        if (backEndName() == "wine" && (skip = winePrefixMissing()).empty())
            store = openWineRegistry(testWinePrefix());  // the run's prefix; each test keeps to its area
        else if (backEndName() == "helper")
            store = openHelperRegistry({{(binaryDir() / "windows" / "reghelper").string(), file}, {}, "the test store " + file, ""});
        else
            store = openStore(file);
        return *store;
#endif
    }
    std::vector<HKey> made_;
};

}  // namespace karvo::test
