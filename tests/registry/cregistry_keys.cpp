// cRegistry key operations and enumeration, against a private store.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cregistry_probe.h"

namespace {

using namespace karvo::test;

class CRegistryKeys : public ::testing::Test, protected RegistryFixtureState {
protected:
    void TearDown() override { EXPECT_TRUE(probe.open.empty()) << "a key was left open"; }

    void at(HKey root, const std::string& section) {
        reg.setClassKey(static_cast<std::int32_t>(root));
        reg.setSectionKey(section);
    }
    std::vector<std::string> sections(std::int32_t& count) {
        std::vector<std::string> names{"stale"};
        count = -1;
        EXPECT_TRUE(reg.EnumerateSections(names, count));
        EXPECT_EQ(static_cast<std::size_t>(count), names.size());
        return names;
    }
};

template <class F>
RegistryError caught(F&& f) {
    try {
        f();
    } catch (const RegistryError& e) {
        return e;
    }
    ADD_FAILURE() << "no RegistryError";
    return RegistryError(0, "", "");
}

TEST_F(CRegistryKeys, FreshObjectPointsNowhere) {
    EXPECT_EQ(reg.ClassKey(), 0);
    EXPECT_EQ(reg.SectionKey(), "");
    EXPECT_EQ(reg.ValueKey(), "");
    EXPECT_EQ(reg.ValueType(), 0);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(reg.Default()));

    EXPECT_FALSE(reg.KeyExists());
    std::int32_t count = 0;
    EXPECT_TRUE(sections(count).empty());
    std::vector<std::string> values;
    EXPECT_TRUE(reg.EnumerateValues(values, count));
    EXPECT_EQ(count, 0);

    const RegistryError e = caught([&] { reg.CreateKey(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to create registry Key: '");
}

TEST_F(CRegistryKeys, ErrorsNameTheProgram) {
    at(kHkeyCurrentUser, "Software\\Missing");
    const RegistryError e = caught([&] { reg.DeleteKey(); });
    EXPECT_EQ(e.source(), "registry_tests.cRegistry");
    EXPECT_EQ(e.source(), cRegistry::ErrorSource());
    EXPECT_STREQ(e.what(), e.description().c_str());
}

TEST_F(CRegistryKeys, CreateTestAndDeleteKeys) {
    at(kHkeyCurrentUser, "Software\\Karvo\\Deep\\Leaf");
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_TRUE(reg.CreateKey());
    EXPECT_TRUE(reg.KeyExists());
    EXPECT_TRUE(reg.CreateKey()) << "an existing key is simply opened";
    EXPECT_TRUE(keyExists(kHkeyCurrentUser, "software\\KARVO\\deep"));

    // Operations leave the object pointing where it was.
    EXPECT_EQ(reg.ClassKey(), -2147483647);
    EXPECT_EQ(reg.SectionKey(), "Software\\Karvo\\Deep\\Leaf");

    EXPECT_TRUE(reg.DeleteKey());
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_TRUE(keyExists(kHkeyCurrentUser, "Software\\Karvo\\Deep"));

    at(kHkeyCurrentUser, "");
    EXPECT_TRUE(reg.KeyExists()) << "an empty section is the hive itself";
}

TEST_F(CRegistryKeys, DeleteKeyFailuresRaiseWithSignedHive) {
    at(kHkeyCurrentUser, "Software\\Nope");
    RegistryError e = caught([&] { reg.DeleteKey(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to delete registry Key: '-2147483647',Section: 'Software\\Nope");

    at(kHkeyLocalMachine, "SOFTWARE\\Parent\\Child");
    reg.CreateKey();
    reg.setSectionKey("SOFTWARE\\Parent");
    e = caught([&] { reg.DeleteKey(); });
    EXPECT_EQ(e.description(), "Failed to delete registry Key: '-2147483646',Section: 'SOFTWARE\\Parent");
    EXPECT_TRUE(reg.KeyExists()) << "a key with sub-keys is refused, not emptied";
}

TEST_F(CRegistryKeys, EnumerateSectionsListsSubKeysInRegistryOrder) {
    for (const char* name : {"beta", "Alpha", "gamma", "Ünïcode"}) {
        at(kHkeyCurrentUser, std::string("Software\\List\\") + name);
        reg.CreateKey();
    }
    at(kHkeyCurrentUser, "Software\\List\\beta\\child");
    reg.CreateKey();

    at(kHkeyCurrentUser, "Software\\List");
    std::int32_t count = 0;
    EXPECT_EQ(sections(count), (std::vector<std::string>{"Alpha", "beta", "gamma", "Ünïcode"}));
    EXPECT_EQ(count, 4);

    at(kHkeyCurrentUser, "Software\\List\\gamma");
    EXPECT_TRUE(sections(count).empty());
    at(kHkeyCurrentUser, "Software\\List\\missing");
    EXPECT_TRUE(sections(count).empty());
    at(0x12345u, "");
    EXPECT_TRUE(sections(count).empty());
}

TEST_F(CRegistryKeys, EnumerateSectionsStopsAtANameTooLongForItsBuffer) {
    const std::string fits(254, 'b');
    const std::string tooLong = "c" + std::string(254, 'x');
    for (const std::string& name : {std::string("a"), fits, tooLong, std::string("d")}) {
        at(kHkeyCurrentUser, "Software\\Long\\" + name);
        reg.CreateKey();
    }
    at(kHkeyCurrentUser, "Software\\Long");
    std::int32_t count = 0;
    EXPECT_EQ(sections(count), (std::vector<std::string>{"a", fits}));
}

TEST_F(CRegistryKeys, EnumerateSectionsWalksOneHandle) {
    for (int i = 0; i < 50; ++i) {
        at(kHkeyCurrentUser, "Software\\Many\\k" + std::to_string(1000 + i));
        reg.CreateKey();
    }
    at(kHkeyCurrentUser, "Software\\Many");
    probe.enumerationOpens = 0;
    probe.enumKeyCalls = 0;
    std::int32_t count = 0;
    const auto names = sections(count);
    EXPECT_EQ(count, 50);
    EXPECT_EQ(names.front(), "k1000");
    EXPECT_EQ(names.back(), "k1049");
    EXPECT_EQ(probe.enumerationOpens, 1);
    EXPECT_EQ(probe.enumKeyCalls, 51);
}

TEST_F(CRegistryKeys, EnumerateSectionsTurnsARunTimeFailureIntoAnError) {
    for (const char* name : {"one", "two", "three"}) {
        at(kHkeyCurrentUser, std::string("Software\\Broken\\") + name);
        reg.CreateKey();
    }
    at(kHkeyCurrentUser, "Software\\Broken");
    probe.throwAtEnumKey = 1;
    std::vector<std::string> names;
    std::int32_t count = 0;
    const RegistryError e = caught([&] { reg.EnumerateSections(names, count); });
    EXPECT_EQ(e.number(), static_cast<std::int32_t>(0x800469AAu));
    EXPECT_EQ(e.number(), -2147194454);
    EXPECT_EQ(e.source(), cRegistry::ErrorSource());
    EXPECT_EQ(e.description(), "enumeration broke down");
    // TearDown checks that the key was closed on the way out.
}

TEST_F(CRegistryKeys, EnumerateValuesListsNamesInCreationOrder) {
    at(kHkeyCurrentUser, "Software\\Vals");
    reg.setValueType(1);
    for (const char* name : {"zeta", "Alpha", "mid", "", "größe"}) {
        reg.setValueKey(name);
        reg.setValue(std::string("x"));
    }
    std::vector<std::string> names{"stale"};
    std::int32_t count = -1;
    EXPECT_TRUE(reg.EnumerateValues(names, count));
    EXPECT_EQ(names, (std::vector<std::string>{"zeta", "Alpha", "mid", "", "größe"}));
    EXPECT_EQ(count, 5);

    at(kHkeyCurrentUser, "Software\\Vals\\Empty");
    reg.CreateKey();
    EXPECT_TRUE(reg.EnumerateValues(names, count));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(count, 0);

    reg.setSectionKey("Software\\Vals\\Missing");
    EXPECT_TRUE(reg.EnumerateValues(names, count));
    EXPECT_EQ(count, 0);
}

TEST_F(CRegistryKeys, CopiesAreIndependentValues) {
    at(kHkeyCurrentUser, "Software\\Copy");
    reg.setValueKey("v");
    reg.setDefault(std::int32_t{7});
    cRegistry copy = reg;
    copy.setSectionKey("Software\\Other");
    EXPECT_EQ(reg.SectionKey(), "Software\\Copy");
    EXPECT_EQ(copy.ValueKey(), "v");
    EXPECT_EQ(std::get<std::int32_t>(copy.Value()), 7);
    cRegistry moved = std::move(copy);
    EXPECT_TRUE(moved.CreateKey());
}

}  // namespace
