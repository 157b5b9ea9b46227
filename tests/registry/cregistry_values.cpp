// cRegistry value reads, writes and deletes.
#include "cregistry_probe.h"

namespace {

using namespace karvo::test;

const std::string kKey = "Software\\Karvo\\Values";

class CRegistryValues : public RegistryTest {
protected:
    void SetUp() override { at(kHkeyCurrentUser, kKey); }

    void write(const std::string& name, std::int32_t type, const Variant& v) {
        reg.setValueKey(name);
        reg.setValueType(type);
        reg.setValue(v);
    }
    Variant read(const std::string& name) {
        reg.setValueKey(name);
        return reg.Value();
    }
    std::pair<DWORD, Bytes> stored(const std::string& name) { return RegistryTest::stored(kHkeyCurrentUser, kKey, name); }
    std::string W(const std::string& name, const std::string& value, std::int32_t hive = -2147483647) {
        return "Failed to set registry value Key: '" + std::to_string(hive) + "',Section: '" + kKey + "',Key: '" +
               name + "' to value: '" + value + "'";
    }
};

TEST_F(CRegistryValues, MissingValuesYieldDefaultAndKeepTheType) {
    EXPECT_TRUE(std::holds_alternative<std::monostate>(read("nothing")));
    reg.setDefault(std::string("fallback"));
    reg.setValueType(3);
    reg.CreateKey();
    EXPECT_EQ(std::get<std::string>(read("nothing")), "fallback");
    EXPECT_EQ(reg.ValueType(), 3);
    reg.setClassKey(0);
    EXPECT_EQ(std::get<std::string>(read("nothing")), "fallback");
}

TEST_F(CRegistryValues, TextIsStoredExpandableOnlyWithAPairOfPercentSigns) {
    const std::pair<Variant, DWORD> cases[] = {
        {std::string("%PATH%"), kRegExpandSz}, {std::string("a%b%"), kRegExpandSz}, {std::string("100%"), kRegSz},
        {std::string("%%"), kRegSz},           {std::string("50% of 60"), kRegSz},  {std::string("Grüße"), kRegSz},
        {std::int32_t{-42}, kRegSz},           {std::string(), kRegSz}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string name = "v" + std::to_string(i);
        write(name, i % 2 == 0 ? 1 : 2, cases[i].first);
        EXPECT_EQ(stored(name).first, cases[i].second) << name;
    }
    reg.setValueType(0);
    EXPECT_EQ(std::get<std::string>(read("v5")), "Grüße");
    EXPECT_EQ(reg.ValueType(), 1);
    EXPECT_EQ(std::get<std::string>(read("v6")), "-42");
    EXPECT_EQ(std::get<std::string>(read("v7")), "");
}

TEST_F(CRegistryValues, ExpandableTextIsExpandedOnRead) {
    ScopedEnv env("KARVO_CREG_PLACE", "Ort");
    write("path", 1, std::string("a%karvo_creg_place%b %KARVO_CREG_UNSET%"));
    EXPECT_EQ(std::get<std::string>(read("path")), "aOrtb %KARVO_CREG_UNSET%");
    EXPECT_EQ(reg.ValueType(), 2);

    // A platform that cannot expand leaves the text as stored.
    const auto fails = [](const char*, char*, DWORD) -> DWORD { return 0; };
    const auto failsSecond = [](const char*, char*, DWORD size) -> DWORD { return size == 0 ? 10 : 0; };
    EXPECT_EQ(karvo::reg::detail::expandEnvironment("%A%x", fails), "%A%x");
    EXPECT_EQ(karvo::reg::detail::expandEnvironment("%A%x", failsSecond), "%A%x");
}

TEST_F(CRegistryValues, OddlyShapedDataReadsSoundly) {
    reg.CreateKey();
    probe.fakeValues = {{"sz", {kRegSz, {'a', 'b', 'c', 0}}},
                        {"unterminated", {kRegSz, {'a', 'b', 'c'}}},
                        {"emptySz", {kRegSz, {}}},
                        {"multi", {kRegMultiSz, {'a', 0, 'b', 'c', 0, 0}}},
                        {"be", {kRegDwordBigEndian, {0xFF, 0xFF, 0xFF, 0xFE}}},
                        {"short", {kRegDword, {0x34, 0x12}}},
                        {"shortBe", {kRegDwordBigEndian, {0x12, 0x34}}},
                        {"long", {kRegDword, {1, 2, 3, 4, 5, 6}}},
                        {"noDword", {kRegDword, {}}},
                        {"qword", {kRegQword, {8, 7, 6, 5, 4, 3, 2, 1}}}};
    EXPECT_EQ(std::get<std::string>(read("sz")), "abc");
    EXPECT_EQ(std::get<std::string>(read("unterminated")), "abc");
    EXPECT_EQ(std::get<std::string>(read("emptySz")), "");
    EXPECT_EQ(std::get<std::string>(read("multi")), std::string("a\0bc\0", 5));
    EXPECT_EQ(reg.ValueType(), 7);
    EXPECT_EQ(std::get<std::int32_t>(read("be")), -2);
    EXPECT_EQ(reg.ValueType(), 5);
    EXPECT_EQ(std::get<std::int32_t>(read("short")), 0x1234);
    EXPECT_EQ(std::get<std::int32_t>(read("shortBe")), 0x1234);
    EXPECT_EQ(std::get<std::int32_t>(read("long")), 0x04030201);
    EXPECT_EQ(std::get<std::int32_t>(read("noDword")), 0);
    EXPECT_EQ(std::get<Bytes>(read("qword")), (Bytes{8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(reg.ValueType(), 11);
}

TEST_F(CRegistryValues, BinaryValuesRoundTripWithATrailingZero) {
    write("bin", 3, Bytes{1, 2, 0xFF});
    write("empty", 3, Bytes{});
    EXPECT_EQ(stored("bin"), std::make_pair(kRegBinary, Bytes{1, 2, 0xFF}));
    EXPECT_EQ(std::get<Bytes>(read("bin")), (Bytes{1, 2, 0xFF, 0}));
    EXPECT_EQ(std::get<Bytes>(read("empty")), (Bytes{0}));

    const RegistryError e = raised([&] { write("text", 3, std::string("text")); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.source(), "");
    EXPECT_EQ(e.description(), "");
    EXPECT_EQ(stored("text").first, 999u);
}

TEST_F(CRegistryValues, NumbersAreWrittenAsLittleEndianDwords) {
    write("one", 5, std::int32_t{1});
    EXPECT_EQ(stored("one"), std::make_pair(kRegDword, Bytes{1, 0, 0, 0}));
    EXPECT_EQ(std::get<std::int32_t>(read("one")), 1);
    EXPECT_EQ(reg.ValueType(), 4);
    write("minus", 4, std::int16_t{-2});
    EXPECT_EQ(stored("minus").second, (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));

    write("text", 4, std::string("5"));
    EXPECT_EQ(stored("text").first, 999u) << "only numbers are written as numbers";
}

TEST_F(CRegistryValues, WriteFailuresDescribeTheWholePlace) {
    RegistryError e = raised([&] { write("v", 0, std::string("x")); });
    EXPECT_EQ(e.number(), -2147194455);
    EXPECT_EQ(e.source(), cRegistry::ErrorSource());
    EXPECT_EQ(e.description(), W("v", "x"));
    e = raised([&] { write("v", 6, Bytes{0x0A, 0xFF}); });
    EXPECT_EQ(e.description(), W("v", "0A FF"));
    EXPECT_EQ(stored("v").first, 999u);

    probe.setResult = kErrorAccessDenied;
    e = raised([&] { write("w", 4, std::int32_t{12}); });
    EXPECT_EQ(e.number(), static_cast<std::int32_t>(0x800469A9u));
    EXPECT_EQ(e.description(), W("w", "12"));
    probe.setResult = kErrorSuccess;

    reg.setClassKey(0);
    e = raised([&] { write("w", 1, std::int16_t{3}); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), W("w", "3", 0));
}

TEST_F(CRegistryValues, DeleteValue) {
    write("gone", 1, std::string("x"));
    reg.setValueKey("gone");
    EXPECT_TRUE(reg.DeleteValue());
    EXPECT_EQ(stored("gone").first, 999u);

    const std::string place = "'-2147483647',Section: '" + kKey;
    RegistryError e = raised([&] { reg.DeleteValue(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to delete registry Key: " + place + "',Key: 'gone");

    reg.setSectionKey(kKey + "\\Missing");
    e = raised([&] { reg.DeleteValue(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to open key " + place + "\\Missing' for delete access");
}

}  // namespace
