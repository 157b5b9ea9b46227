// A private key area for suites that run on every back end: HKEY_CURRENT_USER\Software\Karvo Tests\<run>,
// removed with everything below it afterwards (safe on a real Windows machine too). Off Windows,
// KARVO_TEST_BACKEND picks the back end: the store (default), "helper" (a store behind reghelper's
// pipe, so the pipe must pass every call through unchanged) or "wine" (the run's Wine prefix,
// $KARVO_TEST_WINEPREFIX, through reghelper.exe, where Wine's own answers hold).
#pragma once

#include "TestSupport.h"
#include "registry/RegistryService.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace karvo::test {

using namespace karvo::reg;
using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

std::string backEndName();
bool underWine();  // Wine's registry, where it answers otherwise than Windows does

class RegistryArea : public ::testing::Test {
protected:
    RegistryArea();
    ~RegistryArea() override;
    void SetUp() override;  // skips, saying why, when the back end cannot run here

    // Keys below the area, or below parent; they stay open until the test ends.
    HKey create(const std::string& sub, HKey parent = 0, DWORD rights = kKeyAllAccess);
    LONG open(const std::string& sub, DWORD rights, HKey& h, HKey parent = 0) {
        return reg.RegOpenKeyExA(parent ? parent : root, (parent ? sub : base + "\\" + sub).c_str(), 0, rights, &h);
    }
    std::string path(HKey h) {
        std::string p;
        return reg.KeyPath(h, p) ? p : "<none>";
    }
    Strings subKeys(HKey h);
    Strings valueNames(HKey h);
    LONG setSz(HKey h, const char* name, const std::string& text) {
        return reg.RegSetValueExA(h, name, 0, kRegSz, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                  static_cast<DWORD>(text.size() + 1));
    }
    // Names in this back end's listing order: the store lists sub-keys by upper-cased name and values
    // in creation order; Wine sorts both by lower-cased name, so there both sides are sorted.
    static Strings listed(Strings names);
    // Each pair is a call's result and the result expected, reported by its place in the list.
    static void expectResults(std::initializer_list<std::pair<LONG, LONG>> results) {
        int i = 0;
        for (const auto& [got, want] : results) EXPECT_EQ(got, want) << "result " << i++;
    }
    bool ansiIsUtf8() const { return store != nullptr; }  // off Windows only

    TempDir dir;
    const std::string file = (dir / "registry.db").string();
    std::string skip;
    std::unique_ptr<RegistryService> store;  // null on Windows
    RegistryService& reg;
    const HKey root = kHkeyCurrentUser;
    const std::string base;  // the area's path below root
    HKey area = 0;

private:
    std::vector<HKey> made_;
};

}  // namespace karvo::test
