// A private registry store per test, which the editor's own code finds through KARVO_REGISTRY,
// and helpers that reach it without the editor's code; paths are below HKEY_CURRENT_USER.
#pragma once

#include "TestStore.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace karvo::test {

class StoreTest : public ::testing::Test, public TestStore {
protected:
    using Bytes = std::vector<std::uint8_t>;
    static std::string cu(const std::string& path) { return "HKEY_CURRENT_USER\\" + path; }

    void makeKey(const std::string& path) { touch(cu(path)); }
    void putRaw(const std::string& path, const std::string& name, reg::DWORD type, const Bytes& data) {
        set(cu(path), name, type, {data.begin(), data.end()});
    }
    void putString(const std::string& path, const std::string& name, const std::string& text) {
        setSz(cu(path), name, text);
    }
    bool keyExists(const std::string& path) { return exists(cu(path)); }
    // Type and data of a value, nullopt when it is not there.
    std::optional<std::pair<reg::DWORD, Bytes>> raw(const std::string& path, const std::string& name) {
        const auto v = value(cu(path), name);
        return v ? std::optional(std::pair(v->first, Bytes(v->second.begin(), v->second.end()))) : std::nullopt;
    }
    static Bytes wide(const std::string& text) {
        const std::string w = wz(text);
        return {w.begin(), w.end()};
    }

    ScopedEnv env_{"KARVO_REGISTRY", storePath()};
};

}  // namespace karvo::test
