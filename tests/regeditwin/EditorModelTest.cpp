#include "regedit/window/EditorModel.h"

#include "TestStore.h"

#include <gtest/gtest.h>

using namespace karvo;
using namespace karvo::regedit;
using Bytes = std::vector<std::uint8_t>;
using karvo::test::wz;

namespace {

KeyRef hkcu(std::vector<std::string> parts = {}) { return {reg::kHkeyCurrentUser, "HKEY_CURRENT_USER", std::move(parts)}; }
ValueEntry value(reg::DWORD type, Bytes data) { return {"v", type, std::move(data)}; }
const reg::DWORD kSz = reg::kRegSz, kDw = reg::kRegDword, kQw = reg::kRegQword, kBin = reg::kRegBinary;

}  // namespace

TEST(EditorPaths, AddressBarAcceptsTheUsualSpellings) {
    for (const auto& [typed, expected] : std::vector<std::pair<const char*, const char*>>{
             {"HKEY_CURRENT_USER\\Software", "HKEY_CURRENT_USER|Software"}, {"Computer\\HKEY_USERS", "HKEY_USERS|"},
             {"  computer\\hklm\\SOFTWARE\\\\Classes\\ ", "HKEY_LOCAL_MACHINE|SOFTWARE\\Classes"}, {"Computer", "|"},
             {"hkcr", "HKEY_CLASSES_ROOT|"}, {"HKU\\.DEFAULT", "HKEY_USERS|.DEFAULT"}, {"HKEY_DYN_DATA", "refused"},
             {"HKCC\\System", "HKEY_CURRENT_CONFIG|System"}, {"HKEY_CURRENT_USERS\\Software", "refused"},
             {"Software\\Classes", "refused"}, {"", "refused"}}) {
        const auto ref = parseKeyPath(typed);
        EXPECT_EQ(expected, ref ? ref->rootName + "|" + ref->subPath() : "refused") << typed;
    }
}

TEST(EditorValues, DataIsShownAsTheUserKnowsItAndEditedTextBecomesStoredData) {
    const std::vector<std::pair<ValueEntry, const char*>> shown = {
        {value(kDw, {255, 255, 255, 255}), "0xffffffff (4294967295)"},
        {value(kQw, {42, 0, 0, 0, 0, 0, 0, 0}), "0x0000002a (42)"},
        {value(kQw, {0, 0, 0, 0, 1, 0, 0, 0}), "0x100000000 (4294967296)"},
        {value(reg::kRegDwordBigEndian, {0, 0, 0, 42}), "0x0000002a (42)"},
        {value(kDw, {1, 2}), "(invalid 32-bit number)"}, {value(kBin, {1, 0xab, 0xff}), "01 ab ff"},
        {value(kBin, {}), "(zero-length binary value)"}, {value(kSz, encodeString("héllo")), "héllo"},
        {value(reg::kRegMultiSz, encodeMultiString({"one", "", "two"})), "one two"},
        {value(kSz, {'a', 0, 'b', 0}), "ab"}};  // a string stored without its terminator is shown whole
    for (const auto& [v, text] : shown)
        EXPECT_EQ(text, displayData(v)) << text;
    EXPECT_EQ("REG_QWORD REG_UNKNOWN (0x100)", typeName(reg::kRegQword) + " " + typeName(0x100));
    const std::vector<std::tuple<reg::DWORD, const char*, std::optional<Bytes>>> edited = {
        {kDw, "2A", Bytes{0x2a, 0, 0, 0}}, {kDw, "0xffffffff", Bytes{0xff, 0xff, 0xff, 0xff}},
        {kDw, "100000000", std::nullopt}, {kDw, "12g", std::nullopt}, {kDw, "", std::nullopt},
        {kQw, "100000000", Bytes{0, 0, 0, 0, 1, 0, 0, 0}}, {kQw, "10000000000000000", std::nullopt},
        {kBin, " 01 a0,FF b ", Bytes{1, 0xa0, 0xff, 0x0b}}, {kBin, "01a0ff", Bytes{1, 0xa0, 0xff}},
        {kBin, "", Bytes{}}, {kBin, "abc", std::nullopt}, {kBin, "0x12", std::nullopt}, {kSz, "a", Bytes{'a', 0, 0, 0}},
        {reg::kRegMultiSz, "a\r\n\r\nb\n", Bytes{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}}};
    for (const auto& [type, text, data] : edited) {
        std::string problem;
        EXPECT_EQ(data, dataFromEditText(type, text, &problem)) << text;
        EXPECT_EQ(problem.empty(), data.has_value()) << text;
    }
    // What the user is given to edit comes back unchanged.
    for (const ValueEntry& v : {value(reg::kRegQword, {1, 2, 3, 4, 5, 6, 7, 8}), value(reg::kRegBinary, {0, 1, 254}),
                                value(reg::kRegMultiSz, encodeMultiString({"x y", "z"})),
                                value(reg::kRegExpandSz, encodeString("%PATH%;ü"))})
        EXPECT_EQ(v.data, dataFromEditText(v.type, editText(v)));
}

class EditorStore : public ::testing::Test, public test::TestStore {
protected:
    const std::string cu = "HKEY_CURRENT_USER\\";
    std::vector<std::string> names(const KeyRef& key) {
        std::vector<std::string> n;
        for (const ValueEntry& v : listValues(store(), key))
            n.push_back(v.isSet ? v.name : "<unset>");
        return n;
    }
};

// The window's tests resolve typed paths and make the ordinary changes; these are the listing order,
// the numbering and the refusals.
TEST_F(EditorStore, ValuesListDefaultFirstNewNamesTakeTheNextFreeNumberWhatCannotBeIsRefused) {
    setSz(cu + "K", "Beta", "2");
    setSz(cu + "K", "alpha", "1");
    EXPECT_EQ((std::vector<std::string>{"<unset>", "alpha", "Beta"}), names(hkcu({"K"})));
    setSz(cu + "K", "", "d");
    EXPECT_EQ((std::vector<std::string>{"", "alpha", "Beta"}), names(hkcu({"K"})));
    EXPECT_EQ("d", displayData(listValues(store(), hkcu({"K"}))[0]));
    touch(cu + "K\\new key #1");
    const EditResult k = createKey(store(), hkcu({"K"}));
    EXPECT_EQ("New Key #2", k.name) << k.message;
    EXPECT_TRUE(exists(cu + "K\\New Key #2"));
    const std::vector<Value> types = {{reg::kRegSz, std::string(2, '\0')}, {reg::kRegExpandSz, std::string(2, '\0')},
                                      {reg::kRegMultiSz, std::string(2, '\0')}, {reg::kRegBinary, ""},
                                      {reg::kRegDword, std::string(4, '\0')}, {reg::kRegQword, std::string(8, '\0')}};
    for (std::size_t n = 0; n < types.size(); ++n) {
        const EditResult v = createValue(store(), hkcu({"K"}), types[n].first);
        EXPECT_EQ("New Value #" + std::to_string(n + 1), v.name) << v.message;
        EXPECT_EQ(types[n], value(cu + "K", v.name));
    }
    EXPECT_FALSE(createKey(store(), KeyRef{}).ok());  // nothing beside the roots
    setSz(cu + "K", "other", "x");
    const EditResult taken = renameValue(store(), hkcu({"K"}), "New Value #4", "OTHER");
    EXPECT_NE(std::string::npos, taken.message.find("already exists"));
    EXPECT_EQ(wz("x"), data(cu + "K", "other"));
    ASSERT_TRUE(renameValue(store(), hkcu({"K"}), "other", "OTHER").ok());
    EXPECT_EQ(wz("x"), data(cu + "K", "OTHER"));
    EXPECT_EQ("OTHER", names(hkcu({"K"})).back());
    EXPECT_FALSE(renameValue(store(), hkcu({"K"}), "OTHER", "").ok());
    EXPECT_EQ(reg::kErrorFileNotFound, renameValue(store(), hkcu({"K"}), "nope", "x").error);
    set(cu + "P\\New\\Child", "b", reg::kRegDword, std::string("\x07\0\0\0", 4));
    touch(cu + "P\\Taken");
    for (const char* refused : {"taken", "a\\b", ""})
        EXPECT_FALSE(renameKey(store(), hkcu({"P", "New"}), refused).ok()) << refused;
    EXPECT_FALSE(renameKey(store(), hkcu(), "x").ok());
    ASSERT_TRUE(renameKey(store(), hkcu({"P", "New"}), "NEW").ok());
    EXPECT_EQ((std::vector<std::string>{"NEW", "Taken"}), listSubKeys(store(), hkcu({"P"})));
    EXPECT_EQ(std::string("\x07\0\0\0", 4), data(cu + "P\\NEW\\Child", "b"));
    EXPECT_EQ(reg::kErrorFileNotFound, deleteValue(store(), hkcu({"P"}), "v").error);
    EXPECT_FALSE(deleteKey(store(), hkcu()).ok());
    EXPECT_EQ(reg::kErrorFileNotFound, deleteKey(store(), hkcu({"P", "Gone"})).error);
}

TEST_F(EditorStore, FindWalksKeysValuesThenSubKeysAndGoesOn) {
    setSz(cu + "F\\A", "note", "needle in data");
    setSz(cu + "F\\A", "needle name", "x");
    touch(cu + "F\\A\\Needle Key");
    const Bytes multi = encodeMultiString({"hay", "NEEDLE"});
    set(cu + "F\\B", "m", reg::kRegMultiSz, {multi.begin(), multi.end()});
    FindQuery q{"needle"};
    std::vector<std::string> hits;
    KeyRef at = hkcu({"F"});
    std::optional<std::string> after;
    for (auto hit = findNext(store(), at, after, q); hit && !hit->key.parts.empty() && hit->key.parts[0] == "F";
         hit = findNext(store(), at, after, q)) {
        hits.push_back(hit->key.subPath() + (hit->value ? "|" + *hit->value : ""));
        at = hit->key;
        after = hit->value;
    }
    EXPECT_EQ((std::vector<std::string>{"F\\A|needle name", "F\\A|note", "F\\A\\Needle Key", "F\\B|m"}), hits);
    q = {"NEEDLE NAME", false, true, true, true};  // no keys, whole names or data only
    EXPECT_EQ("F\\A", findNext(store(), KeyRef{}, std::nullopt, q).value_or(FindHit{}).key.subPath());
    q.text = "absent";
    EXPECT_FALSE(findNext(store(), KeyRef{}, std::nullopt, q));
}
