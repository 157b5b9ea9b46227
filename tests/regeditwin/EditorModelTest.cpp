#include "StoreFixture.h"
#include "regedit/window/EditorModel.h"

#include <gtest/gtest.h>

using namespace karvo;
using namespace karvo::regedit;
using Bytes = std::vector<std::uint8_t>;

namespace {

KeyRef hkcu(std::vector<std::string> parts = {}) {
    KeyRef k;
    k.root = reg::kHkeyCurrentUser;
    k.rootName = "HKEY_CURRENT_USER";
    k.parts = std::move(parts);
    return k;
}

ValueEntry value(reg::DWORD type, Bytes data, std::string name = "v") { return {std::move(name), type, std::move(data)}; }

}  // namespace

TEST(EditorPaths, AddressBarAcceptsTheUsualSpellings) {
    struct Case {
        const char* typed;
        const char* root;  // nullptr: refused
        const char* sub;
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER\\Software", "HKEY_CURRENT_USER", "Software"},
        {"  computer\\hklm\\SOFTWARE\\\\Classes\\ ", "HKEY_LOCAL_MACHINE", "SOFTWARE\\Classes"},
        {"Computer\\HKEY_USERS", "HKEY_USERS", ""},
        {"hkcr", "HKEY_CLASSES_ROOT", ""},
        {"HKU\\.DEFAULT", "HKEY_USERS", ".DEFAULT"},
        {"HKCC\\System", "HKEY_CURRENT_CONFIG", "System"},
        {"Computer", "", ""},
        {"HKEY_CURRENT_USERS\\Software", nullptr, ""},
        {"Software\\Classes", nullptr, ""},
        {"", nullptr, ""},
        {"HKEY_DYN_DATA", nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const auto ref = parseKeyPath(c.typed);
        if (!c.root) {
            EXPECT_FALSE(ref);
            continue;
        }
        ASSERT_TRUE(ref);
        EXPECT_EQ(c.root, ref->rootName);
        EXPECT_EQ(c.sub, ref->subPath());
    }
}

TEST(EditorValues, DataIsShownAsTheUserKnowsIt) {
    ValueEntry unset;
    unset.name = "";
    unset.isSet = false;
    EXPECT_EQ("(Default)", displayName(unset));
    EXPECT_EQ("(value not set)", displayData(unset));
    EXPECT_EQ("0x0000002a (42)", displayData(value(reg::kRegDword, {42, 0, 0, 0})));
    EXPECT_EQ("0xffffffff (4294967295)", displayData(value(reg::kRegDword, {255, 255, 255, 255})));
    EXPECT_EQ("0x0000002a (42)", displayData(value(reg::kRegQword, {42, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_EQ("0x100000000 (4294967296)", displayData(value(reg::kRegQword, {0, 0, 0, 0, 1, 0, 0, 0})));
    EXPECT_EQ("0x0000002a (42)", displayData(value(reg::kRegDwordBigEndian, {0, 0, 0, 42})));
    EXPECT_EQ("(invalid 32-bit number)", displayData(value(reg::kRegDword, {1, 2})));
    EXPECT_EQ("01 ab ff", displayData(value(reg::kRegBinary, {1, 0xab, 0xff})));
    EXPECT_EQ("(zero-length binary value)", displayData(value(reg::kRegBinary, {})));
    EXPECT_EQ("héllo", displayData(value(reg::kRegSz, encodeString("héllo"))));
    EXPECT_EQ("one two", displayData(value(reg::kRegMultiSz, encodeMultiString({"one", "", "two"}))));
    // A string stored without its terminator is shown whole.
    EXPECT_EQ("ab", displayData(value(reg::kRegSz, {'a', 0, 'b', 0})));
    EXPECT_EQ("REG_QWORD", typeName(reg::kRegQword));
    EXPECT_EQ("REG_UNKNOWN (0x100)", typeName(0x100));
}

TEST(EditorValues, EditedTextBecomesStoredData) {
    EXPECT_EQ(Bytes({0x2a, 0, 0, 0}), dataFromEditText(reg::kRegDword, "2A"));
    EXPECT_EQ(Bytes({0xff, 0xff, 0xff, 0xff}), dataFromEditText(reg::kRegDword, "0xffffffff"));
    std::string problem;
    EXPECT_FALSE(dataFromEditText(reg::kRegDword, "100000000", &problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_FALSE(dataFromEditText(reg::kRegDword, "12g"));
    EXPECT_FALSE(dataFromEditText(reg::kRegDword, ""));
    EXPECT_EQ(Bytes({0, 0, 0, 0, 1, 0, 0, 0}), dataFromEditText(reg::kRegQword, "100000000"));
    EXPECT_FALSE(dataFromEditText(reg::kRegQword, "10000000000000000"));
    EXPECT_EQ(Bytes({1, 0xa0, 0xff, 0x0b}), dataFromEditText(reg::kRegBinary, " 01 a0,FF b "));
    EXPECT_EQ(Bytes({1, 0xa0, 0xff}), dataFromEditText(reg::kRegBinary, "01a0ff"));
    EXPECT_EQ(Bytes{}, dataFromEditText(reg::kRegBinary, ""));
    EXPECT_FALSE(dataFromEditText(reg::kRegBinary, "abc"));
    EXPECT_FALSE(dataFromEditText(reg::kRegBinary, "0x12"));
    EXPECT_EQ(Bytes({'a', 0, 0, 0}), dataFromEditText(reg::kRegSz, "a"));
    EXPECT_EQ(Bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}), dataFromEditText(reg::kRegMultiSz, "a\r\n\r\nb\n"));
    // What the user is given to edit comes back unchanged.
    for (const ValueEntry& v : {value(reg::kRegQword, {1, 2, 3, 4, 5, 6, 7, 8}), value(reg::kRegBinary, {0, 1, 254}),
                                value(reg::kRegMultiSz, encodeMultiString({"x y", "z"})),
                                value(reg::kRegExpandSz, encodeString("%PATH%;ü"))})
        EXPECT_EQ(v.data, dataFromEditText(v.type, editText(v)));
}

using EditorStore = test::StoreTest;

TEST_F(EditorStore, PathsResolveToTheStoredSpelling) {
    makeKey("Software\\Karvo Test\\Deep");
    bool complete = false;
    KeyRef r = resolveExisting(store(), *parseKeyPath("hkcu\\SOFTWARE\\karvo test\\deep"), &complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\Karvo Test\\Deep", r.fullPath());
    r = resolveExisting(store(), *parseKeyPath("HKCU\\software\\karvo test\\missing\\deeper"), &complete);
    EXPECT_FALSE(complete);
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\Karvo Test", r.fullPath());
}

TEST_F(EditorStore, ValuesListDefaultFirstThenByName) {
    putString("K", "beta", "2");
    putString("K", "Alpha", "1");
    std::vector<ValueEntry> values = listValues(store(), hkcu({"K"}));
    ASSERT_EQ(3u, values.size());
    EXPECT_FALSE(values[0].isSet);
    EXPECT_EQ("", values[0].name);
    EXPECT_EQ("Alpha", values[1].name);
    EXPECT_EQ("beta", values[2].name);
    putString("K", "", "d");
    values = listValues(store(), hkcu({"K"}));
    ASSERT_EQ(3u, values.size());
    EXPECT_TRUE(values[0].isSet);
    EXPECT_EQ("d", displayData(values[0]));
}

TEST_F(EditorStore, NewKeysAndValuesTakeTheNextFreeNumber) {
    makeKey("K\\new key #1");
    const EditResult k = createKey(store(), hkcu({"K"}));
    ASSERT_TRUE(k.ok()) << k.message;
    EXPECT_EQ("New Key #2", k.name);
    EXPECT_TRUE(keyExists("K\\New Key #2"));

    const struct {
        reg::DWORD type;
        Bytes data;
    } types[] = {{reg::kRegSz, {0, 0}},      {reg::kRegExpandSz, {0, 0}}, {reg::kRegMultiSz, {0, 0}},
                 {reg::kRegBinary, {}},      {reg::kRegDword, Bytes(4)},  {reg::kRegQword, Bytes(8)}};
    int n = 0;
    for (const auto& t : types) {
        const EditResult v = createValue(store(), hkcu({"K"}), t.type);
        ASSERT_TRUE(v.ok()) << v.message;
        EXPECT_EQ("New Value #" + std::to_string(++n), v.name);
        const auto stored = raw("K", v.name);
        ASSERT_TRUE(stored);
        EXPECT_EQ(t.type, stored->first);
        EXPECT_EQ(t.data, stored->second);
    }
    EXPECT_FALSE(createKey(store(), KeyRef{}).ok());  // nothing beside the roots
}

TEST_F(EditorStore, RenamingAValueKeepsItsDataAndRefusesATakenName) {
    putRaw("K", "old", reg::kRegBinary, {1, 2, 3});
    putString("K", "other", "x");
    ASSERT_TRUE(renameValue(store(), hkcu({"K"}), "old", "new").ok());
    EXPECT_FALSE(raw("K", "old"));
    EXPECT_EQ(Bytes({1, 2, 3}), raw("K", "new")->second);

    const EditResult taken = renameValue(store(), hkcu({"K"}), "new", "OTHER");
    EXPECT_FALSE(taken.ok());
    EXPECT_NE(std::string::npos, taken.message.find("already exists"));
    EXPECT_EQ(Bytes({1, 2, 3}), raw("K", "new")->second);
    EXPECT_EQ(wide("x"), raw("K", "other")->second);

    // Only the letter case changes: the value must survive under its new spelling.
    ASSERT_TRUE(renameValue(store(), hkcu({"K"}), "new", "NEW").ok());
    std::vector<ValueEntry> values = listValues(store(), hkcu({"K"}));
    ASSERT_EQ(3u, values.size());
    EXPECT_EQ("NEW", values[1].name);
    EXPECT_EQ(Bytes({1, 2, 3}), values[1].data);

    EXPECT_FALSE(renameValue(store(), hkcu({"K"}), "NEW", "").ok());
    const EditResult missing = renameValue(store(), hkcu({"K"}), "nope", "x");
    EXPECT_EQ(reg::kErrorFileNotFound, missing.error);
    EXPECT_NE(std::string::npos, missing.message.find("Error 2: The system cannot find the file specified."));
}

TEST_F(EditorStore, RenamingAKeyMovesItsWholeSubTree) {
    putString("P\\Old", "a", "1");
    putRaw("P\\Old\\Child\\Grand", "b", reg::kRegDword, {7, 0, 0, 0});
    makeKey("P\\Taken");
    ASSERT_TRUE(renameKey(store(), hkcu({"P", "Old"}), "New").ok());
    EXPECT_FALSE(keyExists("P\\Old"));
    EXPECT_EQ(wide("1"), raw("P\\New", "a")->second);
    EXPECT_EQ(Bytes({7, 0, 0, 0}), raw("P\\New\\Child\\Grand", "b")->second);

    EXPECT_FALSE(renameKey(store(), hkcu({"P", "New"}), "taken").ok());
    EXPECT_TRUE(keyExists("P\\New\\Child\\Grand"));
    EXPECT_FALSE(renameKey(store(), hkcu({"P", "New"}), "a\\b").ok());
    EXPECT_FALSE(renameKey(store(), hkcu(), "x").ok());

    ASSERT_TRUE(renameKey(store(), hkcu({"P", "New"}), "NEW").ok());
    EXPECT_EQ((std::vector<std::string>{"NEW", "Taken"}), listSubKeys(store(), hkcu({"P"})));
    EXPECT_EQ(Bytes({7, 0, 0, 0}), raw("P\\NEW\\Child\\Grand", "b")->second);
}

TEST_F(EditorStore, DeletingKeysAndValues) {
    putString("P\\K\\Sub", "a", "1");
    putString("P", "v", "1");
    ASSERT_TRUE(deleteKey(store(), hkcu({"P", "K"})).ok());
    EXPECT_FALSE(keyExists("P\\K"));
    EXPECT_TRUE(keyExists("P"));
    ASSERT_TRUE(deleteValue(store(), hkcu({"P"}), "v").ok());
    EXPECT_FALSE(raw("P", "v"));
    EXPECT_EQ(reg::kErrorFileNotFound, deleteValue(store(), hkcu({"P"}), "v").error);
    EXPECT_FALSE(deleteKey(store(), hkcu()).ok());
    EXPECT_EQ(reg::kErrorFileNotFound, deleteKey(store(), hkcu({"P", "K"})).error);
}

TEST_F(EditorStore, FindWalksKeysValuesThenSubKeysAndGoesOn) {
    putString("F\\A", "note", "needle in data");
    putString("F\\A", "needle name", "x");
    makeKey("F\\A\\Needle Key");
    makeKey("F\\B");
    putRaw("F\\B", "m", reg::kRegMultiSz, encodeMultiString({"hay", "NEEDLE"}));
    FindQuery q;
    q.text = "needle";
    std::vector<std::string> hits;
    KeyRef at = hkcu({"F"});
    std::optional<std::string> after;
    while (auto hit = findNext(store(), at, after, q)) {
        if (hit->key.parts.empty() || hit->key.parts[0] != "F")
            break;  // left the test's keys
        hits.push_back(hit->key.subPath() + (hit->value ? "|" + *hit->value : ""));
        at = hit->key;
        after = hit->value;
    }
    EXPECT_EQ((std::vector<std::string>{"F\\A|needle name", "F\\A|note", "F\\A\\Needle Key", "F\\B|m"}), hits);

    q.keys = false;
    q.wholeString = true;
    q.text = "NEEDLE NAME";
    auto hit = findNext(store(), KeyRef{}, std::nullopt, q);
    ASSERT_TRUE(hit);
    EXPECT_EQ("F\\A", hit->key.subPath());
    q.text = "absent";
    EXPECT_FALSE(findNext(store(), KeyRef{}, std::nullopt, q));
}

TEST_F(EditorStore, LastKeyIsKeptInTheUsersSettings) {
    EXPECT_EQ("", loadLastKey(store()));
    ASSERT_TRUE(saveLastKey(store(), hkcu({"Software"})).ok());
    EXPECT_EQ("Computer\\HKEY_CURRENT_USER\\Software", loadLastKey(store()));
    EXPECT_EQ(wide("Computer\\HKEY_CURRENT_USER\\Software"),
              raw("Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit", "LastKey")->second);
}
