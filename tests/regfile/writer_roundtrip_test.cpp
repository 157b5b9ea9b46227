// Export, import into an empty store, export again: the two files must be identical, for trees
// with every value type, awkward names and long data. Also the default registry's own content.

#include "regfile/DefaultRegistry.h"
#include "writer_support.h"

#include <random>

namespace karvo::regfile::writertest {
namespace {

const std::vector<std::string> kKeyNames = {
    "plain", "with space", "trailing space ", "tab\there", "quote\"d", "semi;colon", "#hash", "eq=ual",
    "[bracket]", "-dash", "@", "\xC3\x9Cn\xC3\xAF" "c\xC3\xB8" "d\xC3\xA9", "emoji\xF0\x9F\x98\x80", "Zeta", "_under",
    "https://example.org", "a%PATH%"};
const std::vector<std::string> kValueNames = {
    "", "v", "back\\slash", "\\lead", "end\\", "quo\"te", "\"", "=", ";", "#", "@", "[x]", "  spaced  ",
    "\xE2\x82\xAC uro", "hex(2):", "dword:1", "-"};

class RoundTrip {
public:
    explicit RoundTrip(unsigned seed) : rng_(seed) {}

    void fill(WriterTest& t, const std::string& path, int depth, bool eightBitSafe) {
        t.touch(path);
        const int values = pick(6);
        for (int i = 0; i < values; ++i) {
            const std::string& name = kValueNames[static_cast<std::size_t>(pick(static_cast<int>(kValueNames.size())))];
            std::string data;
            const DWORD type = value(data, eightBitSafe);
            t.set(path, name, type, data);
        }
        if (depth == 0)
            return;
        const int children = pick(4);
        for (int i = 0; i < children; ++i)
            fill(t, path + "\\" + kKeyNames[static_cast<std::size_t>(pick(static_cast<int>(kKeyNames.size())))],
                 depth - 1, eightBitSafe);
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::string text() {
        static const std::vector<std::string> pieces = {
            "a", "Z", " ", "\\", "\"", "\\\\", "%PATH%", ";", "#", "=", "\t", "\xC3\xA9", "\xE2\x82\xAC",
            "\xF0\x9F\x98\x80", "C:\\WINDOWS\\system32", "\r\n", "\\0"};
        std::string s;
        const int n = pick(12);
        for (int i = 0; i < n; ++i)
            s += pieces[static_cast<std::size_t>(pick(static_cast<int>(pieces.size())))];
        return s;
    }

    std::string raw(int maxLength) {
        std::string s(static_cast<std::size_t>(pick(maxLength + 1)), '\0');
        for (char& c : s)
            c = static_cast<char>(pick(256));
        return s;
    }

    DWORD value(std::string& data, bool eightBitSafe) {
        switch (pick(11)) {
        case 0:
            data = wz(text());
            return reg::kRegSz;
        case 1:  // embedded NULs, or nothing at all
            data = pick(3) == 0 ? std::string() : wz(text()) + wz(text());
            return reg::kRegSz;
        case 2:
            data = pick(4) == 0 ? std::string() : wz(text());
            return reg::kRegExpandSz;
        case 3:
            data.clear();
            for (int i = pick(5); i > 0; --i)
                data += wz("item" + text());
            data += std::string(2, '\0');
            return reg::kRegMultiSz;
        case 4:
            data = raw(600);
            return reg::kRegBinary;
        case 5:
            data = raw(4).substr(0, 4);
            data.resize(pick(3) == 0 ? data.size() : 4, '\x7f');
            return reg::kRegDword;
        case 6:
            data = raw(8);
            data.resize(8, '\x01');
            return reg::kRegQword;
        case 7:
            data = raw(40);
            return reg::kRegNone;
        case 8:
            data = raw(4);
            return reg::kRegDwordBigEndian;
        case 9:
            data = raw(200);
            return pick(2) == 0 ? 0x100u : 0xffffffffu;
        default:
            // Windows strings may hold anything, but an 8-bit file carries only proper text.
            // (text types always end in a NUL on import, so raw text data ends in one here)
            data = eightBitSafe ? wz(text()) : raw(30);
            if (!eightBitSafe) {
                data.resize(data.size() & ~std::size_t{1});
                data.append(2, '\0');
            }
            return eightBitSafe ? reg::kRegSz : reg::kRegMultiSz;
        }
    }

    std::mt19937 rng_;
};

class RoundTripTest : public WriterTest {
protected:
    // Imports `file` into a fresh store and exports `key` from it again.
    std::string reexported(const std::string& file, const std::string& key, Format format) {
        karvo::test::TempDir other;
        auto fresh = reg::openStore((other / "registry.db").string());
        const Result imported = importRegBytes(*fresh, file, "export.reg");
        EXPECT_TRUE(imported.ok) << imported.message;
        std::ostringstream out;
        const Result r = exportRegistry(*fresh, key, format, out);
        EXPECT_TRUE(r.ok) << r.message;
        return out.str();
    }
};

TEST_F(RoundTripTest, GeneratedTreesComeBackByteForByte) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string top = "HKEY_CURRENT_USER\\Software\\Tree" + std::to_string(seed);
        RoundTrip(seed).fill(*this, top, 4, false);
        const std::string first = exported(top);
        expectFileEq(first, reexported(first, top, Format::Unicode5));
    }
}

TEST_F(RoundTripTest, Regedit4ComesBackByteForByte) {
    for (unsigned seed = 100; seed <= 105; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string top = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tree" + std::to_string(seed);
        RoundTrip(seed).fill(*this, top, 3, true);
        const std::string first = exported(top, Format::Regedit4);
        EXPECT_EQ(first, reexported(first, top, Format::Regedit4));
        // and the Unicode export of the REGEDIT4 import matches the original store's
        karvo::test::TempDir other;
        auto fresh = reg::openStore((other / "registry.db").string());
        ASSERT_TRUE(importRegBytes(*fresh, first, "a.reg").ok);
        std::ostringstream again;
        ASSERT_TRUE(exportRegistry(*fresh, top, Format::Unicode5, again).ok);
        expectFileEq(exported(top), again.str());
    }
}

TEST_F(RoundTripTest, DefaultRegistryFillsEveryNewStore) {
    ASSERT_TRUE(validateRegBytes(defaultRegistryText(), "default.reg").ok);
    installDefaultRegistry();
    karvo::test::TempDir other;
    auto fresh = reg::openStore((other / "registry.db").string());
    reg::setNewStoreInitializer(nullptr);

    // The About box's two look-ups, through the ANSI functions it uses.
    const auto query = [&](const char* path, const char* name) {
        reg::HKey key = 0;
        std::string result;
        if (fresh->RegOpenKeyExA(reg::kHkeyLocalMachine, path, 0, 0x2003F, &key) != reg::kErrorSuccess)
            return result;
        char buffer[1024] = {};
        DWORD type = 0;
        DWORD size = sizeof buffer;
        if (fresh->RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<std::uint8_t*>(buffer), &size) ==
            reg::kErrorSuccess)
            result = buffer;
        fresh->RegCloseKey(key);
        return result;
    };
    EXPECT_EQ("C:\\WINDOWS\\msinfo32.exe", query("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH"));
    EXPECT_EQ("C:\\WINDOWS", query("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO"));

    std::ostringstream whole;
    ASSERT_TRUE(exportRegistry(*fresh, "", Format::Unicode5, whole).ok);
    const std::string text = readable(whole.str());
    std::size_t keys = 0;
    for (std::size_t at = text.find("\r\n["); at != std::string::npos; at = text.find("\r\n[", at + 1))
        ++keys;
    EXPECT_GT(keys, 300u);
    for (const char* type : {"=hex(2):", "=hex(7):", "=hex:", "=dword:", "=hex(b):", "=\""})
        EXPECT_NE(text.find(type), std::string::npos) << type;

    // Round trip of the whole default registry.
    expectFileEq(whole.str(), reexported(whole.str(), "", Format::Unicode5));
}

}  // namespace
}  // namespace karvo::regfile::writertest
