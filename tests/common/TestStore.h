// A private registry store in a test's own folder, reached by full key paths
// ("HKEY_CURRENT_USER\Software\x") through the store's own calls only, never the code under test.
#pragma once

#include "TestSupport.h"
#include "registry/RegistryService.h"
#include "registry/RootKeys.h"
#include "registry/TextCodec.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace karvo::test {

// UTF-16LE of UTF-8 text with its terminating NUL, as the store keeps string values.
inline std::string wz(std::string_view utf8) { return text::utf8ToUtf16le(utf8) + std::string(2, '\0'); }

class TestStore {
public:
    using Value = std::pair<reg::DWORD, std::string>;  // type and data
    std::string storePath() const { return (dir / ("registry" + std::to_string(stores_) + ".db")).string(); }
    reg::RegistryService& store() {
#ifdef _WIN32
        return reg::systemRegistry();  // the one registry there is: callers keep to keys of their own
#else
        if (!store_)
            store_ = reg::openStore(storePath());
        return *store_;
#endif
    }
    // Starts over on an empty store of its own.
    void freshStore() {
        store_.reset();
        ++stores_;
    }
    // Opens (or creates, with its parents) a key; 0 when that fails.
    reg::HKey open(const std::string& path, bool create = false) {
        const auto slash = path.find('\\');
        const std::string root = path.substr(0, slash), sub = slash == std::string::npos ? "" : path.substr(slash + 1);
        const reg::RootKey* named = reg::findRootKey(root);
        const reg::HKey rootKey = named ? named->handle : reg::kHkeyCurrentUser;
        reg::HKey key = 0;
        reg::DWORD disposition = 0;
        const reg::LONG rc = create ? store().RegCreateKeyExA(rootKey, sub.c_str(), 0, "", 0, reg::kKeyAllAccess,
                                                              nullptr, &key, &disposition)
                                    : store().RegOpenKeyExA(rootKey, sub.c_str(), 0, reg::kKeyRead, &key);
        EXPECT_TRUE(rc == reg::kErrorSuccess || !create) << path;
        return rc == reg::kErrorSuccess ? key : 0;
    }
    void set(const std::string& path, const std::string& name, reg::DWORD type, const std::string& data) {
        const reg::HKey key = open(path, true);
        // Windows counts in a terminating zero that string data lacks when one follows the data in
        // memory; a guard after it keeps the value exactly as given.
        const std::string guarded = data + "\x01\x01";
        const auto* raw = reinterpret_cast<const std::uint8_t*>(guarded.data());
        EXPECT_EQ(reg::kErrorSuccess, store().SetValueRaw(key, name, type, raw, data.size())) << path;
        store().RegCloseKey(key);
    }
    void setSz(const std::string& path, const std::string& name, std::string_view text) {
        set(path, name, reg::kRegSz, wz(text));
    }
    void touch(const std::string& path) { store().RegCloseKey(open(path, true)); }
    std::optional<Value> value(const std::string& path, const std::string& name) {
        const reg::HKey key = open(path);
        reg::DWORD type = 0;
        std::vector<std::uint8_t> data;
        const reg::LONG rc = key ? store().QueryValueRaw(key, name, type, data) : reg::kErrorFileNotFound;
        if (key)
            store().RegCloseKey(key);
        return rc == reg::kErrorSuccess ? std::optional(Value(type, {data.begin(), data.end()})) : std::nullopt;
    }
    // The data alone, "" when the value is not there.
    std::string data(const std::string& path, const std::string& name) {
        return value(path, name).value_or(Value()).second;
    }
    bool exists(const std::string& path) {
        const reg::HKey key = open(path);
        return key && store().RegCloseKey(key) == reg::kErrorSuccess;
    }
    TempDir dir;

private:
    std::unique_ptr<reg::RegistryService> store_;
    int stores_ = 0;
};

}  // namespace karvo::test
