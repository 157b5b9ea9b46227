// The registry functions as every back end must answer them (where back ends differ, the test says
// so), and the kernel helpers and text conversion that come with them.
#include "registry/TextCodec.h"
#include "registry_area.h"

#include <cstring>

namespace karvo::test {
namespace {

using Service = RegistryArea;
using namespace karvo::text;

TEST_F(Service, KeyNamesIgnoreCaseKeepTheirSpellingAndListInUpperCaseOrderUpTo255Characters) {
    HKey h = 0;
    DWORD created = 0, opened = 0;
    expectResults({{reg.RegCreateKeyExA(root, (base + "\\Karvo Test\\Deep").c_str(), 0, "", 0, 0x3F, nullptr, &h, &created), 0},
                   {reg.RegCloseKey(h), 0},
                   {reg.RegCreateKeyExA(area, "KARVO test\\dEEP", 0, "", 0, 0x3F, nullptr, &h, &opened), 0}, {reg.RegCloseKey(h), 0},
                   {open("karvo test\\\\DEEP\\", kKeyRead, h), 0}, {reg.RegCloseKey(h), 0}});  // doubled and trailing "\\" too
    EXPECT_EQ(std::make_pair(created, opened), std::make_pair(kRegCreatedNewKey, kRegOpenedExistingKey));
    // Compared upper-cased: "_" (0x5F) follows "Z" (0x5A), so "AZ" < "A_B" and "ZULU" < "_UNDER".
    for (const char* name : {"beta", "_under", "Zulu", "Alpha", "alpha2", "a_b", "aZ", "10", "9"}) create(name, area);
    EXPECT_EQ(subKeys(area), (Strings{"10", "9", "Alpha", "alpha2", "aZ", "a_b", "beta", "Karvo Test", "Zulu", "_under"}));
    char buffer[256];
    EXPECT_EQ(reg.RegEnumKeyA(area, 10, buffer, sizeof buffer), kErrorNoMoreItems);
    ASSERT_EQ(reg.DeleteTree(area, nullptr), kErrorSuccess);

    const std::string longest(255, 'k'), tooLong(256, 'k');
    h = create(longest, area);
    std::string greek;  // 255 characters of two bytes each still fit: the limit counts characters
    for (int i = 0; i < 255 && ansiIsUtf8(); ++i) greek += "λ";
    if (ansiIsUtf8()) create(greek, area);
    EXPECT_EQ(subKeys(area), ansiIsUtf8() ? (Strings{longest, greek}) : Strings{longest});  // listed whole
    // Windows refuses a name longer than 255 characters ("Registry element size limits"); Wine takes it.
    EXPECT_EQ(reg.RegCreateKeyExA(area, tooLong.c_str(), 0, "", 0, 0x3F, nullptr, &h, nullptr), underWine() ? 0 : kErrorInvalidParameter);
    if (underWine()) reg.RegCloseKey(h), reg.RegDeleteKeyA(area, tooLong.c_str());
    EXPECT_EQ(reg.RegOpenKeyExA(area, tooLong.c_str(), 0, kKeyRead, &h), underWine() ? kErrorFileNotFound : kErrorInvalidParameter);
    DWORD count = 0, maxLen = 0;  // the longest in ANSI bytes, the unit of the A functions; Wine counts characters even there
    ASSERT_EQ(reg.RegQueryInfoKeyA(area, nullptr, nullptr, nullptr, &count, &maxLen, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr), kErrorSuccess);
    EXPECT_EQ(std::make_pair(count, maxLen), std::make_pair(ansiIsUtf8() ? 2u : 1u, ansiIsUtf8() && !underWine() ? DWORD(greek.size()) : 255u));
    // Windows limits names and the depth of the tree, not a path; Wine's ANSI calls refuse a path over 260.
    const std::string path = longest + "\\" + std::string(10, 'x');
    EXPECT_EQ(reg.RegCreateKeyExA(area, path.c_str(), 0, "", 0, 0x3F, nullptr, &h, nullptr), underWine() ? kErrorMoreData : 0);
    reg.RegCloseKey(h);

    if (!ansiIsUtf8()) return;  // letters beyond ASCII fold too; a different letter is a different key
    for (const auto& [name, other] : {std::pair{"Ärger", "äRGER"}, {"ελληνικά", "ΕΛΛΗΝΙΚΆ"}, {"кириллица", "КИРИЛЛИЦА"}, {"Łódź", "łÓDŹ"}})
        create(name, area), expectResults({{open(other, kKeyRead, h), kErrorSuccess}, {reg.RegCloseKey(h), kErrorSuccess}});
    EXPECT_EQ(open("Arger", kKeyRead, h), kErrorFileNotFound);
}

TEST_F(Service, MissingKeysBadOrStaleHandlesAndDeletesFailCleanly) {
    HKey h = 0, closed = 0;
    expectResults({{reg.RegCloseKey(0), kErrorInvalidHandle}, {reg.RegCloseKey(0x1234), kErrorInvalidHandle},
                   {open("NoSuchKey\\Below", kKeyRead, h), kErrorFileNotFound}, {LONG(h), 0},
                   {reg.RegOpenKeyExA(area, "", 0, kKeyRead, nullptr), kErrorInvalidParameter},
                   {reg.RegDeleteKeyA(area, "NoSuchKey"), kErrorFileNotFound}, {reg.DeleteTree(area, "NoSuchKey"), kErrorFileNotFound},
                   {reg.RegDeleteValueA(area, "NoSuchValue"), kErrorFileNotFound},
                   {open("", kKeyAllAccess, closed), kErrorSuccess}, {reg.RegCloseKey(closed), kErrorSuccess},
                   {reg.RegCloseKey(closed), kErrorInvalidHandle}, {setSz(closed, "v", "x"), kErrorInvalidHandle}});
    create("Parent\\Child");  // a key with sub-keys is refused; DeleteTree takes all, or only the contents without a name
    expectResults({{reg.RegDeleteKeyA(area, "Parent"), kErrorAccessDenied},
                   {reg.RegDeleteKeyA(area, "parent\\child"), kErrorSuccess}, {reg.RegDeleteKeyA(area, "Parent"), kErrorSuccess}});
    HKey top = create("Tree"), sibling = create("TreeSibling");
    for (const char* sub : {"A\\B\\C", "A\\D", "E"}) EXPECT_EQ(setSz(create(sub, top), "v", sub), kErrorSuccess);
    expectResults({{setSz(top, "own", "x"), 0}, {setSz(sibling, "kept", "x"), 0}, {reg.DeleteTree(top, nullptr), 0}});
    EXPECT_EQ(std::make_pair(subKeys(top), valueNames(top)), std::make_pair(Strings{}, Strings{}));
    create("Again\\Below", top);
    expectResults({{reg.DeleteTree(area, "TREE"), 0}, {open("Tree", kKeyRead, h), kErrorFileNotFound}});
    EXPECT_EQ(valueNames(sibling), Strings{"kept"});
    // A handle to a deleted key never reaches a new one of the same name.
    HKey old = create("Doomed");
    expectResults({{setSz(old, "v", "old"), 0}, {reg.RegDeleteKeyA(area, "Doomed"), 0}});
    HKey fresh = create("Doomed"), child = 0;
    std::string name;
    expectResults({{setSz(old, "v", "stale"), kErrorKeyDeleted}, {reg.RegDeleteValueA(old, "v"), kErrorKeyDeleted},
                   {reg.EnumKeyRaw(old, 0, name), kErrorKeyDeleted},
                   {reg.RegCreateKeyExA(old, "Child", 0, "", 0, 0x3F, nullptr, &child, nullptr), kErrorKeyDeleted}});
    EXPECT_EQ(std::make_pair(subKeys(fresh), valueNames(fresh)), std::make_pair(Strings{}, Strings{}));
}

TEST_F(Service, AccessRightsOfTheHandleAreHonoured) {
    create("Rights\\Existing");
    HKey query = 0, enumerate = 0, writable = 0, sub = 0;
    ASSERT_EQ(open("Rights", kKeyQueryValue, query) + open("Rights", kKeyEnumerateSubKeys, enumerate) +
              open("Rights", kKeySetValue | kKeyCreateSubKey, writable), kErrorSuccess);
    char name[256];
    std::string raw;
    DWORD size = 0, values = 0;
    // Windows asks KEY_QUERY_VALUE of RegQueryInfoKey and KEY_CREATE_SUB_KEY of a create that makes a
    // key (their reference pages); Wine checks neither. Opening an existing key needs no right.
    const LONG unchecked = underWine() ? kErrorSuccess : kErrorAccessDenied;
    expectResults({{reg.RegEnumKeyA(query, 0, name, sizeof name), kErrorAccessDenied}, {reg.EnumKeyRaw(query, 0, raw), kErrorAccessDenied},
                   {reg.RegEnumKeyA(enumerate, 0, name, sizeof name), kErrorSuccess},
                   {setSz(query, "v", "x"), kErrorAccessDenied}, {reg.RegDeleteValueA(query, "v"), kErrorAccessDenied},
                   {reg.RegQueryValueExA(enumerate, "v", nullptr, nullptr, nullptr, &size), kErrorAccessDenied},
                   {reg.RegQueryInfoKeyA(enumerate, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                         nullptr, nullptr, nullptr, nullptr), unchecked},
                   {setSz(writable, "v", "x"), kErrorSuccess}, {reg.RegQueryValueExA(query, "v", nullptr, nullptr, nullptr, &size), 0},
                   {reg.RegDeleteValueA(writable, "V"), kErrorSuccess}});
    for (const auto& [parent, child, result] :
         {std::tuple<HKey, const char*, LONG>{query, "New", unchecked}, {query, "Existing", 0}, {writable, "New", 0}}) {
        EXPECT_EQ(reg.RegCreateKeyExA(parent, child, 0, "", 0, 0x3F, nullptr, &sub, nullptr), result) << child;
        reg.RegCloseKey(sub);
    }
    for (HKey h : {query, enumerate, writable}) reg.RegCloseKey(h);
}

TEST_F(Service, ValuesKeepTheirPlaceAndSpellingWhenOverwrittenAndAnsiCallsConvertThemAndReportAnsiSizes) {
    for (const char* name : {"zeta", "Alpha", "", "mid", "ALPHA"})  // the last the same value, other case
        EXPECT_EQ(setSz(area, name, std::strcmp(name, "ALPHA") == 0 ? "2" : "1"), kErrorSuccess);
    EXPECT_EQ(valueNames(area), listed({"zeta", "Alpha", "", "mid"}));
    expectResults({{reg.RegDeleteValueA(area, "zeta"), kErrorSuccess}, {setSz(area, "zeta", "3"), kErrorSuccess}});
    EXPECT_EQ(valueNames(area), listed({"Alpha", "", "mid", "zeta"}));
    expectResults({{reg.RegDeleteValueA(area, "zeta"), kErrorSuccess}, {reg.RegDeleteValueA(area, "zeta"), kErrorFileNotFound}});
    EXPECT_EQ(rawValue(area, "alpha"), std::make_pair(kRegSz, Bytes{'2', 0, 0, 0}));
    const std::uint8_t dword[] = {0x2A, 0, 0, 0};  // a null name is the default value
    ASSERT_EQ(reg.RegSetValueExA(area, nullptr, 0, kRegDword, dword, 4), kErrorSuccess);
    EXPECT_EQ(rawValue(area, ""), std::make_pair(kRegDword, Bytes(dword, dword + 4)));
    ASSERT_EQ(reg.DeleteTree(area, nullptr), kErrorSuccess);

    // "héllo €" is 10 bytes in UTF-8; Windows' ANSI code page holds it only when that is UTF-8.
    const std::string text = store ? "h\xC3\xA9llo \xE2\x82\xAC" : "h\xE9llo \x80", multi("a\0b\0\0", 5);
    const DWORD ansiSize = static_cast<DWORD>(text.size() + 1);
    const auto set = [&](const char* name, DWORD type, const std::string& b) {
        return reg.RegSetValueExA(area, name, 0, type, reinterpret_cast<const std::uint8_t*>(b.data()), DWORD(b.size()));
    };
    expectResults({{setSz(area, "s", text), 0}, {set("m", kRegMultiSz, multi), 0}, {set("b", kRegBinary, text.substr(0, 3)), 0}});
    const Bytes utf16 = rawValue(area, "s").second;  // 8 UTF-16 units, the zero included
    EXPECT_EQ(std::make_pair(utf16.size(), std::vector<int>(utf16.begin() + 2, utf16.begin() + 4)),
              std::make_pair(std::size_t{16}, std::vector<int>{0xE9, 0}));
    EXPECT_EQ(rawValue(area, "m").second.size(), 10u);  // multi-strings keep their inner zeros; binary data is not converted
    EXPECT_EQ(rawValue(area, "b").second, Bytes(text.begin(), text.begin() + 3));
    DWORD type = 0, size = 0;
    std::uint8_t buffer[32] = {0xEE, 0xEE, 0xEE, 0xEE};
    const auto query = [&](const char* name, DWORD room, bool into = true) {  // the result and the size reported
        size = room;
        return std::make_pair(reg.RegQueryValueExA(area, name, nullptr, &type, into ? buffer : nullptr, &size), size);
    };
    EXPECT_EQ(query("s", 0, false), std::make_pair(kErrorSuccess, ansiSize));
    EXPECT_EQ(query("s", 3), std::make_pair(kErrorMoreData, ansiSize));
    EXPECT_EQ(buffer[3], 0xEE);  // nothing written past the caller's size
    EXPECT_EQ(query("s", sizeof buffer), std::make_pair(kErrorSuccess, ansiSize));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), text);
    EXPECT_EQ(query("m", sizeof buffer), std::make_pair(kErrorSuccess, DWORD{5}));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), multi);
    // RegEnumValueA: the name's length without its zero; a name that does not fit is refused.
    char name[4];
    DWORD nameLen = 3, at = 0;
    expectResults({{reg.RegEnumValueA(area, 0, name, &nameLen, nullptr, nullptr, nullptr, nullptr), 0}, {LONG(nameLen), 1},
                   {setSz(area, "abcd", "x"), 0}});
    Bytes raw;  // where "abcd" is listed
    for (std::string found; reg.EnumValueRaw(area, at, found, type, raw) == kErrorSuccess && found != "abcd";) ++at;
    EXPECT_EQ(reg.RegEnumValueA(area, at, name, &(nameLen = 4), nullptr, nullptr, nullptr, nullptr), kErrorMoreData);
    EXPECT_EQ(reg.RegEnumValueA(area, 4, name, &(nameLen = 4), nullptr, nullptr, nullptr, nullptr), kErrorNoMoreItems);
    // Stored text of odd length, or none, reads safely; the raw form keeps every byte as given.
    const std::uint8_t odd[] = {'A', 0, 'B'};
    expectResults({{reg.SetValueRaw(area, "odd", kRegSz, odd, sizeof odd), 0}, {reg.SetValueRaw(area, "empty", kRegSz, nullptr, 0), 0},
                   {query("odd", sizeof buffer).first, 0}, {buffer[0], 'A'}, {query("missing", 0, false).first, kErrorFileNotFound}});
    EXPECT_EQ(query("empty", sizeof buffer), std::make_pair(kErrorSuccess, DWORD{0}));
    EXPECT_EQ(rawValue(area, "odd").second, Bytes(odd, odd + 3));
}

std::string expand(const char* text) {  // through the kernel helper, checking the size it asks for
    const DWORD needed = karvo::reg::ExpandEnvironmentStringsA(text, nullptr, 0);
    std::string out(needed, '#');
    EXPECT_EQ(karvo::reg::ExpandEnvironmentStringsA(text, out.data(), needed), needed);
    out.pop_back();
    return out;
}

TEST(KernelHelpers, ExpandKnownNamesIgnoringCaseAndConvertTextReplacingBadInput) {
    ScopedEnv a("KARVO_TEST_DIR", "C:\\Karvo");
    for (const auto& [text, expanded] : std::initializer_list<std::pair<const char*, const char*>>{
             {"%KARVO_TEST_DIR%\\bin", "C:\\Karvo\\bin"}, {"x%karvo_test_dir%y", "xC:\\Karvoy"}, {"100%", "100%"}, {"%%", "%%"},
             {"%KARVO_NO_SUCH_NAME%", "%KARVO_NO_SUCH_NAME%"}, {"", ""},
             {"50% of %KARVO_TEST_DIR%", "50% of %KARVO_TEST_DIR%"},  // "% of %" is a name
             {"%KARVO_NO_SUCH_NAME%%KARVO_TEST_DIR%", "%KARVO_NO_SUCH_NAME%C:\\Karvo"}})
        EXPECT_EQ(expand(text), expanded) << text;
    // What a short buffer holds afterwards is not defined on Windows (Wine fills it part way).
    char buffer[4], bytes[] = "abcdef";
    EXPECT_EQ(karvo::reg::ExpandEnvironmentStringsA("%KARVO_TEST_DIR%", buffer, 4), 9u);
    karvo::reg::RtlMoveMemory(bytes + 1, bytes, 4);
    EXPECT_STREQ(bytes, "aabcdf");

    // ASCII, Latin-1, BMP (euro sign) and a supplementary character (surrogate pair in UTF-16).
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    EXPECT_EQ(utf8ToUtf16le(utf8), std::string("a\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE", 10));
    EXPECT_EQ(utf16leToUtf8(utf8ToUtf16le(utf8)), utf8);
    // A truncated sequence, an overlong slash, an encoded surrogate, a lone continuation byte.
    EXPECT_EQ(utf8ToUtf16le("\xE2\x82"), std::string("\xFD\xFF\xFD\xFF", 4));
    EXPECT_EQ(utf16leToUtf8(utf8ToUtf16le("\xC0\xAF")), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_FALSE(isValidUtf8("\x80") || isValidUtf8("\xED\xA0\x80"));
    EXPECT_TRUE(isValidUtf8("plain \xEF\xBF\xBD text"));
    // An unpaired surrogate and an odd trailing byte in stored data.
    EXPECT_EQ(utf16leToUtf8(std::string("\x00\xD8" "A\0" "B", 5)), "\xEF\xBF\xBD" "A");
    EXPECT_EQ(windows1252ToUtf8("\x80\x81\xE9"), "\xE2\x82\xAC\xC2\x81\xC3\xA9");
}

}  // namespace
}  // namespace karvo::test
