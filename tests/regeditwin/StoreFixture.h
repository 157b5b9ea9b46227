// A private registry store per test, and small helpers that reach it without the editor's code.
#pragma once

#include "TestSupport.h"
#include "registry/RegistryService.h"
#include "registry/TextCodec.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace karvo::test {

class StoreTest : public ::testing::Test {
protected:
    StoreTest()
        : env_("KARVO_REGISTRY", (dir_ / "registry.db").string()),
          store_(reg::openStore((dir_ / "registry.db").string())) {}

    reg::RegistryService& store() { return *store_; }

    // Creates HKEY_CURRENT_USER\<path> with its parents.
    void makeKey(const std::string& path) {
        reg::HKey h = 0;
        reg::DWORD disposition = 0;
        ASSERT_EQ(reg::kErrorSuccess, store_->RegCreateKeyExA(reg::kHkeyCurrentUser, path.c_str(), 0, "", 0, 0x3F,
                                                              nullptr, &h, &disposition));
        store_->RegCloseKey(h);
    }
    void putRaw(const std::string& path, const std::string& name, reg::DWORD type, std::vector<std::uint8_t> data) {
        makeKey(path);
        reg::HKey h = 0;
        ASSERT_EQ(reg::kErrorSuccess, store_->RegOpenKeyExA(reg::kHkeyCurrentUser, path.c_str(), 0, 0x3F, &h));
        EXPECT_EQ(reg::kErrorSuccess, store_->SetValueRaw(h, name, type, data.data(), data.size()));
        store_->RegCloseKey(h);
    }
    void putString(const std::string& path, const std::string& name, const std::string& text) {
        std::string wide = text::utf8ToUtf16le(text);
        wide.append(2, '\0');
        putRaw(path, name, reg::kRegSz, std::vector<std::uint8_t>(wide.begin(), wide.end()));
    }
    bool keyExists(const std::string& path) {
        reg::HKey h = 0;
        if (store_->RegOpenKeyExA(reg::kHkeyCurrentUser, path.c_str(), 0, 1, &h) != reg::kErrorSuccess)
            return false;
        store_->RegCloseKey(h);
        return true;
    }
    // Type and data of a value under HKEY_CURRENT_USER, nullopt when it is not there.
    std::optional<std::pair<reg::DWORD, std::vector<std::uint8_t>>> raw(const std::string& path,
                                                                        const std::string& name) {
        reg::HKey h = 0;
        if (store_->RegOpenKeyExA(reg::kHkeyCurrentUser, path.c_str(), 0, 1, &h) != reg::kErrorSuccess)
            return std::nullopt;
        reg::DWORD type = 0;
        std::vector<std::uint8_t> data;
        const reg::LONG rc = store_->QueryValueRaw(h, name, type, data);
        store_->RegCloseKey(h);
        if (rc != reg::kErrorSuccess)
            return std::nullopt;
        return std::make_pair(type, data);
    }
    static std::vector<std::uint8_t> wide(const std::string& text) {
        std::string w = text::utf8ToUtf16le(text);
        w.append(2, '\0');
        return {w.begin(), w.end()};
    }

    TempDir dir_;
    ScopedEnv env_;
    std::unique_ptr<reg::RegistryService> store_;
};

}  // namespace karvo::test
