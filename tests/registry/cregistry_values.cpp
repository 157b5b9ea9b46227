// cRegistry value reads, writes and deletes, against a private store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cregistry_probe.h"

namespace {

using namespace karvo::test;
using Bytes = std::vector<std::uint8_t>;

const std::string kKey = "Software\\Karvo\\Values";

class CRegistryValues : public ::testing::Test, protected RegistryFixtureState {
protected:
    void SetUp() override {
        reg.setClassKey(cRegistry::kCurrentUser);
        reg.setSectionKey(kKey);
    }
    void TearDown() override { EXPECT_TRUE(probe.open.empty()) << "a key was left open"; }

    void write(const std::string& name, std::int32_t type, const Variant& v) {
        reg.setValueKey(name);
        reg.setValueType(type);
        reg.setValue(v);
    }
    Variant read(const std::string& name) {
        reg.setValueKey(name);
        return reg.Value();
    }
    DWORD storedType(const std::string& name) {
        DWORD type = 999;
        Bytes data;
        EXPECT_TRUE(raw(kHkeyCurrentUser, kKey, name, type, data)) << name;
        return type;
    }
    Bytes storedData(const std::string& name) {
        DWORD type = 0;
        Bytes data;
        EXPECT_TRUE(raw(kHkeyCurrentUser, kKey, name, type, data)) << name;
        return data;
    }
    bool stored(const std::string& name) {
        DWORD type = 0;
        Bytes data;
        return raw(kHkeyCurrentUser, kKey, name, type, data);
    }
    void fake(const std::string& name, DWORD type, Bytes data) {
        reg.CreateKey();
        probe.fakeValues[name] = {type, std::move(data)};
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

TEST_F(CRegistryValues, MissingValuesYieldDefaultAndKeepTheType) {
    EXPECT_TRUE(std::holds_alternative<std::monostate>(read("nothing")));

    reg.setDefault(std::string("fallback"));
    reg.setValueType(3);
    EXPECT_EQ(std::get<std::string>(read("nothing")), "fallback");
    EXPECT_EQ(reg.ValueType(), 3);

    reg.CreateKey();
    EXPECT_EQ(std::get<std::string>(read("nothing")), "fallback");
    EXPECT_EQ(reg.ValueType(), 3);

    reg.setClassKey(0);
    EXPECT_EQ(std::get<std::string>(read("nothing")), "fallback");
}

TEST_F(CRegistryValues, TextRoundTripsAndSetsTheType) {
    write("plain", 1, std::string("abc"));
    write("empty", 1, std::string());
    write("utf8", 1, std::string("Grüße, 日本"));
    write("number", 1, std::int32_t{-42});
    write("short", 2, std::int16_t{7});

    reg.setValueType(0);
    EXPECT_EQ(std::get<std::string>(read("plain")), "abc");
    EXPECT_EQ(reg.ValueType(), 1);
    EXPECT_EQ(std::get<std::string>(read("empty")), "");
    EXPECT_EQ(std::get<std::string>(read("utf8")), "Grüße, 日本");
    EXPECT_EQ(std::get<std::string>(read("number")), "-42");
    EXPECT_EQ(std::get<std::string>(read("short")), "7");
    EXPECT_EQ(storedType("short"), kRegSz) << "the text decides the type, not ValueType 2";
}

TEST_F(CRegistryValues, TextWithAPairOfPercentSignsIsStoredExpandable) {
    struct Case {
        const char* text;
        DWORD type;
    };
    const Case cases[] = {{"%PATH%", kRegExpandSz}, {"a%b%", kRegExpandSz}, {"%%%", kRegExpandSz},
                          {"100%", kRegSz},         {"%%", kRegSz},         {"50% of 60", kRegSz},
                          {"no signs", kRegSz}};
    int i = 0;
    for (const Case& c : cases) {
        const std::string name = "v" + std::to_string(i++);
        write(name, 1, std::string(c.text));
        EXPECT_EQ(storedType(name), c.type) << c.text;
    }
    EXPECT_TRUE(karvo::reg::detail::looksExpandable("x%y%"));
    EXPECT_FALSE(karvo::reg::detail::looksExpandable("%"));
}

TEST_F(CRegistryValues, ExpandableTextIsExpandedOnRead) {
    ScopedEnv env("KARVO_CREG_PLACE", "Ort");
    write("path", 1, std::string("a%karvo_creg_place%b %KARVO_CREG_UNSET_NAME%"));
    reg.setValueType(0);
    EXPECT_EQ(std::get<std::string>(read("path")), "aOrtb %KARVO_CREG_UNSET_NAME%");
    EXPECT_EQ(reg.ValueType(), 2);
}

// ExpandEnvironmentStringsA stand-ins for the cases a working platform never shows.
DWORD expandFails(const char*, char*, DWORD) { return 0; }
DWORD expandFailsSecondTime(const char*, char*, DWORD size) { return size == 0 ? 10 : 0; }
int growCalls = 0;
DWORD expandGrows(const char*, char* dst, DWORD size) {
    // First answers 4, then needs 7 (the environment changed), then fills.
    ++growCalls;
    if (size < 7) return size == 0 ? 4 : 7;
    std::memcpy(dst, "longer", 7);
    return 7;
}

TEST(CRegistryExpansion, AFailingPlatformLeavesTheTextUnexpanded) {
    EXPECT_EQ(karvo::reg::detail::expandEnvironment("%A%x", &expandFails), "%A%x");
    EXPECT_EQ(karvo::reg::detail::expandEnvironment("%A%x", &expandFailsSecondTime), "%A%x");
    EXPECT_EQ(karvo::reg::detail::expandEnvironment("%A%", &expandGrows), "longer");
    EXPECT_EQ(growCalls, 3);
}

TEST_F(CRegistryValues, TextReadsDropOnlyATerminatingZero) {
    fake("terminated", kRegSz, {'a', 'b', 'c', 0});
    fake("unterminated", kRegSz, {'a', 'b', 'c'});
    fake("zeroLength", kRegSz, {});
    fake("multi", kRegMultiSz, {'a', 0, 'b', 'c', 0, 0});
    EXPECT_EQ(std::get<std::string>(read("terminated")), "abc");
    EXPECT_EQ(std::get<std::string>(read("unterminated")), "abc");
    EXPECT_EQ(std::get<std::string>(read("zeroLength")), "");
    EXPECT_EQ(std::get<std::string>(read("multi")), std::string("a\0bc\0", 5));
    EXPECT_EQ(reg.ValueType(), 7);
}

TEST_F(CRegistryValues, MultiStringsFromTheStoreKeepTheirSeparators) {
    // "one", "two" as the store keeps them: UTF-16LE, each terminated, plus the list's terminator.
    Bytes data;
    for (char c : std::string("one\0two\0\0", 9)) {
        data.push_back(static_cast<std::uint8_t>(c));
        data.push_back(0);
    }
    putRaw(kHkeyCurrentUser, kKey, "multi", kRegMultiSz, data);
    EXPECT_EQ(std::get<std::string>(read("multi")), std::string("one\0two\0", 8));
}

TEST_F(CRegistryValues, BinaryAndOtherTypesReadWithATrailingZero) {
    write("bin", 3, Bytes{1, 2, 0xFF});
    write("none", 3, Bytes{});
    EXPECT_EQ(storedData("bin"), (Bytes{1, 2, 0xFF}));
    EXPECT_EQ(std::get<Bytes>(read("bin")), (Bytes{1, 2, 0xFF, 0}));
    EXPECT_EQ(reg.ValueType(), 3);
    EXPECT_EQ(std::get<Bytes>(read("none")), (Bytes{0}));

    putRaw(kHkeyCurrentUser, kKey, "qword", kRegQword, {8, 7, 6, 5, 4, 3, 2, 1});
    putRaw(kHkeyCurrentUser, kKey, "untyped", kRegNone, {});
    EXPECT_EQ(std::get<Bytes>(read("qword")), (Bytes{8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(reg.ValueType(), 11);
    EXPECT_EQ(std::get<Bytes>(read("untyped")), (Bytes{0}));
    EXPECT_EQ(reg.ValueType(), 0);
}

TEST_F(CRegistryValues, BinaryWritesNeedBytes) {
    const RegistryError e = caught([&] { write("bin", 3, std::string("text")); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.source(), "");
    EXPECT_EQ(e.description(), "");
    EXPECT_FALSE(stored("bin"));
}

TEST_F(CRegistryValues, NumbersAreWrittenAsLittleEndianDwords) {
    write("one", 5, std::int32_t{1});
    EXPECT_EQ(storedType("one"), kRegDword);
    EXPECT_EQ(storedData("one"), (Bytes{1, 0, 0, 0}));
    reg.setValueType(5);
    EXPECT_EQ(std::get<std::int32_t>(read("one")), 1);
    EXPECT_EQ(reg.ValueType(), 4);

    write("minus", 4, std::int16_t{-2});
    EXPECT_EQ(storedData("minus"), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::get<std::int32_t>(read("minus")), -2);

    write("text", 4, std::string("5"));
    write("bytes", 5, Bytes{5, 0, 0, 0});
    EXPECT_FALSE(stored("text")) << "a number type takes numbers only";
    EXPECT_FALSE(stored("bytes"));
}

TEST_F(CRegistryValues, BigEndianDwordsAreSwapped) {
    putRaw(kHkeyCurrentUser, kKey, "be", kRegDwordBigEndian, {0x12, 0x34, 0x56, 0x78});
    EXPECT_EQ(std::get<std::int32_t>(read("be")), 0x12345678);
    EXPECT_EQ(reg.ValueType(), 5);
    putRaw(kHkeyCurrentUser, kKey, "neg", kRegDwordBigEndian, {0xFF, 0xFF, 0xFF, 0xFE});
    EXPECT_EQ(std::get<std::int32_t>(read("neg")), -2);
}

TEST_F(CRegistryValues, DwordsOfTheWrongLengthReadAsTheNumberTheirBytesMake) {
    fake("short", kRegDword, {0x34, 0x12});
    fake("shortBe", kRegDwordBigEndian, {0x12, 0x34});
    fake("long", kRegDword, {1, 2, 3, 4, 5, 6, 7, 8});
    fake("longBe", kRegDwordBigEndian, {1, 2, 3, 4, 5, 6});
    fake("empty", kRegDword, {});
    EXPECT_EQ(std::get<std::int32_t>(read("short")), 0x1234);
    EXPECT_EQ(std::get<std::int32_t>(read("shortBe")), 0x1234);
    EXPECT_EQ(std::get<std::int32_t>(read("long")), 0x04030201);
    EXPECT_EQ(std::get<std::int32_t>(read("longBe")), 0x01020304);
    EXPECT_EQ(std::get<std::int32_t>(read("empty")), 0);
    EXPECT_EQ(reg.ValueType(), 4);
}

TEST_F(CRegistryValues, WriteFailuresDescribeTheWholePlace) {
    RegistryError e = caught([&] { write("v", 0, std::string("x")); });
    EXPECT_EQ(e.number(), -2147194455);
    EXPECT_EQ(e.source(), cRegistry::ErrorSource());
    EXPECT_EQ(e.description(),
              "Failed to set registry value Key: '-2147483647',Section: 'Software\\Karvo\\Values',Key: 'v' to value: 'x'");
    EXPECT_FALSE(stored("v"));

    e = caught([&] { write("v", 6, Bytes{0x0A, 0xFF}); });
    EXPECT_EQ(e.number(), static_cast<std::int32_t>(0x800469A9u));
    EXPECT_EQ(e.description(),
              "Failed to set registry value Key: '-2147483647',Section: 'Software\\Karvo\\Values',Key: 'v' to value: '0A FF'");

    probe.setResult = kErrorAccessDenied;
    e = caught([&] { write("w", 4, std::int32_t{12}); });
    EXPECT_EQ(e.number(), static_cast<std::int32_t>(0x800469A9u));
    EXPECT_EQ(e.description(),
              "Failed to set registry value Key: '-2147483647',Section: 'Software\\Karvo\\Values',Key: 'w' to value: '12'");
    probe.setResult = kErrorSuccess;

    reg.setClassKey(0);
    e = caught([&] { write("w", 1, Variant{}); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to set registry value Key: '0',Section: 'Software\\Karvo\\Values',Key: 'w' to value: ''");
}

TEST_F(CRegistryValues, DeleteValue) {
    write("gone", 1, std::string("x"));
    write("kept", 1, std::string("y"));
    reg.setValueKey("gone");
    EXPECT_TRUE(reg.DeleteValue());
    EXPECT_FALSE(stored("gone"));
    EXPECT_TRUE(stored("kept"));

    RegistryError e = caught([&] { reg.DeleteValue(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to delete registry Key: '-2147483647',Section: 'Software\\Karvo\\Values',Key: 'gone");

    probe.deleteValueResult = kErrorAccessDenied;
    reg.setValueKey("kept");
    e = caught([&] { reg.DeleteValue(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_TRUE(stored("kept"));

    reg.setSectionKey("Software\\Karvo\\NoSuchKey");
    e = caught([&] { reg.DeleteValue(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to open key '-2147483647',Section: 'Software\\Karvo\\NoSuchKey' for delete access");
}

TEST(CRegistryVariantText, EveryKindHasATextForm) {
    using karvo::reg::detail::variantText;
    EXPECT_EQ(variantText(Variant{}), "");
    EXPECT_EQ(variantText(std::string("t")), "t");
    EXPECT_EQ(variantText(std::int16_t{-32768}), "-32768");
    EXPECT_EQ(variantText(std::int32_t{2147483647}), "2147483647");
    EXPECT_EQ(variantText(Bytes{0, 0x1F, 0xA0}), "00 1F A0");
}

}  // namespace
