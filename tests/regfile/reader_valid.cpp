// Files the reader must accept, and exactly what they leave in the store.
#include "reader_support.h"

namespace karvo::regfile::test {
namespace {

enum class Variant { Both, Ansi, Unicode };

struct Expect {
    std::string key;   // below K ("" = K itself)
    std::string name;  // "" = the default value
    std::optional<DWORD> type;  // nullopt: the value must not exist
    std::string data;
};

struct ValidCase {
    const char* label;
    std::vector<std::string> body;  // lines after the header and "[K]"
    std::vector<Expect> expect;
    Variant variant = Variant::Both;
    bool finalEol = true;
};

std::string under(const std::string& sub) {
    return sub.empty() ? kK : kK + "\\" + sub;
}

const std::vector<ValidCase>& validCases() {
    static const std::vector<ValidCase> cases = {
        {"dword and binary",
         {R"("Wine1a"=dword:00000017)", R"("Wine1b"=dword:1)", R"("Wine1c"=dword:4444)",
          R"("Wine1d"=hex:aa,bb,cc,11)", R"("Wine1e"=dword:FFFFfffe)"},
         {{"", "Wine1a", reg::kRegDword, dwordBytes(0x17)},
          {"", "Wine1b", reg::kRegDword, dwordBytes(1)},
          {"", "Wine1c", reg::kRegDword, dwordBytes(0x4444)},
          {"", "Wine1d", reg::kRegBinary, bytes({0xaa, 0xbb, 0xcc, 0x11})},
          {"", "Wine1e", reg::kRegDword, dwordBytes(0xfffffffe)}}},
        {"names and strings with escapes, blanks and comment characters",
         {R"("With=Equals"="asdf")", R"("double\"quote"="valid \"or\" not")", R"(  "  Wine6c  "  =  "  x  ")",
          R"("\\foo\\bar"="Use \\\\ to escape")", R"("Wine15"="#comment1")", R"("Wine18"="Value;comment4")",
          R"("Empty string"="")", R"("Literal"="Value3\\0Value4")"},
         {{"", "With=Equals", reg::kRegSz, wz("asdf")},
          {"", "double\"quote", reg::kRegSz, wz("valid \"or\" not")},
          {"", "  Wine6c  ", reg::kRegSz, wz("  x  ")},
          {"", "\\foo\\bar", reg::kRegSz, wz("Use \\\\ to escape")},
          {"", "Wine15", reg::kRegSz, wz("#comment1")},
          {"", "Wine18", reg::kRegSz, wz("Value;comment4")},
          {"", "Empty string", reg::kRegSz, wz("")},
          {"", "Literal", reg::kRegSz, wz("Value3\\0Value4")}}},
        {"key names with quotes and slashes",
         {"[" + kK + "\\Subkey\"1]", R"("Wine\\31"="Test value")", "[" + kK + "\\Subkey/2]",
          R"("123/\"4;'5"="Random value name")"},
         {{"Subkey\"1", "Wine\\31", reg::kRegSz, wz("Test value")},
          {"Subkey/2", "123/\"4;'5", reg::kRegSz, wz("Random value name")}}},
        {"default values and blanks around = and dword:",
         {R"(""="Default registry value")", "[" + kK + "\\D2]", R"(@  =  "Test Value")", "[" + kK + "\\D3]",
          "\t@\t=\tdword:\t00000008\t", R"("W"=dword:  00000009)"},
         {{"", "", reg::kRegSz, wz("Default registry value")},
          {"D2", "", reg::kRegSz, wz("Test Value")},
          {"D3", "", reg::kRegDword, dwordBytes(8)},
          {"D3", "W", reg::kRegDword, dwordBytes(9)}}},
        {"comments after data and on their own lines",
         {R"("Wine4"="Value 2";comment)", R"("Wine6"=dword:02040608 ;comment)", R"("Wine26a"="Value1"  ;comment)",
          R"("Wine7"=dword:1234;5678)", R"("Wine8"=hex:01,02;comment)", ";comment \\", "#comment \\",
          "  ;indented", R"("Wine9"="after")"},
         {{"", "Wine4", reg::kRegSz, wz("Value 2")},
          {"", "Wine6", reg::kRegDword, dwordBytes(0x02040608)},
          {"", "Wine26a", reg::kRegSz, wz("Value1")},
          {"", "Wine7", reg::kRegDword, dwordBytes(0x1234)},
          {"", "Wine8", reg::kRegBinary, bytes({1, 2})},
          {"", "Wine9", reg::kRegSz, wz("after")}}},
        {"any type number, raw bytes",
         {R"("T10"=hex(10):01,02)", R"("T7f"=hex(7fffffff):03)", R"("Tff"=hex(ffffffff):04)",
          R"("T100"=hex(100):25,00)", R"("Tabcd"=hex(abcd):)", R"("T3"=hex(3):12,34,56,78)",
          R"("T4"=hex(4):40,30,20,10)", R"("T4b"=hex(4):80,70,60,50,40,30,20,10)", R"("T0"=hex(0):)",
          R"("Tb"=hex(b):01,02,03,04,05,06,07,08)", R"("Tr"=hex:01,02,)", R"("Te"=hex:)"},
         {{"", "T10", 0x10, bytes({1, 2})},
          {"", "T7f", 0x7fffffff, bytes({3})},
          {"", "Tff", 0xffffffff, bytes({4})},
          {"", "T100", 0x100, bytes({0x25, 0})},
          {"", "Tabcd", 0xabcd, ""},
          {"", "T3", reg::kRegBinary, bytes({0x12, 0x34, 0x56, 0x78})},
          {"", "T4", reg::kRegDword, dwordBytes(0x10203040)},
          {"", "T4b", reg::kRegDword, bytes({0x80, 0x70, 0x60, 0x50, 0x40, 0x30, 0x20, 0x10})},
          {"", "T0", reg::kRegNone, ""},
          {"", "Tb", reg::kRegQword, bytes({1, 2, 3, 4, 5, 6, 7, 8})},
          {"", "Tr", reg::kRegBinary, bytes({1, 2})},
          {"", "Te", reg::kRegBinary, ""}}},
        {"continued hex data",
         {R"("C1"=hex:01,02,  \)", "  03", "\"C2\"=hex:01,02,\t\\", "\t03,04", R"("C3"=hex:5c,  \  ;c)", "  05",
          "\"C4\"=hex:5c,\\\t  ;c", "  06", R"("C5"=hex:01,\)", "", "   ", "  ;comment", "\t;comment \\", "  02",
          R"("C6"=hex:\)", "  07,08", R"("C7"=hex:01,\)", "  02,\\", "03", R"("After"=dword:1)"},
         {{"", "C1", reg::kRegBinary, bytes({1, 2, 3})},
          {"", "C2", reg::kRegBinary, bytes({1, 2, 3, 4})},
          {"", "C3", reg::kRegBinary, bytes({0x5c, 5})},
          {"", "C4", reg::kRegBinary, bytes({0x5c, 6})},
          {"", "C5", reg::kRegBinary, bytes({1, 2})},
          {"", "C6", reg::kRegBinary, bytes({7, 8})},
          {"", "C7", reg::kRegBinary, bytes({1, 2, 3})},
          {"", "After", reg::kRegDword, dwordBytes(1)}}},
        {"hex data still continuing at the end of the file",
         {R"("Wine2"=hex(0):56,61,6c,75,65,\)"},
         {{"", "Wine2", reg::kRegNone, "Value"}}},
        {"hex data continuing into blank and comment lines at the end of the file",
         {R"("Wine2"=hex(0):56,\)", "", ";comment"},
         {{"", "Wine2", reg::kRegNone, "V"}},
         Variant::Both,
         false},
        {"string types from ANSI bytes are widened and terminated",
         {R"("Wine20a"=hex(2):4c,69,6e,65,00)", R"("S7a"=hex(7):4c,69,6e,65)", R"("S7b"=hex(7):4c,69,6e,65,)",
          R"("S7c"=hex(7):4c,69,6e,65,00)", R"("S7d"=hex(7):4c,69,6e,65,00,00)", R"("P1"=hex(2):25,50,41,54,48,25)",
          R"("P2"=hex(2):25,50,41,54,48,25,)", R"("P3"=hex(2):25,50,41,54,48,25,00)",
          R"("P4"=hex(2):25,50,41,54,48,25,00,)", R"("H"=hex(2):\)", "  25,48,4f,4d,45,25,00",
          R"("S1"=hex(1):56,61,6c,75,65,00)", R"("Empty2"=hex(2):)", R"("Wine3"=hex(7):4c,69,6e,65,20,\)",
          "  63,6f,6e,63,61,74,65,6e,61,74,69,6f,6e,00,00", "#comment", R"(@="Test")", ";comment",
          R"("U8"=hex(1):c3,a9)", R"("CP"=hex(1):e9,00)"},
         {{"", "Wine20a", reg::kRegExpandSz, wz("Line")},
          {"", "S7a", reg::kRegMultiSz, wz("Line")},
          {"", "S7b", reg::kRegMultiSz, wz("Line")},
          {"", "S7c", reg::kRegMultiSz, wz("Line")},
          {"", "S7d", reg::kRegMultiSz, wz("Line") + std::string(2, '\0')},
          {"", "P1", reg::kRegExpandSz, wz("%PATH%")},
          {"", "P2", reg::kRegExpandSz, wz("%PATH%")},
          {"", "P3", reg::kRegExpandSz, wz("%PATH%")},
          {"", "P4", reg::kRegExpandSz, wz("%PATH%")},
          {"", "H", reg::kRegExpandSz, wz("%HOME%")},
          {"", "S1", reg::kRegSz, wz("Value")},
          {"", "Empty2", reg::kRegExpandSz, ""},
          {"", "Wine3", reg::kRegMultiSz, wz("Line concatenation") + std::string(2, '\0')},
          {"", "", reg::kRegSz, wz("Test")},
          {"", "U8", reg::kRegSz, wz("\xC3\xA9")},
          {"", "CP", reg::kRegSz, wz("\xC3\xA9")}},
         Variant::Ansi},
        {"string types in a Unicode file are UTF-16 bytes",
         {R"("U1"=hex(2):25,00,50,00)", R"("U2"=hex(2):25,00,50,00,00,00)", R"("U3"=hex(7):)",
          R"("U4"=hex(1):00,00,00,00,00,00,00,00)", R"("U5"=hex(1):00,00,61,00,62,00,63,00)",
          R"("U6"=hex(1):61,00,62,00,63,00,00,00, \)", "  64,00,65,00,66,00,00,00",
          R"("Wine3"=hex(7):4c,00,69,00,\)", "  6e,00,65,00,00,00,00,00", "#comment", R"(@="Test")"},
         {{"", "U1", reg::kRegExpandSz, wz("%P")},
          {"", "U2", reg::kRegExpandSz, wz("%P")},
          {"", "U3", reg::kRegMultiSz, ""},
          {"", "U4", reg::kRegSz, std::string(8, '\0')},
          {"", "U5", reg::kRegSz, bytes({0, 0, 0x61, 0, 0x62, 0, 0x63, 0, 0, 0})},
          {"", "U6", reg::kRegSz, wz("abc") + wz("def")},
          {"", "Wine3", reg::kRegMultiSz, wz("Line") + std::string(2, '\0')},
          {"", "", reg::kRegSz, wz("Test")}},
         Variant::Unicode},
        {"deleting values",
         {R"("D1"="x")", R"("D2"="x")", R"("D3"="x")", R"("D4"="x")", R"("Keep"="x")", R"("D1"=-)", R"("D2"=  -)",
          "\"D3\"=  \t-\t  ", R"("D4"=- ;comment)", R"("Missing"=-)"},
         {{"", "D1", std::nullopt, ""},
          {"", "D2", std::nullopt, ""},
          {"", "D3", std::nullopt, ""},
          {"", "D4", std::nullopt, ""},
          {"", "Keep", reg::kRegSz, wz("x")}}},
        {"a repeated name: the last line wins with its type",
         {R"("R"="text")", R"("R"=dword:5)"},
         {{"", "R", reg::kRegDword, dwordBytes(5)}}},
        {"text outside ASCII",
         {"\"Gr\xC3\xBC\xC3\x9F" "e\"=\"Stra\xC3\x9F" "e \xE2\x82\xAC\""},
         {{"", "Gr\xC3\xBC\xC3\x9F" "e", reg::kRegSz, wz("Stra\xC3\x9F" "e \xE2\x82\xAC")}}},
        {"last line without a line end",
         {R"("Wine5"="No newline")"},
         {{"", "Wine5", reg::kRegSz, wz("No newline")}},
         Variant::Both,
         false},
    };
    return cases;
}

class ValidImport : public ReaderTest {
protected:
    void check(const ValidCase& c, bool unicode) {
        SCOPED_TRACE(std::string(c.label) + (unicode ? " (5.00, UTF-16)" : " (REGEDIT4, 8-bit)"));
        std::vector<std::string> lines{unicode ? kHeader5 : "REGEDIT4", "[" + kK + "]"};
        lines.insert(lines.end(), c.body.begin(), c.body.end());
        const std::string file = unicode ? unicodeFile(lines, "\r\n", c.finalEol) : ansiFile(lines, "\r\n", c.finalEol);
        auto s = reg::openStore(storePath(std::to_string(++stores_) + ".db"));
        const Result r = importRegBytes(*s, file, "test.reg");
        ASSERT_TRUE(r.ok) << r.message;
        for (const Expect& e : c.expect) {
            const auto v = valueOf(*s, under(e.key), e.name);
            if (!e.type) {
                EXPECT_FALSE(v.has_value()) << "value \"" << e.name << "\" should not exist";
                continue;
            }
            ASSERT_TRUE(v.has_value()) << "value \"" << e.name << "\" is missing";
            EXPECT_EQ(v->type, *e.type) << e.name;
            EXPECT_EQ(hexOf(v->data), hexOf(e.data)) << e.name;
        }
    }
    int stores_ = 0;
};

TEST_F(ValidImport, EveryCaseGivesExactlyItsResult) {
    for (const ValidCase& c : validCases()) {
        if (c.variant != Variant::Ansi)
            check(c, true);
        if (c.variant != Variant::Unicode)
            check(c, false);
    }
}

TEST_F(ReaderTest, KeysAreFoundLetterCaseIgnoredAndKeepTheirSpelling) {
    ASSERT_TRUE(import(unicodeFile({kHeader5, "[hkey_CURRENT_user\\Software\\Wine\\regedit_test\\Subkey3a]",
                                    "\"v\"=\"1\"", "[" + kK + "\\Subkey1c ]", "[" + kK + "\\Subkey1d\t]",
                                    "[" + kK + "\\\\Doubled\\\\Slash\\]", "[HKEY_CURRENT_USER]", "\"AtRoot\"=dword:2"}))
                    .ok);
    EXPECT_TRUE(value(kK + "\\SUBKEY3A", "v").has_value());
    EXPECT_TRUE(exists(kK + "\\Subkey1c "));
    EXPECT_TRUE(exists(kK + "\\Subkey1d\t"));
    EXPECT_FALSE(exists(kK + "\\Subkey1c"));
    EXPECT_TRUE(exists(kK + "\\Doubled\\Slash"));
    EXPECT_TRUE(value("HKEY_CURRENT_USER", "AtRoot").has_value());

    const Result r = import(ansiFile({"REGEDIT4", "[-HKEY_current_USER\\Software\\Wine\\regedit_test\\sUBKEY3A]",
                                      "[-" + kK + "\\NeverThere]"}));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_FALSE(exists(kK + "\\Subkey3a"));
    EXPECT_TRUE(exists(kK + "\\Subkey1c "));
}

TEST_F(ReaderTest, NamesUpToTheWindowsLimits) {
    const std::string key(255, 'k');
    const std::string name(16383, 'v');
    const Result r = import(unicodeFile({kHeader5, "[" + kK + "\\" + key + "]", "\"" + name + "\"=dword:1"}));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(value(kK + "\\" + key, name).has_value());
}

TEST_F(ReaderTest, DeletingAKeyRemovesItsWholeSubtreeAndLaterKeysComeBack) {
    ASSERT_TRUE(import(ansiFile({"REGEDIT4", "[" + kK + "\\A\\B\\C]", "\"v\"=\"1\"", "[" + kK + "\\A]", "\"w\"=\"2\""}))
                    .ok);
    const Result r = import(ansiFile({"REGEDIT4", "[-" + kK + "\\A]", "[" + kK + "\\A\\New]", "\"n\"=dword:3"}));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_FALSE(exists(kK + "\\A\\B"));
    EXPECT_FALSE(value(kK + "\\A", "w").has_value());
    EXPECT_TRUE(value(kK + "\\A\\New", "n").has_value());
}

TEST_F(ReaderTest, EveryLineEndWorksInBothEncodings) {
    for (const std::string eol : {"\r\n", "\n", "\r"}) {
        for (bool unicode : {true, false}) {
            SCOPED_TRACE(hexOf(eol) + (unicode ? " unicode" : " ansi"));
            const std::vector<std::string> lines{unicode ? kHeader5 : "REGEDIT4", "", "[" + kK + "\\E]",
                                                 "\"a\"=hex:01,\\", "", "  02", "\"b\"=\"x\""};
            auto s = reg::openStore(storePath(hexOf(eol) + (unicode ? "u" : "a") + ".db"));
            const Result r =
                importRegBytes(*s, unicode ? unicodeFile(lines, eol, false) : ansiFile(lines, eol, false), "t");
            ASSERT_TRUE(r.ok) << r.message;
            EXPECT_EQ(hexOf(valueOf(*s, kK + "\\E", "a").value_or(StoredValue{}).data), "0102");
            EXPECT_EQ(valueOf(*s, kK + "\\E", "b").value_or(StoredValue{}).data, wz("x"));
        }
    }
}

TEST_F(ReaderTest, EightBitTextIsUtf8UnlessItIsNotThenWindows1252) {
    // With a UTF-8 byte-order mark, without one, and as Windows-1252 (0xE9 alone is not UTF-8).
    const std::vector<std::pair<std::string, std::string>> files = {
        {"\xEF\xBB\xBF", "\xC3\xA9"}, {"", "\xC3\xA9"}, {"", "\xE9"}};
    for (const auto& [bom, e] : files) {
        SCOPED_TRACE(hexOf(bom + e));
        auto s = reg::openStore(storePath(hexOf(bom + e) + ".db"));
        const Result r = importRegBytes(
            *s, bom + ansiFile({"Windows Registry Editor Version 5.00", "[" + kK + "\\caf" + e + "]", "\"n" + e + "\"=\"" + e + "\""}),
            "t");
        ASSERT_TRUE(r.ok) << r.message;
        const auto v = valueOf(*s, kK + "\\caf\xC3\xA9", "n\xC3\xA9");
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->data, wz("\xC3\xA9"));
    }
}

TEST_F(ReaderTest, UnicodeStringsAreStoredUnitForUnit) {
    // An unpaired surrogate in string data survives unchanged.
    std::string file = unicodeFile({kHeader5, "[" + kK + "]"});
    file += w("\"s\"=\"a");
    file += bytes({0x00, 0xD8});
    file += w("b\"\r\n");
    ASSERT_TRUE(import(file).ok);
    EXPECT_EQ(hexOf(value(kK, "s").value_or(StoredValue{}).data), "6100" "00d8" "6200" "0000");
}

TEST_F(ReaderTest, HeaderVariantsThatWindowsAcceptsImport) {
    for (const std::string header : {"REGEDIT4", " REGEDIT4", "\tREGEDIT4", "Windows Registry Editor Version 5.00"}) {
        SCOPED_TRACE(header);
        const Result r = import(ansiFile({header, "[" + kK + "]", "\"h\"=\"" + header + "\""}));
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(value(kK, "h").value_or(StoredValue{}).data, wz(header));
    }
}

TEST_F(ReaderTest, OtherRegeditVersionsSucceedAndChangeNothing) {
    const std::string before = dump();
    for (const std::string header : {"REGEDIT3", "REGEDIT5", "REGEDIT9", "REGEDIT 4", "REGEDIT4FOO", "REGEDIT4 FOO"}) {
        SCOPED_TRACE(header);
        // The rest of the file is never looked at, not even its errors.
        const Result r = import(unicodeFile({header, "[" + kK + "]", "\"h\"=\"x\"", "garbage"}));
        EXPECT_TRUE(r.ok) << r.message;
    }
    EXPECT_EQ(dump(), before);
}

TEST_F(ReaderTest, LargeFileAcrossReadChunksKeepsEveryValueAndLineCount) {
    // Lines cross the reader's chunk boundaries in both encodings; a bad last line must be counted
    // exactly, so no line end may be lost or doubled at a boundary (CR LF split included).
    for (bool unicode : {true, false}) {
        std::vector<std::string> lines{unicode ? kHeader5 : "REGEDIT4", "[" + kK + "\\Big]"};
        std::string padding(200, 'p');
        for (int i = 0; i < 6000; ++i)
            lines.push_back("\"v" + std::to_string(i) + "\"=hex:01,02," + std::string(i % 7, ' ') + "\\\r  03 ;" +
                            padding.substr(0, static_cast<std::size_t>(i % 97)));
        const std::string good = unicode ? unicodeFile(lines) : ansiFile(lines);
        auto s = reg::openStore(storePath(unicode ? "u.db" : "a.db"));
        const Result r = importRegBytes(*s, good, "t");
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(hexOf(valueOf(*s, kK + "\\Big", "v5999").value_or(StoredValue{}).data), "010203");
        EXPECT_EQ(hexOf(valueOf(*s, kK + "\\Big", "v3001").value_or(StoredValue{}).data), "010203");

        lines.push_back("bad");
        const Result bad = validateRegBytes(unicode ? unicodeFile(lines) : ansiFile(lines), "t");
        EXPECT_FALSE(bad.ok);
        EXPECT_EQ(failingLine(bad, "t"), 2 + 6000 * 2 + 1) << bad.message;
    }
}

TEST_F(ReaderTest, CrLfSplitExactlyAtAChunkBoundaryIsOneLineEnd) {
    for (std::size_t chunk : {std::size_t{256} * 1024, std::size_t{512} * 1024}) {
        std::string file = "REGEDIT4\r\n[" + kK + "]\r\n";
        // A comment line whose CR is the last byte of the chunk, its LF the first of the next.
        file += ";" + std::string(chunk - 1 - file.size() - 1, 'c') + "\r\n";
        ASSERT_EQ(file[chunk - 1], '\r');
        file += "\"after\"=dword:1\r\nbad\r\n";
        const Result r = validateRegBytes(file, "t");
        EXPECT_EQ(failingLine(r, "t"), 5) << r.message;
    }
}

TEST_F(ReaderTest, ImportFromAFileOnDisk) {
    const auto file = dir_ / "in.reg";
    karvo::test::writeFile(file, unicodeFile({kHeader5, "[" + kK + "]", "\"f\"=dword:7"}));
    const Result r = importRegFile(store(), file.string());
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(value(kK, "f").value_or(StoredValue{}).data, dwordBytes(7));

    const Result missing = importRegFile(store(), (dir_ / "missing.reg").string());
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.message.find("missing.reg"), std::string::npos) << missing.message;
}

}  // namespace
}  // namespace karvo::regfile::test
