// Shared helpers of the .reg tests: file bytes, a private store per test, and a store wrapper that
// counts or breaks single registry calls.
#pragma once

#include "TestStore.h"
#include "regfile/RegFile.h"
#include "registry/TextCodec.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <initializer_list>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace karvo::regfile::test {

using reg::DWORD;
using reg::HKey;
using reg::LONG;
using karvo::test::readFile;
using karvo::test::writeFile;
using karvo::test::wz;

// The tests' own key. On Windows it lies in the system's registry (under Wine, the test run's
// throw-away prefix), so it is named after the process and removed afterwards.
inline const std::string kK = "HKEY_CURRENT_USER\\Software\\Karvo Tests\\regfile-" + std::to_string(::getpid());
#ifdef _WIN32
inline constexpr bool kSystemRegistry = true;
#else
inline constexpr bool kSystemRegistry = false;
#endif
// Where the Windows build's registry, under Wine, differs from the store: no batches; a key named
// by the path it was opened with, not as stored; no path longer than 260 characters.
inline constexpr bool kBatches = !kSystemRegistry;
inline constexpr bool kStoredSpelling = !kSystemRegistry;
inline const std::size_t kLongestKeyName = kSystemRegistry ? 259 - kK.size() + 17 : 255;
inline const std::string kHeader5 = "Windows Registry Editor Version 5.00";

// The text with the letter case of every ASCII letter turned round.
inline std::string otherCase(std::string s) {
    for (char& c : s)
        c = std::isalpha(static_cast<unsigned char>(c)) ? static_cast<char>(c ^ 0x20) : c;
    return s;
}
// UTF-16LE bytes of UTF-8 text, without a terminating NUL (wz adds one).
inline std::string w(std::string_view utf8) { return text::utf8ToUtf16le(utf8); }
inline std::string bytes(std::initializer_list<int> list) { return {list.begin(), list.end()}; }
inline std::string dwordBytes(std::uint32_t v) {
    return bytes({int(v & 255), int(v >> 8 & 255), int(v >> 16 & 255), int(v >> 24)});
}
inline std::string hexOf(const std::string& data) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : data)
        out += {digits[c >> 4], digits[c & 15]};
    return out;
}

// The lines joined by eol: a 5.00 file is UTF-16LE behind its BOM, an 8-bit file stays as given.
inline std::string regFile(const std::vector<std::string>& lines, bool unicode, const std::string& eol = "\r\n",
                           bool finalEol = true) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += lines[i] + (i + 1 < lines.size() || finalEol ? eol : "");
    return unicode ? "\xFF\xFE" + w(text) : text;
}
inline std::string ansiFile(const std::vector<std::string>& lines) { return regFile(lines, false); }
// What an export writes: the header of the format, then the lines.
inline std::string exportFile(std::vector<std::string> lines, Format format = Format::Unicode5) {
    lines.insert(lines.begin(), format == Format::Unicode5 ? kHeader5 : "REGEDIT4");
    return regFile(lines, format == Format::Unicode5);
}

// The line number in "name:LINE: problem", or 0.
inline int failingLine(const Result& r, const std::string& name = "test.reg") {
    return r.message.rfind(name + ":", 0) == 0 ? std::atoi(r.message.c_str() + name.size() + 1) : 0;
}

// Shows a 5.00 file as readable text when a comparison fails.
inline std::string readable(const std::string& file) {
    return file.rfind("\xFF\xFE", 0) == 0 ? "<BOM>" + text::utf16leToUtf8(std::string_view(file).substr(2)) : file;
}
// Wine lists values sorted by name (Windows and the store in creation order): there the lines of
// a file are compared in any order.
inline void expectFileEq(const std::string& expected, const std::string& actual) {
    const auto lines = [](const std::string& file) {
        std::multiset<std::string> set;
        std::istringstream in(readable(file));
        for (std::string line; std::getline(in, line);)
            set.insert(line);
        return set;
    };
    if (kSystemRegistry && lines(expected) == lines(actual))
        return;
    EXPECT_EQ(readable(expected), readable(actual)) << "the file bytes differ";
}

// Passes every call to a real store; a test sets the hooks it needs and reads the counters.
class Forwarding : public reg::RegistryService {
public:
    explicit Forwarding(reg::RegistryService& inner) : in_(inner) {}
    using U8 = std::uint8_t;
    LONG RegOpenKeyExA(HKey k, const char* s, DWORD o, DWORD a, HKey* r) override {
        return in_.RegOpenKeyExA(k, s, o, a, r);
    }
    LONG RegCreateKeyExA(HKey k, const char* s, DWORD res, const char* c, DWORD o, DWORD a,
                         const reg::SecurityAttributes* sa, HKey* r, DWORD* d) override {
        return ++creates, in_.RegCreateKeyExA(k, s, res, c, o, a, sa, r, d);
    }
    LONG RegCloseKey(HKey k) override { return ++closes, in_.RegCloseKey(k); }
    LONG RegDeleteValueA(HKey k, const char* n) override { return in_.RegDeleteValueA(k, n); }
    LONG EnumKeyRaw(HKey k, DWORD i, std::string& n) override { return in_.EnumKeyRaw(k, i, n); }
    LONG EnumValueRaw(HKey k, DWORD i, std::string& n, DWORD& t, std::vector<U8>& d) override {
        std::string path;
        const bool refused = !unreadable.empty() && in_.KeyPath(k, path) && path.find(unreadable) != std::string::npos;
        return refused ? reg::kErrorCantRead : in_.EnumValueRaw(k, i, n, t, d);
    }
    LONG SetValueRaw(HKey k, const std::string& n, DWORD t, const U8* d, std::size_t s) override {
        const LONG rc = onSet ? onSet(++sets) : (++sets, reg::kErrorSuccess);
        return rc != reg::kErrorSuccess ? rc : in_.SetValueRaw(k, n, t, d, s);
    }
    LONG DeleteTree(HKey k, const char* s) override { return in_.DeleteTree(k, s); }
    bool KeyPath(HKey k, std::string& p) override { return in_.KeyPath(k, p); }
    LONG BeginBatch() override { return ++begins, batches ? in_.BeginBatch() : reg::kErrorNotSupported; }
    LONG CommitBatch() override { return ++commits, in_.CommitBatch(); }
    LONG RollbackBatch() override { return ++rollbacks, in_.RollbackBatch(); }
    // The .reg code makes none of these calls.
    LONG RegQueryValueExA(HKey, const char*, DWORD*, DWORD*, U8*, DWORD*) override { return unused(); }
    LONG RegSetValueExA(HKey, const char*, DWORD, DWORD, const U8*, DWORD) override { return unused(); }
    LONG RegDeleteKeyA(HKey, const char*) override { return unused(); }
    LONG RegEnumKeyA(HKey, DWORD, char*, DWORD) override { return unused(); }
    LONG RegEnumValueA(HKey, DWORD, char*, DWORD*, DWORD*, DWORD*, U8*, DWORD*) override { return unused(); }
    LONG RegQueryInfoKeyA(HKey, char*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*,
                          void*) override {
        return unused();
    }
    LONG QueryValueRaw(HKey, const std::string&, DWORD&, std::vector<U8>&) override { return unused(); }
    static LONG unused() { return ADD_FAILURE() << "an unexpected registry call", reg::kErrorNotSupported; }
    bool batches = true;
    std::string unreadable;          // values of keys whose path holds this cannot be read
    std::function<LONG(int)> onSet;  // given the number of the SetValueRaw call
    int creates = 0, closes = 0, sets = 0, begins = 0, commits = 0, rollbacks = 0;

private:
    reg::RegistryService& in_;
};

// Every test gets its own folder and store, and no initializer left over from another test.
class RegTest : public ::testing::Test, public karvo::test::TestStore {
public:
    void SetUp() override { reg::setNewStoreInitializer(nullptr); }
#ifdef _WIN32
    // The system's registry is shared: a fresh store is the tests' key gone.
    void freshStore() { store().DeleteTree(reg::kHkeyCurrentUser, kK.substr(kK.find('\\') + 1).c_str()); }
    ~RegTest() override {
        freshStore();
        store().RegDeleteKeyA(reg::kHkeyCurrentUser, "Software\\Karvo Tests");  // only when no other run's key is left
    }
#endif

    Result import(const std::string& file) { return importRegBytes(store(), file, "test.reg"); }
    std::string exported(const std::string& keyPath, Format format = Format::Unicode5) {
        std::ostringstream out;
        const Result r = exportRegistry(store(), keyPath, format, out);
        EXPECT_TRUE(r.ok) << r.message;
        return out.str();
    }
    // Everything a test may change, for before/after comparisons: the whole private store, or on
    // Windows the tests' key.
    std::string snapshot() { return readable(exported(kSystemRegistry ? kK : "")); }
};

}  // namespace karvo::regfile::test
