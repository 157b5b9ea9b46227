// The registry under test and a private key area in it, for suites that run on every back end: on
// Windows the system's own registry (under Wine, the test run's throw-away prefix), where the area
// is a key of its own under HKEY_CURRENT_USER\Software\Karvo Tests, removed with everything below it
// afterwards, so the suites are safe on a real machine too; elsewhere a private store on a
// temporary file or the Wine prefix of KARVO_TEST_BACKEND below, with the area at the same path.
// The store's own suites use the same fixture on the private store, reaching any key of it.
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

// Off Windows, KARVO_TEST_BACKEND picks the back end the suites run on: the store by default, or
// "helper", the same kind of store served by the reghelper program over its pipe, so every suite
// also checks that the pipe hands each call and out-parameter through unchanged; or "wine", the
// registry of the run's throw-away Wine prefix ($KARVO_TEST_WINEPREFIX) through reghelper.exe run
// under Wine, where Wine's own answers hold.
std::string backEndName();

// Wine's registry (the Win32 back end under Wine, or a Wine prefix through the helper), where it
// answers otherwise than Windows does.
bool underWine();

class RegistryArea : public ::testing::Test {
protected:
    RegistryArea();
    ~RegistryArea() override;
    // Skips, saying why, when the chosen back end cannot run here.
    void SetUp() override;

    // Keys below the area, or below parent when one is given; create() keys stay open until the
    // test ends.
    HKey create(const std::string& sub, HKey parent = 0, DWORD rights = kKeyAllAccess);
    LONG open(const std::string& sub, DWORD rights, HKey& h, HKey parent = 0) {
        return reg.RegOpenKeyExA(parent ? parent : root, (parent ? sub : base + "\\" + sub).c_str(), 0, rights, &h);
    }
    // The key's full path as the registry spells it, "<none>" when it has none.
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
    // Names put into the order in which this back end lists them; subKeys() and valueNames() give
    // theirs so. The store lists sub-keys by upper-cased name, as Windows' hives keep them, and values
    // in creation order. Windows promises neither ("not ordered", RegEnumKeyEx and RegEnumValue), and
    // Wine sorts both by lower-cased name ("_" before letters), so there both sides are compared
    // sorted the store's way.
    static Strings listed(Strings names);
    // Off Windows the ANSI code page is UTF-8; on Windows it need not hold names beyond ASCII.
    bool ansiIsUtf8() const { return store != nullptr; }

    TempDir dir;
    const std::string file = (dir / "registry.db").string();  // the private store's
    std::string skip;  // why the chosen back end cannot run here; set before reg
    std::unique_ptr<RegistryService> store;  // the private store; null on Windows
    RegistryService& reg;
    const HKey root = kHkeyCurrentUser;
    const std::string base;  // the area's path below root
    HKey area = 0;

private:
    std::vector<HKey> made_;
};

}  // namespace karvo::test
