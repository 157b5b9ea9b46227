// Shared helpers of the .reg reader tests: building files, a private store, and looking at it.
#pragma once

#include "TestSupport.h"
#include "regfile/RegFile.h"
#include "registry/RegistryService.h"
#include "registry/TextCodec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace karvo::regfile::test {

using reg::DWORD;

inline const std::string kK = "HKEY_CURRENT_USER\\Software\\Wine\\regedit_test";
inline const std::string kHeader5 = "Windows Registry Editor Version 5.00";

// UTF-16LE bytes of UTF-8 text, without and with a terminating NUL.
inline std::string w(std::string_view utf8) {
    return text::utf8ToUtf16le(utf8);
}
inline std::string wz(std::string_view utf8) {
    return w(utf8) + std::string(2, '\0');
}
inline std::string bytes(std::initializer_list<int> list) {
    std::string out;
    for (int b : list)
        out.push_back(static_cast<char>(b));
    return out;
}
inline std::string dwordBytes(std::uint32_t v) {
    return bytes({static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF),
                  static_cast<int>(v >> 24)});
}

inline std::string joinLines(const std::vector<std::string>& lines, const std::string& eol, bool finalEol) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size() || finalEol)
            text += eol;
    }
    return text;
}

// A 5.00 file: BOM and UTF-16LE. The lines are UTF-8 here.
inline std::string unicodeFile(const std::vector<std::string>& lines, const std::string& eol = "\r\n",
                               bool finalEol = true) {
    return "\xFF\xFE" + w(joinLines(lines, eol, finalEol));
}
// An 8-bit file, bytes as given.
inline std::string ansiFile(const std::vector<std::string>& lines, const std::string& eol = "\r\n",
                            bool finalEol = true) {
    return joinLines(lines, eol, finalEol);
}

// The line number in "name:LINE: problem", or 0.
inline int failingLine(const Result& r, const std::string& name = "test.reg") {
    const std::string prefix = name + ":";
    if (r.message.rfind(prefix, 0) != 0)
        return 0;
    return std::atoi(r.message.c_str() + prefix.size());
}

inline std::string hexOf(const std::string& data) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : data) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

// The whole content of a registry as text, for before/after comparisons.
inline void dumpKey(reg::RegistryService& s, reg::HKey key, const std::string& path, std::ostream& out) {
    out << "[" << path << "]\n";
    std::string name;
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    for (DWORD i = 0; s.EnumValueRaw(key, i, name, type, data) == reg::kErrorSuccess; ++i)
        out << "  \"" << name << "\" " << type << " "
            << hexOf(std::string(data.begin(), data.end())) << "\n";
    std::vector<std::string> subkeys;
    for (DWORD i = 0; s.EnumKeyRaw(key, i, name) == reg::kErrorSuccess; ++i)
        subkeys.push_back(name);
    for (const std::string& sub : subkeys) {
        reg::HKey child = 0;
        if (s.RegOpenKeyExA(key, sub.c_str(), 0, reg::kKeyRead, &child) != reg::kErrorSuccess) {
            out << "  cannot open " << sub << "\n";
            continue;
        }
        dumpKey(s, child, path + "\\" + sub, out);
        s.RegCloseKey(child);
    }
}

inline std::string dumpRegistry(reg::RegistryService& s) {
    std::ostringstream out;
    dumpKey(s, reg::kHkeyLocalMachine, "HKEY_LOCAL_MACHINE", out);
    dumpKey(s, reg::kHkeyUsers, "HKEY_USERS", out);
    dumpKey(s, reg::kHkeyCurrentUser, "HKEY_CURRENT_USER", out);
    dumpKey(s, reg::kHkeyClassesRoot, "HKEY_CLASSES_ROOT", out);
    return out.str();
}

struct StoredValue {
    DWORD type = 0;
    std::string data;
};

// Opens a key given by its full path below HKEY_CURRENT_USER.
inline bool openUserKey(reg::RegistryService& s, const std::string& path, reg::HKey& key) {
    const std::string root = "HKEY_CURRENT_USER";
    if (path.rfind(root, 0) != 0)
        return false;
    std::string sub = path.substr(root.size());
    if (!sub.empty() && sub[0] == '\\')
        sub.erase(0, 1);
    return s.RegOpenKeyExA(reg::kHkeyCurrentUser, sub.c_str(), 0, reg::kKeyRead, &key) == reg::kErrorSuccess;
}

inline std::optional<StoredValue> valueOf(reg::RegistryService& s, const std::string& path,
                                          const std::string& name) {
    reg::HKey key = 0;
    if (!openUserKey(s, path, key))
        return std::nullopt;
    StoredValue v;
    std::vector<std::uint8_t> data;
    const reg::LONG rc = s.QueryValueRaw(key, name, v.type, data);
    s.RegCloseKey(key);
    if (rc != reg::kErrorSuccess)
        return std::nullopt;
    v.data.assign(data.begin(), data.end());
    return v;
}

inline bool keyExists(reg::RegistryService& s, const std::string& path) {
    reg::HKey key = 0;
    if (!openUserKey(s, path, key))
        return false;
    s.RegCloseKey(key);
    return true;
}

// Every test gets its own folder and store.
class ReaderTest : public ::testing::Test {
protected:
    std::string storePath(const std::string& name = "registry.db") const { return (dir_ / name).string(); }

    reg::RegistryService& store() {
        if (!store_)
            store_ = reg::openStore(storePath());
        return *store_;
    }
    void closeStore() { store_.reset(); }

    Result import(const std::string& file) { return importRegBytes(store(), file, "test.reg"); }
    std::optional<StoredValue> value(const std::string& path, const std::string& name) {
        return valueOf(store(), path, name);
    }
    bool exists(const std::string& path) { return keyExists(store(), path); }
    std::string dump() { return dumpRegistry(store()); }

    karvo::test::TempDir dir_;

private:
    std::unique_ptr<reg::RegistryService> store_;
};

}  // namespace karvo::regfile::test
