// Exact bytes of exports: the registry editor's own layout, value syntax and line wrapping.

#include "writer_support.h"

#include <string>
#include <vector>

namespace karvo::regfile::writertest {
namespace {

class ExportTest : public WriterTest {};

TEST_F(ExportTest, EmptyKeyAndSimpleValues) {
    touch(kK + "\\empty");
    expectFileEq(unicodeFile({"", "[" + kK + "\\empty]", ""}), exported(kK + "\\empty"));

    setDword(kK + "\\simple", "DWORD", 0x100);
    setSz(kK + "\\simple", "String", "Your text here...");
    expectFileEq(unicodeFile({"", "[" + kK + "\\simple]", "\"DWORD\"=dword:00000100",
                              "\"String\"=\"Your text here...\"", ""}),
                 exported(kK + "\\simple"));
}

// One tree that covers key order, escaping, every common tag and a wrapped line.
void fillComplexTree(WriterTest& t) {
    t.setDword(kK, "DWORD", 0x100);
    t.setSz(kK, "String", "Your text here...");
    t.set(kK + "\\Subkey1", "Binary", reg::kRegBinary, bytes({0x11, 0x22, 0x33, 0x44}));
    t.set(kK + "\\Subkey1", "Undefined hex", 0x100, std::string("%PATH%\0", 7));
    t.setSz(kK + "\\Subkey2a", "double\"quote", "\"Hello, World!\"");
    t.setDword(kK + "\\Subkey2a", "single'quote", 8);
    t.setSz(kK + "\\Subkey2a\\Subkey2b", "", "Default value name");
    t.set(kK + "\\Subkey2a\\Subkey2b", "Multiple strings", reg::kRegMultiSz,
          wz("Line1") + wz("Line2") + wz("Line3") + std::string(2, '\0'));
    t.setSz(kK + "\\Subkey3a", "Backslash", "Use \\\\ to escape a backslash");
    t.set(kK + "\\Subkey3a\\Subkey3b\\Subkey3c", "String expansion", reg::kRegExpandSz, wz("%HOME%\\%PATH%"));
    t.set(kK + "\\Subkey3a\\Subkey3b\\Subkey3c", "Zero data type", reg::kRegNone, std::string("Value\0", 6));
    t.setDword(kK + "\\Subkey4", "", 0x12345678);
    t.set(kK + "\\Subkey4", "43981", 0xabcd, std::string("Value\0", 6));
}

TEST_F(ExportTest, ComplexTree) {
    fillComplexTree(*this);
    expectFileEq(
        unicodeFile({
            "",
            "[" + kK + "]",
            "\"DWORD\"=dword:00000100",
            "\"String\"=\"Your text here...\"",
            "",
            "[" + kK + "\\Subkey1]",
            "\"Binary\"=hex:11,22,33,44",
            "\"Undefined hex\"=hex(100):25,50,41,54,48,25,00",
            "",
            "[" + kK + "\\Subkey2a]",
            "\"double\\\"quote\"=\"\\\"Hello, World!\\\"\"",
            "\"single'quote\"=dword:00000008",
            "",
            "[" + kK + "\\Subkey2a\\Subkey2b]",
            "@=\"Default value name\"",
            "\"Multiple strings\"=hex(7):4c,00,69,00,6e,00,65,00,31,00,00,00,4c,00,69,00,6e,\\",
            "  00,65,00,32,00,00,00,4c,00,69,00,6e,00,65,00,33,00,00,00,00,00",
            "",
            "[" + kK + "\\Subkey3a]",
            "\"Backslash\"=\"Use \\\\\\\\ to escape a backslash\"",
            "",
            "[" + kK + "\\Subkey3a\\Subkey3b]",
            "",
            "[" + kK + "\\Subkey3a\\Subkey3b\\Subkey3c]",
            "\"String expansion\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,5c,00,25,00,50,\\",
            "  00,41,00,54,00,48,00,25,00,00,00",
            "\"Zero data type\"=hex(0):56,61,6c,75,65,00",
            "",
            "[" + kK + "\\Subkey4]",
            "@=dword:12345678",
            "\"43981\"=hex(abcd):56,61,6c,75,65,00",
            "",
        }),
        exported(kK));
}

TEST_F(ExportTest, Regedit4WritesTextTypesAsSingleBytes) {
    fillComplexTree(*this);
    setSz(kK + "\\Subkey5", "Gr\xC3\xBC\xC3\x9F" "e", "\xC3\xBC" "ber \"x\"");
    set(kK + "\\Subkey5", "exp", reg::kRegExpandSz, wz("\xC3\xBC"));
    const std::string out = exported(kK + "\\Subkey2a", Format::Regedit4);
    expectFileEq(regedit4File({
                     "",
                     "[" + kK + "\\Subkey2a]",
                     "\"double\\\"quote\"=\"\\\"Hello, World!\\\"\"",
                     "\"single'quote\"=dword:00000008",
                     "",
                     "[" + kK + "\\Subkey2a\\Subkey2b]",
                     "@=\"Default value name\"",
                     "\"Multiple strings\"=hex(7):4c,69,6e,65,31,00,4c,69,6e,65,32,00,4c,69,6e,65,33,\\",
                     "  00,00",
                     "",
                 }),
                 out);
    expectFileEq(regedit4File({
                     "",
                     "[" + kK + "\\Subkey5]",
                     "\"Gr\xC3\xBC\xC3\x9F" "e\"=\"\xC3\xBC" "ber \\\"x\\\"\"",
                     "\"exp\"=hex(2):c3,bc,00",
                     "",
                 }),
                 exported(kK + "\\Subkey5", Format::Regedit4));
}

TEST_F(ExportTest, SiblingsSortedValuesInCreationOrder) {
    touch(kK + "\\Subkey2");
    touch(kK + "\\Subkey1");
    setSz(kK, "Value 2", "I was added first!");
    setSz(kK, "Value 1", "I was added second!");
    setSz(kK, "Value 2", "overwritten in place");
    expectFileEq(unicodeFile({"", "[" + kK + "]", "\"Value 2\"=\"overwritten in place\"",
                              "\"Value 1\"=\"I was added second!\"", "", "[" + kK + "\\Subkey1]", "",
                              "[" + kK + "\\Subkey2]", ""}),
                 exported(kK));
}

TEST_F(ExportTest, ZeroLengthDataOfEveryType) {
    const std::vector<std::pair<std::string, DWORD>> values = {
        {"Wine1a", 0}, {"Wine1b", 1}, {"Wine1c", 2}, {"Wine1d", 3},
        {"Wine1e", 4}, {"Wine1f", 7}, {"Wine1g", 0x100}, {"Wine1h", 0xabcd}};
    for (const auto& [name, type] : values)
        set(kK, name, type, "");
    // An empty REG_SZ has no terminating NUL, which the quoted form would add on import.
    expectFileEq(unicodeFile({"", "[" + kK + "]", "\"Wine1a\"=hex(0):", "\"Wine1b\"=hex(1):", "\"Wine1c\"=hex(2):",
                              "\"Wine1d\"=hex:", "\"Wine1e\"=hex(4):", "\"Wine1f\"=hex(7):", "\"Wine1g\"=hex(100):",
                              "\"Wine1h\"=hex(abcd):", ""}),
                 exported(kK));
}

TEST_F(ExportTest, StringsTheQuotedFormCannotCarryAreWrittenAsHex) {
    set(kK, "a", reg::kRegSz, std::string(8, '\0'));
    set(kK, "b", reg::kRegSz, bytes({0, 0, 0x61, 0, 0x62, 0, 0x63, 0}));
    set(kK, "c", reg::kRegSz, bytes({0x61, 0, 0x62, 0, 0x63, 0, 0, 0, 0x64, 0, 0x65, 0, 0x66, 0, 0, 0}));
    set(kK, "cr lf", reg::kRegSz, wz("one\r\ntwo"));
    set(kK, "odd", reg::kRegSz, bytes({0x61, 0, 0x62}));
    set(kK, "no nul", reg::kRegSz, bytes({0x61, 0}));
    set(kK, "lone surrogate", reg::kRegSz, bytes({0x00, 0xd8, 0x61, 0, 0, 0}));
    setSz(kK, "pair", "\xF0\x9F\x98\x80");
    setDword(kK, "dword", 0x10203040);
    set(kK, "long dword", reg::kRegDword, bytes({0x80, 0x70, 0x60, 0x50, 0x40, 0x30, 0x20, 0x10}));
    set(kK, "big endian", reg::kRegDwordBigEndian, bytes({1, 2, 3, 4}));
    set(kK, "qword", reg::kRegQword, bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    setSz(kK, "slash zero", "\\0");
    setSz(kK, "between", "Value3\\0Value4");
    expectFileEq(unicodeFile({"",
                              "[" + kK + "]",
                              "\"a\"=hex(1):00,00,00,00,00,00,00,00",
                              "\"b\"=hex(1):00,00,61,00,62,00,63,00",
                              "\"c\"=hex(1):61,00,62,00,63,00,00,00,64,00,65,00,66,00,00,00",
                              "\"cr lf\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00,74,00,77,00,6f,00,00,00",
                              "\"odd\"=hex(1):61,00,62",
                              "\"no nul\"=hex(1):61,00",
                              "\"lone surrogate\"=hex(1):00,d8,61,00,00,00",
                              "\"pair\"=\"\xF0\x9F\x98\x80\"",
                              "\"dword\"=dword:10203040",
                              "\"long dword\"=hex(4):80,70,60,50,40,30,20,10",
                              "\"big endian\"=hex(5):01,02,03,04",
                              "\"qword\"=hex(b):01,02,03,04,05,06,07,08",
                              "\"slash zero\"=\"\\\\0\"",
                              "\"between\"=\"Value3\\\\0Value4\"",
                              ""}),
                 exported(kK));
}

TEST_F(ExportTest, NamesWrittenRawInKeysAndEscapedInValues) {
    setSz(kK, "count/up", "one/two/three");
    setSz(kK, "\\foo\\bar", "");
    touch(kK + "\\https://winehq.org");
    touch(kK + "\\Subkey\"1 [x] ;#=");
    expectFileEq(unicodeFile({"", "[" + kK + "]", "\"count/up\"=\"one/two/three\"", "\"\\\\foo\\\\bar\"=\"\"", "",
                              "[" + kK + "\\https://winehq.org]", "", "[" + kK + "\\Subkey\"1 [x] ;#=]", ""}),
                 exported(kK));
}

TEST_F(ExportTest, TopKeyLookedUpIgnoringCaseAndWrittenAsStored) {
    setSz("HKEY_CURRENT_USER\\Software\\MixedCase\\Inner", "v", "x");
    const std::string expected =
        unicodeFile({"", "[HKEY_CURRENT_USER\\Software\\MixedCase\\Inner]", "\"v\"=\"x\"", ""});
    expectFileEq(expected, exported("hkey_current_user\\SOFTWARE\\mixedcase\\INNER"));
    // A doubled or trailing separator names the same key.
    expectFileEq(expected, exported("HKEY_CURRENT_USER\\Software\\\\MixedCase\\Inner\\"));
}

// Long data breaks after the comma that reaches column 77; continuation lines hold 25 bytes.
TEST_F(ExportTest, HexWrapping) {
    set(kK, "", reg::kRegExpandSz, wz("%SystemRoot%\\system32\\NOTEPAD.EXE %1"));
    set(kK, "DevicePath", reg::kRegExpandSz, wz("%SystemRoot%\\inf"));
    std::string thirty;
    for (int i = 0; i < 30; ++i)
        thirty.push_back(static_cast<char>(i));
    set(kK, "eighteen_chars_xyz", reg::kRegBinary, thirty);
    set(kK, "ProgramFilesPath", reg::kRegExpandSz, thirty.substr(1, 17));
    set(kK + "\\b4", "ProgramFilesPath", reg::kRegExpandSz, thirty.substr(1, 18));
    set(kK, std::string(80, 'N'), reg::kRegBinary, bytes({0, 1, 2}));
    // The column counts UTF-16 units: these names are 5 and 6 units long.
    set(kK, "Gr\xC3\xB6\xC3\x9F" "e", reg::kRegBinary, thirty.substr(0, 23));
    set(kK, "\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80", reg::kRegBinary, thirty.substr(0, 23));
    expectFileEq(
        unicodeFile({
            "",
            "[" + kK + "]",
            "@=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,\\",
            "  00,5c,00,73,00,79,00,73,00,74,00,65,00,6d,00,33,00,32,00,5c,00,4e,00,4f,00,\\",
            "  54,00,45,00,50,00,41,00,44,00,2e,00,45,00,58,00,45,00,20,00,25,00,31,00,00,\\",
            "  00",
            "\"DevicePath\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,\\",
            "  00,74,00,25,00,5c,00,69,00,6e,00,66,00,00,00",
            "\"eighteen_chars_xyz\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,\\",
            "  12,13,14,15,16,17,18,19,1a,1b,1c,1d",
            "\"ProgramFilesPath\"=hex(2):01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11",
            "\"" + std::string(80, 'N') + "\"=hex:00,\\",
            "  01,02",
            "\"Gr\xC3\xB6\xC3\x9F" "e\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\",
            "  16",
            "\"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\",
            "  16",
            "",
            "[" + kK + "\\b4]",
            "\"ProgramFilesPath\"=hex(2):01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,\\",
            "  12",
            "",
        }),
        exported(kK));
}

}  // namespace
}  // namespace karvo::regfile::writertest
