// Helpers of the .reg writer tests: a private store per test and the expected file bytes.
#pragma once

#include "TestSupport.h"
#include "regfile/RegFile.h"
#include "registry/RegistryService.h"
#include "registry/TextCodec.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace karvo::regfile::writertest {

using reg::DWORD;

inline const std::string kK = "HKEY_CURRENT_USER\\Software\\Wine\\regedit_test";

inline std::string bytes(std::initializer_list<int> list) {
    std::string out;
    for (int b : list)
        out.push_back(static_cast<char>(b));
    return out;
}
// UTF-16LE of UTF-8 text with its terminating NUL, as the store keeps string values.
inline std::string wz(std::string_view utf8) { return text::utf8ToUtf16le(utf8) + std::string(2, '\0'); }

// A whole 5.00 file: BOM, the header, then every line ending in CR LF.
inline std::string unicodeFile(const std::vector<std::string>& lines) {
    std::string text = "Windows Registry Editor Version 5.00\r\n";
    for (const auto& l : lines)
        text += l + "\r\n";
    return "\xFF\xFE" + text::utf8ToUtf16le(text);
}
inline std::string regedit4File(const std::vector<std::string>& lines) {
    std::string text = "REGEDIT4\r\n";
    for (const auto& l : lines)
        text += l + "\r\n";
    return text;
}

// Every test gets its own store in its own folder, and no initializer left over from another test.
class WriterTest : public ::testing::Test {
public:
    void SetUp() override {
        reg::setNewStoreInitializer(nullptr);
        store = reg::openStore((dir / "registry.db").string());
    }

    reg::HKey create(const std::string& path) {
        const auto slash = path.find('\\');
        const std::string root = path.substr(0, slash);
        const std::string sub = slash == std::string::npos ? "" : path.substr(slash + 1);
        reg::HKey rootKey = root == "HKEY_LOCAL_MACHINE" ? reg::kHkeyLocalMachine
                            : root == "HKEY_USERS"       ? reg::kHkeyUsers
                            : root == "HKEY_CLASSES_ROOT" ? reg::kHkeyClassesRoot
                                                          : reg::kHkeyCurrentUser;
        reg::HKey key = 0;
        DWORD disposition = 0;
        EXPECT_EQ(reg::kErrorSuccess, store->RegCreateKeyExA(rootKey, sub.c_str(), 0, "", 0, reg::kKeyAllAccess,
                                                             nullptr, &key, &disposition))
            << path;
        return key;
    }
    void set(const std::string& path, const std::string& name, DWORD type, const std::string& data) {
        const reg::HKey key = create(path);
        EXPECT_EQ(reg::kErrorSuccess,
                  store->SetValueRaw(key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
        store->RegCloseKey(key);
    }
    void setSz(const std::string& path, const std::string& name, std::string_view text) {
        set(path, name, reg::kRegSz, wz(text));
    }
    void setDword(const std::string& path, const std::string& name, std::uint32_t v) {
        set(path, name, reg::kRegDword,
            bytes({static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF),
                   static_cast<int>(v >> 24)}));
    }
    void touch(const std::string& path) { store->RegCloseKey(create(path)); }

    std::string exported(const std::string& keyPath, Format format = Format::Unicode5) {
        std::ostringstream out;
        const Result r = exportRegistry(*store, keyPath, format, out);
        EXPECT_TRUE(r.ok) << r.message;
        return out.str();
    }

    karvo::test::TempDir dir;
    std::unique_ptr<reg::RegistryService> store;
};

// Shows a 5.00 file as readable text when a comparison fails.
inline std::string readable(const std::string& file) {
    if (file.size() >= 2 && file[0] == '\xFF' && file[1] == '\xFE')
        return "<BOM>" + text::utf16leToUtf8(std::string_view(file).substr(2));
    return file;
}

inline void expectFileEq(const std::string& expected, const std::string& actual) {
    if (expected == actual)
        return;
    EXPECT_EQ(readable(expected), readable(actual));
    ADD_FAILURE() << "the file bytes differ";
}

}  // namespace karvo::regfile::writertest
