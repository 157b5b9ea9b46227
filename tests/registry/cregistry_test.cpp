// cRegistry: key operations, listings, values and file-type registration, on every back end.
#include "registry/cRegistry.h"
#include "registry_area.h"

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>

namespace {

using namespace karvo::test;

// Passes every call on to the area's registry, watching open handles, and misbehaves when asked.
class ProbeService : public RegistryService {
public:
    explicit ProbeService(RegistryService& inner) : in_(inner) {}

    std::function<bool(HKey root, const std::string& path)> refuseCreate;
    LONG setResult = kErrorSuccess;  // non-zero: RegSetValueExA answers this
    long throwAtEnumKey = -1;        // RegEnumKeyA throws at this index
    DWORD valueNameShortfall = 0;    // the longest value name is reported this much too short
    std::map<std::string, std::pair<DWORD, Bytes>> fakeValues;  // name -> type and data to answer
    std::multiset<HKey> open;                                   // handles given out and not closed
    int enumerationOpens = 0;

    LONG RegOpenKeyExA(HKey h, const char* sub, DWORD o, DWORD sam, HKey* out) override {
        enumerationOpens += sam == kKeyEnumerateSubKeys;
        return track(in_.RegOpenKeyExA(h, sub, o, sam, out), out);
    }
    LONG RegCreateKeyExA(HKey h, const char* sub, DWORD r, const char* cls, DWORD o, DWORD sam,
                         const SecurityAttributes* sa, HKey* out, DWORD* disp) override {
        if (refuseCreate && refuseCreate(h, sub)) return kErrorAccessDenied;
        return track(in_.RegCreateKeyExA(h, sub, r, cls, o, sam, sa, out, disp), out);
    }
    LONG RegCloseKey(HKey h) override {
        if (auto it = open.find(h); it != open.end()) open.erase(it);
        return in_.RegCloseKey(h);
    }
    LONG RegQueryValueExA(HKey h, const char* name, DWORD* r, DWORD* type, std::uint8_t* data, DWORD* cb) override {
        const auto fake = fakeValues.find(name);
        if (fake == fakeValues.end()) return in_.RegQueryValueExA(h, name, r, type, data, cb);
        const auto& [fakeType, bytes] = fake->second;
        const bool fits = data != nullptr && *cb >= bytes.size();
        if (fits && !bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        *type = fakeType, *cb = static_cast<DWORD>(bytes.size());
        return data == nullptr || fits ? kErrorSuccess : kErrorMoreData;
    }
    LONG RegSetValueExA(HKey h, const char* name, DWORD r, DWORD type, const std::uint8_t* data, DWORD cb) override {
        return setResult != kErrorSuccess ? setResult : in_.RegSetValueExA(h, name, r, type, data, cb);
    }
    LONG RegEnumKeyA(HKey h, DWORD i, char* name, DWORD cch) override {
        if (static_cast<long>(i) == throwAtEnumKey) throw std::runtime_error("enumeration broke down");
        return in_.RegEnumKeyA(h, i, name, cch);
    }
    LONG RegQueryInfoKeyA(HKey h, char* c, DWORD* cc, DWORD* r, DWORD* sk, DWORD* msk, DWORD* mc, DWORD* v,
                          DWORD* mvn, DWORD* mv, DWORD* sd, void* t) override {
        const LONG result = in_.RegQueryInfoKeyA(h, c, cc, r, sk, msk, mc, v, mvn, mv, sd, t);
        if (result == kErrorSuccess && mvn != nullptr) *mvn -= std::min(*mvn, valueNameShortfall);
        return result;
    }
    LONG RegDeleteKeyA(HKey h, const char* sub) override { return in_.RegDeleteKeyA(h, sub); }
    LONG RegDeleteValueA(HKey h, const char* name) override { return in_.RegDeleteValueA(h, name); }
    LONG RegEnumValueA(HKey h, DWORD i, char* n, DWORD* c, DWORD* r, DWORD* t, std::uint8_t* d, DWORD* cb) override
    { return in_.RegEnumValueA(h, i, n, c, r, t, d, cb); }
    LONG EnumKeyRaw(HKey h, DWORD i, std::string& n) override { return in_.EnumKeyRaw(h, i, n); }
    LONG EnumValueRaw(HKey h, DWORD i, std::string& n, DWORD& t, Bytes& d) override { return in_.EnumValueRaw(h, i, n, t, d); }
    LONG QueryValueRaw(HKey h, const std::string& n, DWORD& t, Bytes& d) override { return in_.QueryValueRaw(h, n, t, d); }
    LONG SetValueRaw(HKey h, const std::string& n, DWORD t, const std::uint8_t* d, std::size_t s) override
    { return in_.SetValueRaw(h, n, t, d, s); }
    LONG DeleteTree(HKey h, const char* sub) override { return in_.DeleteTree(h, sub); }
    bool KeyPath(HKey h, std::string& p) override { return in_.KeyPath(h, p); }
    LONG BeginBatch() override { return in_.BeginBatch(); }
    LONG CommitBatch() override { return in_.CommitBatch(); }
    LONG RollbackBatch() override { return in_.RollbackBatch(); }

private:
    LONG track(LONG result, const HKey* key) {
        if (result == kErrorSuccess) open.insert(*key);
        return result;
    }
    RegistryService& in_;
};

template <class F>
std::tuple<std::int32_t, std::string, std::string> failure(F&& f) {  // the number, source and description raised
    try { f(); } catch (const RegistryError& e) { return {e.number(), e.source(), e.description()}; }
    return {0, "", "no RegistryError"};
}

// An object that talks to the probe; every test ends with no key left open.
class CRegistry : public RegistryArea {
protected:
    void TearDown() override { EXPECT_TRUE(probe.open.empty()) << "a key was left open"; }
    void at(const std::string& section, const std::string& value = "") {  // below the area
        reg.setClassKey(static_cast<std::int32_t>(root)), reg.setSectionKey(section.empty() ? base : base + "\\" + section);
        reg.setValueKey(value);
    }
    Strings sections(cRegistry& r) {
        Strings names{"stale"};
        std::int32_t count = -1;
        EXPECT_TRUE(r.EnumerateSections(names, count) && static_cast<std::size_t>(count) == names.size()) << count;
        return names;
    }
    void write(const std::string& name, std::int32_t type, const Variant& v) {
        reg.setValueKey(name), reg.setValueType(type), reg.setValue(v);
    }
    Variant read(const std::string& name) { return reg.setValueKey(name), reg.Value(); }
    template <class T>
    std::pair<T, std::int32_t> typed(const std::string& name) {  // the value and the type it was read as
        const Variant v = read(name);
        return {std::get<T>(v), reg.ValueType()};
    }
    cRegistry other(HKey hive, const std::string& path) {
        cRegistry r(RegistryArea::reg);
        r.setClassKey(static_cast<std::int32_t>(hive)), r.setSectionKey(path);
        return r;
    }
    bool keyExists(HKey hive, const std::string& path) { return other(hive, path).KeyExists(); }
    std::string text(HKey hive, const std::string& path) {
        const Variant v = other(hive, path).Value();
        return std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : "<none>";
    }
    std::string W(const std::string& name, const std::string& value, std::int32_t hive = -2147483647) {  // a failed write
        return "Failed to set registry value Key: '" + std::to_string(hive) + "',Section: '" + base + "',Key: '" + name +
               "' to value: '" + value + "'";
    }

    ProbeService probe{RegistryArea::reg};
    cRegistry reg{probe};
};

TEST_F(CRegistry, KeysAreCreatedTestedAndDeletedAndAFreshObjectPointsNowhere) {
    cRegistry fresh(probe);
    EXPECT_FALSE(fresh.KeyExists());
    EXPECT_TRUE(sections(fresh).empty() && std::holds_alternative<std::monostate>(fresh.Value()));
    EXPECT_EQ(failure([&] { fresh.CreateKey(); }),
              std::make_tuple(26001, "registry_tests.cRegistry", "Failed to create registry Key: '"));
    at("Karvo\\Deep\\Leaf");
    EXPECT_TRUE(reg.CreateKey() && reg.CreateKey()) << "an existing key is opened";
    EXPECT_TRUE(keyExists(root, base + "\\KARVO\\deep") && reg.DeleteKey());
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_EQ(failure([&] { reg.DeleteKey(); }), std::make_tuple(26001, cRegistry::ErrorSource(), "Failed to delete registry "
              "Key: '-2147483647',Section: '" + base + "\\Karvo\\Deep\\Leaf"));
    at("Karvo");
    EXPECT_EQ(std::get<0>(failure([&] { reg.DeleteKey(); })), 26001) << "a key with sub-keys is refused";
    EXPECT_TRUE(reg.KeyExists());
}

TEST_F(CRegistry, ListingsGiveEveryNameOnOneHandleAndStopAtALongNameOrAFailure) {
    for (const char* name : {"beta", "Alpha", "Ünïcode", "gamma"})  // through the object, in the ANSI code page
        at(std::string("List\\") + name), reg.CreateKey();
    at("List");
    probe.enumerationOpens = 0;
    EXPECT_EQ(sections(reg), (Strings{"Alpha", "beta", "gamma", "Ünïcode"}));
    EXPECT_EQ(probe.enumerationOpens, 1);
    const Strings written{"zeta", "Alpha", "", "größe"};
    for (const std::string& name : written) write(name, 1, std::string("x"));
    Strings names{"stale"};
    std::int32_t count = -1;
    // Windows counts the longest value name in characters, which can be short of its code-page bytes.
    for (DWORD shortfall : {0u, 4u}) {
        probe.valueNameShortfall = shortfall;
        EXPECT_TRUE(reg.EnumerateValues(names, count));
        EXPECT_EQ(std::make_pair(count, listed(names)), std::make_pair(4, listed(written)));
    }
    for (const char* empty : {"List\\gamma", "List\\missing"}) {
        at(empty);
        EXPECT_TRUE(sections(reg).empty() && reg.EnumerateValues(names, count)) << empty;
        EXPECT_EQ(std::make_pair(count, names), std::make_pair(0, Strings{})) << empty;
    }
    // A name of 255 characters does not fit the 255-byte buffer: the listing ends there.
    const std::string fits(254, 'b');
    HKey parent = create("Long");
    for (const std::string& name : {std::string("a"), fits, "c" + std::string(254, 'x'), std::string("d")}) create(name, parent);
    at("Long");
    EXPECT_EQ(sections(reg), (Strings{"a", fits}));
    probe.throwAtEnumKey = 1;  // a failure of the service itself is raised with its text
    EXPECT_EQ(failure([&] { sections(reg); }), std::make_tuple(-2147194454, cRegistry::ErrorSource(), "enumeration broke down"));
}

TEST_F(CRegistry, ValuesAreWrittenWithTheirTypeAndReadSoundlyWhateverTheirShape) {
    at("");
    reg.setDefault(std::string("fallback")), reg.setValueType(3);
    EXPECT_EQ(typed<std::string>("nothing"), std::make_pair(std::string("fallback"), 3));
    // Text is stored expandable only with a pair of percent signs.
    const std::pair<Variant, DWORD> texts[] = {
        {std::string("%PATH%"), kRegExpandSz}, {std::string("a%b%"), kRegExpandSz}, {std::string("100%"), kRegSz},
        {std::string("%%"), kRegSz},           {std::string("50% of 60"), kRegSz},  {std::string("Grüße"), kRegSz},
        {std::int32_t{-42}, kRegSz},           {std::string(), kRegSz}};
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        write("v" + std::to_string(i), i % 2 == 0 ? 1 : 2, texts[i].first);
        EXPECT_EQ(rawValue(area, "v" + std::to_string(i)).first, texts[i].second) << i;
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
    EXPECT_EQ(karvo::reg::detail::expandEnvironment("%A%x", fails) + karvo::reg::detail::expandEnvironment("%A%x", failsSecond),
              "%A%x%A%x");

    write("bin", 3, Bytes{1, 2, 0xFF}), write("empty", 3, Bytes{}), write("one", 5, std::int32_t{1});
    write("minus", 4, std::int16_t{-2}), write("text", 4, std::string("5"));  // only numbers are written as numbers
    for (const auto& [name, kept] : {std::pair<const char*, std::pair<DWORD, Bytes>>{"bin", {kRegBinary, {1, 2, 0xFF}}},
                                     {"one", {kRegDword, {1, 0, 0, 0}}}, {"minus", {kRegDword, {0xFE, 0xFF, 0xFF, 0xFF}}},
                                     {"text", {999, {}}}})
        EXPECT_EQ(rawValue(area, name), kept) << name;
    EXPECT_EQ(std::make_pair(std::get<Bytes>(read("bin")), std::get<Bytes>(read("empty"))),
              std::make_pair(Bytes{1, 2, 0xFF, 0}, Bytes{0}));
    EXPECT_EQ(typed<std::int32_t>("one"), std::make_pair(1, 4));
    EXPECT_EQ(failure([&] { write("text", 3, std::string("text")); }), std::make_tuple(26001, "", ""));

    probe.fakeValues = {{"unterminated", {kRegSz, {'a', 'b', 'c'}}}, {"emptySz", {kRegSz, {}}},
                        {"multi", {kRegMultiSz, {'a', 0, 'b', 'c', 0, 0}}}, {"be", {kRegDwordBigEndian, {0xFF, 0xFF, 0xFF, 0xFE}}},
                        {"short", {kRegDword, {0x34, 0x12}}},              {"shortBe", {kRegDwordBigEndian, {0x12, 0x34}}},
                        {"long", {kRegDword, {1, 2, 3, 4, 5, 6}}},         {"noDword", {kRegDword, {}}},
                        {"qword", {kRegQword, {8, 7, 6, 5, 4, 3, 2, 1}}}};
    EXPECT_EQ(std::get<std::string>(read("unterminated")) + "|" + std::get<std::string>(read("emptySz")), "abc|");
    EXPECT_EQ(typed<std::string>("multi"), std::make_pair(std::string("a\0bc\0", 5), 7));
    for (const auto& [name, number] : {std::pair<const char*, std::int32_t>{"be", -2}, {"short", 0x1234},
                                       {"shortBe", 0x1234}, {"long", 0x04030201}, {"noDword", 0}})
        EXPECT_EQ(std::get<std::int32_t>(read(name)), number) << name;
    EXPECT_EQ(typed<Bytes>("qword"), std::make_pair(Bytes{8, 7, 6, 5, 4, 3, 2, 1, 0}, 11));
}

TEST_F(CRegistry, WriteAndDeleteFailuresDescribeTheWholePlace) {
    const std::string place = "'-2147483647',Section: '" + base;
    const std::tuple<std::function<void()>, std::int32_t, std::string> failures[] = {
        {[&] { at(""), write("v", 0, std::string("x")); }, -2147194455, W("v", "x")},
        {[&] { write("v", 6, Bytes{0x0A, 0xFF}); }, -2147194455, W("v", "0A FF")},
        {[&] { probe.setResult = kErrorAccessDenied, write("w", 4, std::int32_t{12}); }, std::int32_t(0x800469A9u), W("w", "12")},
        {[&] { probe.setResult = kErrorSuccess, reg.setClassKey(0), write("w", 1, std::int16_t{3}); }, 26001, W("w", "3", 0)},
        {[&] { at("", "gone"), write("gone", 1, std::string("x")), reg.DeleteValue(), reg.DeleteValue(); }, 26001,
         "Failed to delete registry Key: " + place + "',Key: 'gone"},
        {[&] { at("Missing", "gone"), reg.DeleteValue(); }, 26001, "Failed to open key " + place + "\\Missing' for delete access"},
    };
    for (const auto& [action, number, description] : failures)
        EXPECT_EQ(failure(action), std::make_tuple(number, cRegistry::ErrorSource(), description));
}

// File types under both class roots, with the run's own names, removed afterwards.
class CRegistryAssociations : public CRegistry {
protected:
    ~CRegistryAssociations() override { remove(cls), remove("." + ext); }
    void remove(const std::string& key) {
        RegistryArea::reg.DeleteTree(kHkeyClassesRoot, key.c_str());
        RegistryArea::reg.DeleteTree(kHkeyLocalMachine, ("SOFTWARE\\Classes\\" + key).c_str());
    }
    std::string entry(const std::string& sub) {  // a class entry's text, the same under both class roots
        const std::string path = sub.empty() ? cls : cls + "\\" + sub, fromRoot = text(kHkeyClassesRoot, path);
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
    EXPECT_EQ(text(kHkeyClassesRoot, "." + ext) + "|" + entry(""), cls + "|Karvo document");
    for (const auto& [verb, menu] : {std::pair<std::string, std::string>{"open", "&Open"}, {"print", "&Print"},
                                     {"add", "&Install " + ext}, {"new", "&New"}}) {
        const std::string option = verb == "open" ? "" : "/" + verb.substr(0, 1) + " ";
        EXPECT_EQ(entry("shell\\" + verb) + "|" + entry("shell\\" + verb + "\\command"),
                  menu + "|\"C:\\A\\B.EXE\" " + option + "\"%1\"");
    }
    EXPECT_EQ(entry("DefaultIcon"), "\"C:\\A\\B.EXE\",0");
    EXPECT_EQ(std::make_tuple(reg.ClassKey(), reg.SectionKey(), reg.ValueKey(), reg.ValueType()),
              std::make_tuple(cRegistry::kLocalMachine, cls + "\\DefaultIcon", std::string(), 1));
    registerDoc("\"C:\\Program Files\\K.exe\"", false, -1, "Open with Karvo");
    EXPECT_EQ(entry("shell\\open") + "|" + entry("shell\\open\\command"), "Open with Karvo|\"C:\\Program Files\\K.exe\" \"%1\"");
    remove(cls);  // left-out options write nothing
    registerDoc("k.exe", false, -1);
    for (const char* absent : {"shell\\print", "shell\\add", "shell\\new", "DefaultIcon"}) EXPECT_FALSE(exists(absent)) << absent;
}

TEST_F(CRegistryAssociations, AFailingWriteStopsARegistrationAndAdditionalVerbsFollowOne) {
    probe.refuseCreate = [this](HKey hive, const std::string& path) {
        return hive == kHkeyLocalMachine && path.find(cls) != std::string::npos;
    };
    EXPECT_EQ(failure([&] { registerDoc("k.exe", true, 0); }), std::make_tuple(26001, cRegistry::ErrorSource(), "Failed to "
              "set registry value Key: '-2147483646',Section: 'SOFTWARE\\Classes\\" + cls + "',Key: '' to value: 'Karvo document'"));
    EXPECT_EQ(text(kHkeyClassesRoot, cls) + (exists("shell") ? "|shell" : ""), "Karvo document") << "what was written stays";

    probe.refuseCreate = [](HKey, const std::string& path) { return path.find("\\bad") != std::string::npos; };
    registerDoc("k.exe", false, -1);
    reg.CreateAdditionalEXEAssociations(cls, items({"edit", "&Edit", "k.exe /e \"%1\"", "bad", "Bad", "b.exe"}));
    reg.CreateAdditionalEXEAssociations(cls, {std::int32_t{7}, std::string("Seven"), std::string("k 7")});
    EXPECT_EQ(entry("shell\\edit") + "|" + entry("shell\\edit\\command") + "|" + entry("shell\\7\\command"),
              "&Edit|k.exe /e \"%1\"|k 7");
    EXPECT_FALSE(exists("shell\\bad")) << "a verb that cannot be written is skipped without a word";

    EXPECT_EQ(failure([&] { reg.CreateAdditionalEXEAssociations(cls, items({"a", "b", "c", "d"})); }),
              std::make_tuple(std::int32_t(0x800469ACu), cRegistry::ErrorSource(),
                              "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command"));
    EXPECT_FALSE(exists("shell\\a"));
    for (const auto& list : {items({"a", "b", "c"}), items({})})
        EXPECT_EQ(failure([&] { reg.CreateAdditionalEXEAssociations(cls + ".Other", list); }),
                  std::make_tuple(std::int32_t(0x800469ADu), cRegistry::ErrorSource(),
                                  "Error - attempt to create additional associations before class defined."));
    EXPECT_FALSE(keyExists(kHkeyClassesRoot, cls + ".Other"));
}

}  // namespace
