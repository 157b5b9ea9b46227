// cRegistry key operations and listings.
#include "cregistry_probe.h"

namespace {

using namespace karvo::test;
using Names = std::vector<std::string>;

class CRegistryKeys : public RegistryTest {
protected:
    void create(const std::string& path) {
        at(kHkeyCurrentUser, path);
        reg.CreateKey();
    }
    Names sections() {
        Names names{"stale"};
        std::int32_t count = -1;
        EXPECT_TRUE(reg.EnumerateSections(names, count));
        EXPECT_EQ(static_cast<std::size_t>(count), names.size());
        return names;
    }
};

TEST_F(CRegistryKeys, AFreshObjectPointsNowhere) {
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_TRUE(sections().empty());
    const RegistryError e = raised([&] { reg.CreateKey(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.source(), "registry_tests.cRegistry");
    EXPECT_EQ(e.description(), "Failed to create registry Key: '");
}

TEST_F(CRegistryKeys, CreateTestAndDeleteKeys) {
    create("Software\\Karvo\\Deep\\Leaf");
    EXPECT_TRUE(reg.KeyExists());
    EXPECT_TRUE(reg.CreateKey()) << "an existing key is opened";
    EXPECT_TRUE(keyExists(kHkeyCurrentUser, "software\\KARVO\\deep"));
    EXPECT_EQ(reg.ClassKey(), -2147483647);
    EXPECT_EQ(reg.SectionKey(), "Software\\Karvo\\Deep\\Leaf");

    EXPECT_TRUE(reg.DeleteKey());
    EXPECT_FALSE(reg.KeyExists());
    RegistryError e = raised([&] { reg.DeleteKey(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to delete registry Key: '-2147483647',Section: 'Software\\Karvo\\Deep\\Leaf");

    at(kHkeyCurrentUser, "Software\\Karvo");
    e = raised([&] { reg.DeleteKey(); });
    EXPECT_EQ(e.number(), 26001) << "a key with sub-keys is refused";
    EXPECT_TRUE(reg.KeyExists());
}

TEST_F(CRegistryKeys, EnumerateSectionsListsSubKeysOnOneHandle) {
    for (const char* name : {"beta", "Alpha", "Ünïcode", "gamma"}) create(std::string("Software\\List\\") + name);
    create("Software\\List\\beta\\child");
    at(kHkeyCurrentUser, "Software\\List");
    probe.enumerationOpens = 0;
    EXPECT_EQ(sections(), (Names{"Alpha", "beta", "gamma", "Ünïcode"}));
    EXPECT_EQ(probe.enumerationOpens, 1);

    at(kHkeyCurrentUser, "Software\\List\\gamma");
    EXPECT_TRUE(sections().empty());
    at(kHkeyCurrentUser, "Software\\List\\missing");
    EXPECT_TRUE(sections().empty());
}

TEST_F(CRegistryKeys, EnumerateSectionsStopsAtANameTooLongForItsBuffer) {
    const std::string fits(254, 'b');
    for (const std::string& name : {std::string("a"), fits, "c" + std::string(254, 'x'), std::string("d")})
        create("Software\\Long\\" + name);
    at(kHkeyCurrentUser, "Software\\Long");
    EXPECT_EQ(sections(), (Names{"a", fits}));
}

TEST_F(CRegistryKeys, EnumerateSectionsReportsARunTimeFailure) {
    for (const char* name : {"one", "two"}) create(std::string("Software\\Broken\\") + name);
    at(kHkeyCurrentUser, "Software\\Broken");
    probe.throwAtEnumKey = 1;
    Names names;
    std::int32_t count = 0;
    const RegistryError e = raised([&] { reg.EnumerateSections(names, count); });
    EXPECT_EQ(e.number(), -2147194454);
    EXPECT_EQ(e.source(), cRegistry::ErrorSource());
    EXPECT_EQ(e.description(), "enumeration broke down");
}

TEST_F(CRegistryKeys, EnumerateValuesListsNamesInCreationOrder) {
    at(kHkeyCurrentUser, "Software\\Vals");
    reg.setValueType(1);
    const Names written{"zeta", "Alpha", "", "größe"};
    for (const std::string& name : written) {
        reg.setValueKey(name);
        reg.setValue(std::string("x"));
    }
    Names names{"stale"};
    std::int32_t count = -1;
    EXPECT_TRUE(reg.EnumerateValues(names, count));
    EXPECT_EQ(names, written);
    EXPECT_EQ(count, 4);
    // Windows counts the longest name in characters, which can be short of its code-page bytes.
    probe.valueNameShortfall = 4;
    EXPECT_TRUE(reg.EnumerateValues(names, count));
    EXPECT_EQ(names, written);

    create("Software\\Vals\\Empty");
    for (const char* path : {"Software\\Vals\\Empty", "Software\\Vals\\Missing"}) {
        at(kHkeyCurrentUser, path);
        EXPECT_TRUE(reg.EnumerateValues(names, count));
        EXPECT_EQ(count, 0);
        EXPECT_TRUE(names.empty());
    }
}

TEST(CRegistrySystem, ADefaultObjectWorksOnTheUsersRegistry) {
    TempDir dir;
    ScopedEnv env("KARVO_REGISTRY", (dir / "user.db").string());
    cRegistry reg;
    reg.setClassKey(cRegistry::kCurrentUser);
    reg.setSectionKey("Software\\Karvo\\Default");
    EXPECT_TRUE(reg.CreateKey());
    cRegistry copy = reg;
    EXPECT_TRUE(copy.KeyExists());
    EXPECT_TRUE(std::filesystem::exists(dir / "user.db"));
}

}  // namespace
