// A private store per test, and small helpers for calling the registry functions.
#pragma once

#include "TestSupport.h"
#include "registry/RegistryService.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace karvo::test {

using namespace karvo::reg;

class StoreTest : public ::testing::Test {
protected:
    StoreTest() : file((dir / "registry.db").string()), store(openStore(file)), reg(*store) {}

    HKey create(HKey root, const std::string& path, DWORD rights = kKeyAllAccess) {
        HKey h = 0;
        DWORD disposition = 0;
        SecurityAttributes sa;
        EXPECT_EQ(reg.RegCreateKeyExA(root, path.c_str(), 0, "", 0, rights, &sa, &h, &disposition), kErrorSuccess)
            << path;
        return h;
    }
    LONG open(HKey root, const std::string& path, DWORD rights, HKey& h) {
        return reg.RegOpenKeyExA(root, path.c_str(), 0, rights, &h);
    }
    std::vector<std::string> subKeys(HKey h) {
        std::vector<std::string> names;
        std::string name;
        for (DWORD i = 0; reg.EnumKeyRaw(h, i, name) == kErrorSuccess; ++i)
            names.push_back(name);
        return names;
    }
    std::vector<std::string> valueNames(HKey h) {
        std::vector<std::string> names;
        std::string name;
        DWORD type = 0;
        std::vector<std::uint8_t> data;
        for (DWORD i = 0; reg.EnumValueRaw(h, i, name, type, data) == kErrorSuccess; ++i)
            names.push_back(name);
        return names;
    }
    LONG setSz(HKey h, const char* name, const std::string& text) {
        return reg.RegSetValueExA(h, name, 0, kRegSz, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                  static_cast<DWORD>(text.size() + 1));
    }
    std::string path(HKey h) {
        std::string p;
        return reg.KeyPath(h, p) ? p : "<none>";
    }

    TempDir dir;
    std::string file;
    std::unique_ptr<RegistryService> store;
    RegistryService& reg;
};

}  // namespace karvo::test
