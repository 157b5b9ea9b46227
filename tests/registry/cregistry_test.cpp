// cRegistry: key operations, listings, values and file-type registration, on every back end.
#include "cregistry_probe.h"

namespace {

using namespace karvo::test;
using Names = std::vector<std::string>;

class CRegistry : public RegistryTest {
protected:
    Names sections(cRegistry& r) {
        Names names{"stale"};
        std::int32_t count = -1;
        EXPECT_TRUE(r.EnumerateSections(names, count));
        EXPECT_EQ(static_cast<std::size_t>(count), names.size());
        return names;
    }
    void write(const std::string& name, std::int32_t type, const Variant& v) {
        reg.setValueKey(name);
        reg.setValueType(type);
        reg.setValue(v);
    }
    Variant read(const std::string& name) {
        reg.setValueKey(name);
        return reg.Value();
    }
    template <class T>
    std::pair<T, std::int32_t> typed(const std::string& name) {  // the value and the type it was read as
        const Variant v = read(name);
        return {std::get<T>(v), reg.ValueType()};
    }
    std::pair<DWORD, Bytes> stored(const std::string& name) { return RegistryTest::stored(root, base, name); }
    std::string W(  // a failed write's description
const std::string& name, const std::string& value, std::int32_t hive = -2147483647) {
        return "Failed to set registry value Key: '" + std::to_string(hive) + "',Section: '" + base + "',Key: '" +
               name + "' to value: '" + value + "'";
    }
};

TEST_F(CRegistry, AFreshObjectPointsNowhereAndMissingValuesYieldTheDefault) {
    cRegistry fresh(probe);
    EXPECT_FALSE(fresh.KeyExists());
    EXPECT_TRUE(sections(fresh).empty());
    EXPECT_TRUE(std::holds_alternative<std::monostate>(fresh.Value()));
    const RegistryError e = raised([&] { fresh.CreateKey(); });
    EXPECT_EQ(std::make_tuple(e.number(), e.source(), e.description()), std::make_tuple(26001, "registry_tests.cRegistry", "Failed to create registry Key: '"));
    at("");
    reg.setDefault(std::string("fallback"));
    reg.setValueType(3);
    EXPECT_EQ(std::get<std::string>(read("nothing")), "fallback");
    EXPECT_EQ(reg.ValueType(), 3);
}

TEST_F(CRegistry, CreateTestAndDeleteKeys) {
    at("Karvo\\Deep\\Leaf");
    EXPECT_TRUE(reg.CreateKey());
    EXPECT_TRUE(reg.CreateKey()) << "an existing key is opened";
    EXPECT_TRUE(keyExists(root, base + "\\KARVO\\deep"));
    EXPECT_TRUE(reg.DeleteKey());
    EXPECT_FALSE(reg.KeyExists());
    RegistryError e = raised([&] { reg.DeleteKey(); });
    EXPECT_EQ(std::make_pair(e.number(), e.description()),
              std::make_pair(26001, "Failed to delete registry Key: '-2147483647',Section: '" + base + "\\Karvo\\Deep\\Leaf"));
    at("Karvo");
    e = raised([&] { reg.DeleteKey(); });
    EXPECT_EQ(e.number(), 26001) << "a key with sub-keys is refused";
    EXPECT_TRUE(reg.KeyExists());
}

TEST_F(CRegistry, EnumerateSectionsListsSubKeysOnOneHandleAndStopsAtALongNameOrAFailure) {
    for (const char* name : {"beta", "Alpha", "Ünïcode", "gamma"})  // through the object, in the ANSI code page
        at(std::string("List\\") + name), reg.CreateKey();
    at("List");
    probe.enumerationOpens = 0;
    EXPECT_EQ(sections(reg), (Names{"Alpha", "beta", "gamma", "Ünïcode"}));
    EXPECT_EQ(probe.enumerationOpens, 1);
    for (const char* empty : {"List\\gamma", "List\\missing"}) {
        at(empty);
        EXPECT_TRUE(sections(reg).empty()) << empty;
    }
    // A name of 255 characters does not fit the 255-byte buffer: the listing ends there.
    const std::string fits(254, 'b');
    HKey parent = create("Long");
    for (const std::string& name : {std::string("a"), fits, "c" + std::string(254, 'x'), std::string("d")}) create(name, parent);
    at("Long");
    EXPECT_EQ(sections(reg), (Names{"a", fits}));
    probe.throwAtEnumKey = 1;  // a failure of the service itself is raised with its text
    Names names;
    std::int32_t count = 0;
    const RegistryError e = raised([&] { reg.EnumerateSections(names, count); });
    EXPECT_EQ(std::make_tuple(e.number(), e.source(), e.description()), std::make_tuple(-2147194454, cRegistry::ErrorSource(), std::string("enumeration broke down")));
}

TEST_F(CRegistry, EnumerateValuesListsEveryName) {
    at("Vals");
    const Names written{"zeta", "Alpha", "", "größe"};
    for (const std::string& name : written) write(name, 1, std::string("x"));
    create("Vals\\Empty");
    Names names{"stale"};
    std::int32_t count = -1;
    // Windows counts the longest name in characters, which can be short of its code-page bytes.
    for (DWORD shortfall : {0u, 4u}) {
        probe.valueNameShortfall = shortfall;
        EXPECT_TRUE(reg.EnumerateValues(names, count));
        EXPECT_EQ(listed(names), listed(written));
        EXPECT_EQ(count, 4);
    }
    for (const char* path : {"Vals\\Empty", "Vals\\Missing"}) {
        at(path);
        EXPECT_TRUE(reg.EnumerateValues(names, count));
        EXPECT_EQ(std::make_pair(count, names), std::make_pair(0, Names{})) << path;
    }
}

TEST_F(CRegistry, TextIsStoredExpandableOnlyWithAPairOfPercentSigns) {
    at("");
    const std::pair<Variant, DWORD> cases[] = {
        {std::string("%PATH%"), kRegExpandSz}, {std::string("a%b%"), kRegExpandSz}, {std::string("100%"), kRegSz},
        {std::string("%%"), kRegSz},           {std::string("50% of 60"), kRegSz},  {std::string("Grüße"), kRegSz},
        {std::int32_t{-42}, kRegSz},           {std::string(), kRegSz}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        write("v" + std::to_string(i), i % 2 == 0 ? 1 : 2, cases[i].first);
        EXPECT_EQ(stored("v" + std::to_string(i)).first, cases[i].second) << i;
    }
    reg.setValueType(0);
    EXPECT_EQ(typed<std::string>("v5"), std::make_pair(std::string("Grüße"), 1));
    EXPECT_EQ(std::get<std::string>(read("v6")) + "|" + std::get<std::string>(read("v7")), "-42|");

    ScopedEnv env("KARVO_CREG_PLACE", "Ort");
    write("path", 1, std::string("a%karvo_creg_place%b %KARVO_CREG_UNSET%"));
    EXPECT_EQ(typed<std::string>("path"), std::make_pair(std::string("aOrtb %KARVO_CREG_UNSET%"), 2));
    // A platform that cannot expand leaves the text as stored.
    const auto fails = [](const char*, char*, DWORD) -> DWORD { return 0; };
    const auto failsSecond = [](const char*, char*, DWORD size) -> DWORD { return size == 0 ? 10 : 0; };
    EXPECT_EQ(karvo::reg::detail::expandEnvironment("%A%x", fails), "%A%x");
    EXPECT_EQ(karvo::reg::detail::expandEnvironment("%A%x", failsSecond), "%A%x");
}

TEST_F(CRegistry, OddlyShapedDataReadsSoundly) {
    at("");
    probe.fakeValues = {{"unterminated", {kRegSz, {'a', 'b', 'c'}}}, {"emptySz", {kRegSz, {}}},
                        {"multi", {kRegMultiSz, {'a', 0, 'b', 'c', 0, 0}}}, {"be", {kRegDwordBigEndian, {0xFF, 0xFF, 0xFF, 0xFE}}},
                        {"short", {kRegDword, {0x34, 0x12}}},              {"shortBe", {kRegDwordBigEndian, {0x12, 0x34}}},
                        {"long", {kRegDword, {1, 2, 3, 4, 5, 6}}},         {"noDword", {kRegDword, {}}},
                        {"qword", {kRegQword, {8, 7, 6, 5, 4, 3, 2, 1}}}};
    EXPECT_EQ(std::get<std::string>(read("unterminated")) + "|" + std::get<std::string>(read("emptySz")), "abc|");
    EXPECT_EQ(typed<std::string>("multi"), std::make_pair(std::string("a\0bc\0", 5), 7));
    const std::pair<const char*, std::int32_t> numbers[] = {
        {"be", -2}, {"short", 0x1234}, {"shortBe", 0x1234}, {"long", 0x04030201}, {"noDword", 0}};
    for (const auto& [name, number] : numbers)
        EXPECT_EQ(std::get<std::int32_t>(read(name)), number) << name;
    EXPECT_EQ(typed<Bytes>("qword"), std::make_pair(Bytes{8, 7, 6, 5, 4, 3, 2, 1, 0}, 11));
}

TEST_F(CRegistry, BinaryAndNumberWrites) {
    at("");
    write("bin", 3, Bytes{1, 2, 0xFF});
    write("empty", 3, Bytes{});
    write("one", 5, std::int32_t{1});
    write("minus", 4, std::int16_t{-2});
    write("text", 4, std::string("5"));  // only numbers are written as numbers
    EXPECT_EQ(stored("bin"), std::make_pair(kRegBinary, Bytes{1, 2, 0xFF}));
    EXPECT_EQ(stored("one"), std::make_pair(kRegDword, Bytes{1, 0, 0, 0}));
    EXPECT_EQ(stored("minus"), std::make_pair(kRegDword, Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(stored("text").first, 999u);
    EXPECT_EQ(std::make_pair(std::get<Bytes>(read("bin")), std::get<Bytes>(read("empty"))), std::make_pair(Bytes{1, 2, 0xFF, 0}, Bytes{0}));
    EXPECT_EQ(typed<std::int32_t>("one"), std::make_pair(1, 4));
    const RegistryError e = raised([&] { write("text", 3, std::string("text")); });
    EXPECT_EQ(std::make_tuple(e.number(), e.source(), e.description()), std::make_tuple(26001, "", ""));
}

TEST_F(CRegistry, WriteAndDeleteFailuresDescribeTheWholePlace) {
    const std::string place = "'-2147483647',Section: '" + base;
    const std::tuple<std::function<void()>, std::int32_t, std::string> failures[] = {
        {[&] { at(""), write("v", 0, std::string("x")); }, -2147194455, W("v", "x")},
        {[&] { write("v", 6, Bytes{0x0A, 0xFF}); }, -2147194455, W("v", "0A FF")},
        {[&] { probe.setResult = kErrorAccessDenied, write("w", 4, std::int32_t{12}); }, static_cast<std::int32_t>(0x800469A9u), W("w", "12")},
        {[&] { probe.setResult = kErrorSuccess, reg.setClassKey(0), write("w", 1, std::int16_t{3}); }, 26001,
         W("w", "3", 0)},
        {[&] { at("", "gone"), write("gone", 1, std::string("x")), reg.DeleteValue(), reg.DeleteValue(); }, 26001,
         "Failed to delete registry Key: " + place + "',Key: 'gone"},
        {[&] { at("Missing", "gone"), reg.DeleteValue(); }, 26001,
         "Failed to open key " + place + "\\Missing' for delete access"},
    };
    for (const auto& [action, number, description] : failures) {
        const RegistryError e = raised(action);
        EXPECT_EQ(std::make_tuple(e.number(), e.source(), e.description()),
                  std::make_tuple(number, cRegistry::ErrorSource(), description));
    }
}

// File types under both class roots, with the run's own names, removed afterwards.
class CRegistryAssociations : public CRegistry {
protected:
    ~CRegistryAssociations() override {
        for (const std::string& key : {cls, "." + ext}) {
            RegistryArea::reg.DeleteTree(kHkeyClassesRoot, key.c_str());
            RegistryArea::reg.DeleteTree(kHkeyLocalMachine, ("SOFTWARE\\Classes\\" + key).c_str());
        }
    }
    std::string entry(  // a class entry's text, the same under both class roots
const std::string& sub) {
        const std::string path = sub.empty() ? cls : cls + "\\" + sub;
        const std::string fromRoot = text(kHkeyClassesRoot, path);
        EXPECT_EQ(text(kHkeyLocalMachine, "SOFTWARE\\Classes\\" + path), fromRoot) << path;
        return fromRoot;
    }
    void registerDoc(const std::string& exe, bool options, std::int32_t icon, const std::string& menu = "") {
        reg.CreateEXEAssociation(exe, cls, "Karvo document", ext, menu, options, menu, options, menu, options, menu, icon);
    }
    static std::vector<Variant> items(std::initializer_list<const char*> texts) { return {texts.begin(), texts.end()}; }
    bool exists(const std::string& sub) { return keyExists(kHkeyClassesRoot, cls + "\\" + sub); }

    const std::string ext = "kvt" + base.substr(base.rfind('\\') + 1);
    const std::string cls = "Karvo.Test" + ext;
};

TEST_F(CRegistryAssociations, ARegistrationWritesEveryEntryAskedForUnderBothRoots) {
    registerDoc("  C:\\A\\B.EXE ", true, 0);
    EXPECT_EQ(text(kHkeyClassesRoot, "." + ext), cls);
    EXPECT_EQ(entry(""), "Karvo document");
    const std::pair<std::string, std::string> verbs[] = {
        {"open", "&Open"}, {"print", "&Print"}, {"add", "&Install " + ext}, {"new", "&New"}};
    for (const auto& [verb, menu] : verbs) {
        EXPECT_EQ(entry("shell\\" + verb), menu);
        const std::string option = verb == "open" ? "" : "/" + verb.substr(0, 1) + " ";
        EXPECT_EQ(entry("shell\\" + verb + "\\command"), "\"C:\\A\\B.EXE\" " + option + "\"%1\"");
    }
    EXPECT_EQ(entry("DefaultIcon"), "\"C:\\A\\B.EXE\",0");
    EXPECT_EQ(std::make_tuple(reg.ClassKey(), reg.SectionKey(), reg.ValueKey(), reg.ValueType()),
              std::make_tuple(cRegistry::kLocalMachine, cls + "\\DefaultIcon", std::string(), 1));
    registerDoc("\"C:\\Program Files\\K.exe\"", false, -1, "Open with Karvo");
    EXPECT_EQ(entry("shell\\open"), "Open with Karvo");
    EXPECT_EQ(entry("shell\\open\\command"), "\"C:\\Program Files\\K.exe\" \"%1\"");

    // Left-out options write nothing.
    RegistryArea::reg.DeleteTree(kHkeyClassesRoot, cls.c_str());
    RegistryArea::reg.DeleteTree(kHkeyLocalMachine, ("SOFTWARE\\Classes\\" + cls).c_str());
    registerDoc("k.exe", false, -1);
    for (const char* absent : {"shell\\print", "shell\\add", "shell\\new", "DefaultIcon"}) EXPECT_FALSE(exists(absent)) << absent;
}

TEST_F(CRegistryAssociations, AFailingWriteStopsARegistrationAndAdditionalVerbsFollowOne) {
    probe.refuseCreate = [this](HKey hive, const std::string& path) {
        return hive == kHkeyLocalMachine && path.find(cls) != std::string::npos;
    };
    RegistryError e = raised([&] { registerDoc("k.exe", true, 0); });
    EXPECT_EQ(std::make_pair(e.number(), e.description()),
              std::make_pair(26001, "Failed to set registry value Key: '-2147483646',Section: 'SOFTWARE\\Classes\\" +
                                        cls + "',Key: '' to value: 'Karvo document'"));
    EXPECT_EQ(text(kHkeyClassesRoot, cls), "Karvo document") << "what was written stays";
    EXPECT_FALSE(exists("shell"));

    probe.refuseCreate = [](HKey, const std::string& path) { return path.find("\\bad") != std::string::npos; };
    registerDoc("k.exe", false, -1);
    reg.CreateAdditionalEXEAssociations(cls, items({"edit", "&Edit", "k.exe /e \"%1\"", "bad", "Bad", "b.exe"}));
    reg.CreateAdditionalEXEAssociations(cls, {std::int32_t{7}, std::string("Seven"), std::string("k 7")});
    EXPECT_EQ(entry("shell\\edit"), "&Edit");
    EXPECT_EQ(entry("shell\\edit\\command"), "k.exe /e \"%1\"");
    EXPECT_EQ(entry("shell\\7\\command"), "k 7");
    EXPECT_FALSE(exists("shell\\bad")) << "a verb that cannot be written is skipped without a word";

    e = raised([&] { reg.CreateAdditionalEXEAssociations(cls, items({"a", "b", "c", "d"})); });
    EXPECT_EQ(std::make_tuple(e.number(), e.source(), e.description()),
              std::make_tuple(static_cast<std::int32_t>(0x800469ACu), cRegistry::ErrorSource(),
                              std::string("Invalid parameter list passed to CreateAdditionalEXEAssociations - "
                                          "expected Name/Text/Command")));
    EXPECT_FALSE(exists("shell\\a"));
    for (const auto& list : {items({"a", "b", "c"}), items({})}) {
        e = raised([&] { reg.CreateAdditionalEXEAssociations(cls + ".Other", list); });
        EXPECT_EQ(std::make_pair(e.number(), e.description()),
                  std::make_pair(static_cast<std::int32_t>(0x800469ADu),
                                 std::string("Error - attempt to create additional associations before class defined.")));
    }
    EXPECT_FALSE(keyExists(kHkeyClassesRoot, cls + ".Other"));
}

}  // namespace
