// Files the reader must accept and exactly what they leave in the store, and files it must refuse
// as a whole: the right line named and the store untouched.
#include "regfile_support.h"

namespace karvo::regfile::test {
namespace {

enum class Variant { Both, Ansi, Unicode };

struct Expect {
    std::string name;           // "" = the default value
    std::optional<DWORD> type;  // nullopt: the value must not exist
    std::string data;
    std::string key = "";  // below K
};

struct ValidCase {
    const char* label;
    std::vector<std::string> body;  // lines after the header and "[K]"
    std::vector<Expect> expect;
    Variant variant = Variant::Both;
};

const DWORD kDw = reg::kRegDword, kBin = reg::kRegBinary, kSz = reg::kRegSz, kExp = reg::kRegExpandSz,
            kMulti = reg::kRegMultiSz;

const std::vector<ValidCase>& validCases() {
    static const std::string longKey(kLongestKeyName, 'k'), longName(16383, 'v');
    static const std::vector<ValidCase> cases = {
        // What an export writes is read back by its round trip; these are the other spellings.
        {"short and mixed-case dwords, blanks around names, empty strings",
         {R"("Wine1b"=dword:1)", R"("Wine1e"=dword:FFFFfffe)", R"(  "  Wine6c  "  =  "  x  ")", R"("Empty string"="")"},
         {{"Wine1b", kDw, dwordBytes(1)}, {"Wine1e", kDw, dwordBytes(0xfffffffe)}, {"  Wine6c  ", kSz, wz("  x  ")},
          {"Empty string", kSz, wz("")}}},
        {"key names with quotes, slashes, and names up to the Windows limits",
         {"[" + kK + "\\Subkey\"1]", R"("Wine\\31"="Test value")", "[" + kK + "\\Subkey/2]",
          R"("123/\"4;'5"="Random value name")", "[" + kK + "\\" + longKey + "]", "\"" + longName + "\"=dword:1"},
         {{"Wine\\31", kSz, wz("Test value"), "Subkey\"1"}, {"123/\"4;'5", kSz, wz("Random value name"), "Subkey/2"},
          {longName, kDw, dwordBytes(1), longKey}}},
        {"default values, blanks around = and dword:, comments after data and on their own lines",
         {R"(""="Default registry value")", R"("Wine4"="Value 2";comment)", R"("Wine6"=dword:02040608 ;comment)",
          R"("Wine8"=hex:01,02;comment)", ";comment \\", "#comment \\", "  ;indented", "[" + kK + "\\D3]",
          "\t@\t=\tdword:\t00000008\t"},
         {{"", kSz, wz("Default registry value")}, {"Wine4", kSz, wz("Value 2")}, {"Wine6", kDw, dwordBytes(0x02040608)},
          {"Wine8", kBin, bytes({1, 2})}, {"", kDw, dwordBytes(8), "D3"}}},
        {"any type number, raw bytes",
         {R"("Tff"=hex(ffffffff):04)", R"("T4"=hex(4):40,30,20,10)", R"("Tr"=hex:01,02,)"},
         {{"Tff", 0xffffffff, bytes({4})}, {"T4", kDw, dwordBytes(0x10203040)}, {"Tr", kBin, bytes({1, 2})}}},
        {"continued hex data",
         {"\"C1\"=hex:01,02,\t\\", "\t03", R"("C3"=hex:5c,  \  ;c)", "  05", R"("C5"=hex:01,\)", "", "   ",
          "  ;comment", "\t;comment \\", "  02", R"("C6"=hex:\)", "  07,08", R"("C7"=hex:01,\)", "  02,\\", "03",
          R"("After"=dword:1)"},
         {{"C1", kBin, bytes({1, 2, 3})}, {"C3", kBin, bytes({0x5c, 5})}, {"C5", kBin, bytes({1, 2})},
          {"C6", kBin, bytes({7, 8})}, {"C7", kBin, bytes({1, 2, 3})}, {"After", kDw, dwordBytes(1)}}},
        {"hex data continuing into blank and comment lines at the end of the file",
         {R"("Wine2"=hex(0):56,\)", "", ";comment"}, {{"Wine2", reg::kRegNone, "V"}}},
        {"string types from ANSI bytes are widened and terminated",
         {R"("S7a"=hex(7):4c,69,6e,65)", R"("S7c"=hex(7):4c,69,6e,65,00)", R"("S7d"=hex(7):4c,69,6e,65,00,00)",
          R"("P1"=hex(2):25,50,41,54,48,25)", R"("H"=hex(2):\)", "  25,48,4f,4d,45,25,00",
          R"("S1"=hex(1):56,61,6c,75,65,00)", R"("Empty2"=hex(2):)", R"("U8"=hex(1):c3,a9)", R"("CP"=hex(1):e9,00)"},
         {{"S7a", kMulti, wz("Line")}, {"S7c", kMulti, wz("Line")}, {"S7d", kMulti, wz("Line") + std::string(2, '\0')},
          {"P1", kExp, wz("%PATH%")}, {"H", kExp, wz("%HOME%")}, {"S1", kSz, wz("Value")}, {"Empty2", kExp, ""},
          {"U8", kSz, wz("\xC3\xA9")}, {"CP", kSz, wz("\xC3\xA9")}},
         Variant::Ansi},
        {"string types in a Unicode file are UTF-16 bytes",
         {R"("U1"=hex(2):25,00,50,00)", R"("U2"=hex(2):25,00,50,00,00,00)", R"("U3"=hex(7):)",
          R"("U5"=hex(1):00,00,61,00,62,00,63,00)", R"("U6"=hex(1):61,00,62,00,63,00,00,00, \)",
          "  64,00,65,00,66,00,00,00"},
         {{"U1", kExp, wz("%P")}, {"U2", kExp, wz("%P")}, {"U3", kMulti, ""},
          {"U5", kSz, bytes({0, 0, 0x61, 0, 0x62, 0, 0x63, 0, 0, 0})}, {"U6", kSz, wz("abc") + wz("def")}},
         Variant::Unicode},
        {"deleting values; a repeated name: the last line wins with its type",
         {R"("D1"="x")", R"("D3"="x")", R"("D4"="x")", R"("Keep"="x")", R"("D1"=-)", "\"D3\"=  \t-\t  ",
          R"("D4"=- ;comment)", R"("Missing"=-)", R"("R"="text")", R"("R"=dword:5)"},
         {{"D1", std::nullopt, ""}, {"D3", std::nullopt, ""}, {"D4", std::nullopt, ""}, {"Keep", kSz, wz("x")},
          {"R", kDw, dwordBytes(5)}}},
    };
    return cases;
}

// Each in both encodings, with each kind of line end, and with and without one after the last line.
TEST_F(RegTest, EveryValidCaseGivesExactlyItsResult) {
    for (const ValidCase& c : validCases()) {
        for (int run = 0; run < 12; ++run) {
            const bool unicode = run < 6, finalEol = run % 2;
            const std::string eol = run / 2 % 3 == 0 ? "\r\n" : run / 2 % 3 == 1 ? "\n" : "\r";
            if (c.variant == (unicode ? Variant::Ansi : Variant::Unicode))
                continue;
            SCOPED_TRACE(std::string(c.label) + (unicode ? " (5.00, UTF-16)" : " (REGEDIT4, 8-bit)") + " line ends " +
                         hexOf(eol) + (finalEol ? "" : ", none after the last line"));
            std::vector<std::string> lines{unicode ? kHeader5 : "REGEDIT4", "[" + kK + "]"};
            lines.insert(lines.end(), c.body.begin(), c.body.end());
            freshStore();
            const Result r = import(regFile(lines, unicode, eol, finalEol));
            ASSERT_TRUE(r.ok) << r.message;
            for (const Expect& e : c.expect) {
                const auto v = value(e.key.empty() ? kK : kK + "\\" + e.key, e.name);
                const std::string got = v ? hexOf(dwordBytes(v->first) + v->second) : "none";
                EXPECT_EQ(e.type ? hexOf(dwordBytes(*e.type) + e.data) : "none", got) << "value " << e.name.substr(0, 40);
            }
        }
    }
}

TEST_F(RegTest, KeysAreFoundLetterCaseIgnoredKeepTheirSpellingAndGoWithTheirSubtree) {
    touch(kK);
    ASSERT_TRUE(import(regFile({kHeader5, "[" + otherCase(kK) + "\\Subkey3a\\Deep]", "\"v\"=\"1\"",
                                "[" + kK + "\\Subkey1c ]", "[" + kK + "\\Subkey1d\t]", "[" + kK + "\\\\Doubled\\\\Slash\\]",
                                "[" + kK + "\\Trailing]junk",
                                "[HKEY_CURRENT_USER]", "\"AtRoot\"=dword:2"},
                               true))
                    .ok);
    EXPECT_TRUE(value(kK + "\\SUBKEY3A\\deep", "v").has_value());
    // Blanks kept, doubled "\\" not, text after the "]" ignored.
    for (const char* key : {"\\Subkey1c ", "\\Subkey1d\t", "\\Doubled\\Slash", "\\Trailing"})
        EXPECT_TRUE(exists(kK + key)) << key;
    EXPECT_FALSE(exists(kK + "\\Subkey1c"));
    EXPECT_TRUE(value("HKEY_CURRENT_USER", "AtRoot").has_value());
    store().RegDeleteValueA(reg::kHkeyCurrentUser, "AtRoot");
    EXPECT_NE(readable(exported(kK)).find("[" + kK + "\\Subkey3a]"), std::string::npos);
    // A deleted key takes its whole subtree; a later line brings the key back empty.
    const Result r = import(ansiFile({"REGEDIT4", "[-" + otherCase(kK) + "\\sUBKEY3A]",
                                      "[-" + kK + "\\NeverThere]", "[" + kK + "\\Subkey3a\\New]", "\"n\"=dword:3"}));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_FALSE(exists(kK + "\\Subkey3a\\Deep"));
    EXPECT_TRUE(value(kK + "\\Subkey3a\\New", "n").has_value());
    EXPECT_TRUE(exists(kK + "\\Subkey1c "));
}

TEST_F(RegTest, EightBitTextIsUtf8UnlessItIsNotThenWindows1252) {
    // With a UTF-8 byte-order mark, without one, and as Windows-1252 (0xE9 alone is not UTF-8).
    for (const auto& [bom, e] : std::vector<std::pair<std::string, std::string>>{
             {"\xEF\xBB\xBF", "\xC3\xA9"}, {"", "\xC3\xA9"}, {"", "\xE9"}}) {
        SCOPED_TRACE(hexOf(bom + e));
        freshStore();
        const Result r =
            import(bom + ansiFile({kHeader5, "[" + kK + "\\caf" + e + "]", "\"n" + e + "\"=\"" + e + "\""}));
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(data(kK + "\\caf\xC3\xA9", "n\xC3\xA9"), wz("\xC3\xA9"));
        EXPECT_NE(readable(exported(kK)).find("\\caf\xC3\xA9]"), std::string::npos);  // stored so, not re-encoded
    }
    // Text read as UTF-8 turns out to be Windows-1252 at a later line: so does the whole file.
    freshStore();
    ASSERT_TRUE(import(ansiFile({"REGEDIT4", "[" + kK + "\\caf\xC3\xA9]", "\"n\"=\"x\"", "[" + kK + "]", "\"w\"=\"\xE9\""})).ok);
    EXPECT_EQ(std::pair(data(kK + "\\caf\xC3\x83\xC2\xA9", "n"), data(kK, "w")), std::pair(wz("x"), wz("\xC3\xA9")));
    // The file is read once: rewritten after that (with bytes that are not UTF-8), what was read
    // and checked is what goes in.
    const std::string once = (dir / "once.reg").string();
    writeFile(once, ansiFile({"REGEDIT4", "[" + kK + "]", "\"v\"=\"caf\xC3\xA9\""}));
    setFileEndHook([&] { writeFile(once, ansiFile({"REGEDIT4", "[" + kK + "]", "\"v\"=\"caf\xE9\xE9\""})); });
    const Result r = importRegFile(store(), once);
    setFileEndHook(nullptr);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(data(kK, "v"), wz("caf\xC3\xA9"));
    // An unpaired surrogate in UTF-16 string data survives unit for unit.
    ASSERT_TRUE(import(regFile({kHeader5, "[" + kK + "]"}, true) + w("\"s\"=\"a") + bytes({0, 0xD8}) + w("b\"\r\n")).ok);
    EXPECT_EQ(hexOf(data(kK, "s")), "6100" "00d8" "6200" "0000");
}

TEST_F(RegTest, HeadersDecideWhetherTheFileIsReadIgnoredOrRefused) {
    enum Outcome { Read, Ignored, Refused };
    const std::vector<std::pair<std::string, Outcome>> headers = {
        {"REGEDIT4", Read}, {" REGEDIT4", Read}, {"\tREGEDIT4", Read}, {kHeader5, Read},
        // Other editor versions succeed without looking at the rest, not even its errors.
        {"REGEDIT5", Ignored}, {"REGEDIT 4", Ignored}, {"REGEDIT4FOO", Ignored}, {"regedit4", Refused},
        {"", Refused}, {"AREGEDIT4", Refused}, {"REGEDIT", Refused}, {"Windows Registry Editor Version 4.00", Refused},
        {"windows registry editor version 5.00", Refused}, {"[" + kK + "]", Refused}};
    for (const auto& [header, outcome] : headers) {
        for (bool unicode : {true, false}) {
            SCOPED_TRACE(header + (unicode ? " (UTF-16)" : " (8-bit)"));
            freshStore();
            const std::string tail = outcome == Read ? ";end" : outcome == Ignored ? "garbage" : "REGEDIT4";
            const Result r = import(regFile({header, "[" + kK + "]", "\"h\"=\"" + header + "\"", tail}, unicode));
            EXPECT_EQ(r.ok, outcome != Refused) << r.message;
            EXPECT_EQ(data(kK, "h"), outcome == Read ? wz(header) : "");
            EXPECT_EQ(failingLine(r), outcome == Refused ? 1 : 0) << r.message;
        }
    }
}

// Lines refused alone, and runs of lines (joined by line ends) whose last line is the one named.
const std::vector<std::string>& badLines() {
    static const std::string K = kK, xa = R"("Xa"=hex(2):4c,69,6e,65,20,\)";
    static const std::vector<std::string> lines = {
        // broken quoting
        R"("X"="A)", R"("X"=A)", R"("X="A")", R"(X="A")", R"("X=A")", R"("T"="foo"bar")", R"("T"=)",
        R"("T"="x\0y")", R"("T"="a\nb")", R"("x\0"="y")", R"("Test\)",
        // dwords
        R"("D"=dword:)", R"("D"=dword:hello)", R"("D"=dword:123456789)", R"("D"=dword:000000001)",
        R"("D"=dword:12345678 abc)", R"("D"=dword:0x123)",
        // '#' after data, comment characters instead of data
        R"("D"=dword:01020304 #comment)", R"("V"="x"#c)", R"("W"=#"V")", R"("W"=hex:01,02 #c)",
        // value types and hex bytes
        R"("H"=hex(100000000):01)", R"("H"=hex(0x2):01)", R"("H"=hex():01)", R"("H"=hex(2)01)", R"("H"=bin:01)",
        R"("H"=hex(0):25,50,100,41)", R"("H"=hex:,01)", R"("H"=hex:01,,02)", R"("H"=hex(2):25,48\,4f)",
        R"("H"=hex(2):25,48,\4f)", R"("H"=hex(2):4\f)", R"("H"=hex:01,\#comment)", R"("H"=hex(7):4c,69,6e,65,20\)",
        // value deletions that Windows ignores, and lines of no kind
        R"("Before"=-"Test")", R"("Before"=- #comment)", "HKEY_CURRENT_USER\\Software]",
        // key lines
        "[" + K + "\\No_Closing_Bracket", "[ " + K + "]", "[-\t" + K + "\\Subkey2a]",
        "[HKCU\\Software]", "[-HKEY_CURRENT_USER]", "[-HKEY_CURRENT_USER\\]", "[-HKEY_NOWHERE\\Software]", "[]",
        "[" + K + "\\" + std::string(256, 'n') + "]", "[" + K + "\\" + std::string(256, '\x80') + "]",
        "\"" + std::string(16384, 'v') + "\"=\"x\"",
        // a broken continuation is named where it breaks
        xa + "\r\n  ,63,6f", xa + "\r\n\\", xa + "\r\n  #comment", xa + "\r\n\"Xb\"=\"Test value\"",
        xa + "\r\n;comment\r\n\"Xd\"=\"Test value\"",
        // a line ending in a comma without "\" ends the value; the rest would be lost
        "\"T\"=hex:11,22,33,44,\\;comment\r\n  55,66,\r\n  77,88",
        "[-" + K + "\\Subkey4a]\r\n\"Wine1a\"=dword:12345678"};  // no key to go to
    return lines;
}

// A store with something to lose: a refused or failed import must leave exactly this.
class Seeded : public RegTest {
protected:
    void SetUp() override {
        RegTest::SetUp();
        ASSERT_TRUE(import(ansiFile({"REGEDIT4", "[" + kK + "]", R"("Before"="original")", "[" + kK + "\\Subkey2a]",
                                     R"("v"=dword:1)", "[" + kK + "\\Subkey4a]"})).ok);
        before_ = snapshot();
    }
    std::string before_;
    void expectRefused(const std::string& file, int line) {
        const Result r = import(file);
        ASSERT_FALSE(r.ok);
        EXPECT_EQ(failingLine(r), line) << r.message;
        EXPECT_EQ(r.message.find('\n'), std::string::npos);
        EXPECT_EQ(snapshot(), before_);
        const Result v = validateRegBytes(file, "test.reg");
        EXPECT_EQ(v.message, r.message.substr(0, v.message.size()));
    }
};

TEST_F(Seeded, EveryBadLineIsNamedAndNothingBeforeItIsApplied) {
    // The file starts with lines that would change the store if anything were applied early.
    const std::vector<std::string> start{"[" + kK + "\\New]", R"("Before"="changed")", "[" + kK + "]",
                                         R"("Before"="changed")"};
    for (const std::string& bad : badLines()) {
        for (bool unicode : {true, false}) {
            SCOPED_TRACE(bad.substr(0, 60) + (unicode ? " (UTF-16)" : " (8-bit)"));
            std::vector<std::string> lines{unicode ? kHeader5 : "REGEDIT4"};
            lines.insert(lines.end(), start.begin(), start.end());
            lines.push_back(bad);
            const auto named = start.size() + 2 + static_cast<std::size_t>(std::count(bad.begin(), bad.end(), '\n'));
            expectRefused(regFile(lines, unicode), static_cast<int>(named));
        }
    }
    // Whole files: a value before any key; encodings that are not read; a key name of 200 characters
    // as UTF-8 that is 400 once a later byte shows the file is Windows-1252.
    const std::string text = kHeader5 + "\r\n[" + kK + "]\r\n\"Before\"=\"changed\"\r\n";
    std::string bigEndian = "\xFE\xFF", name;
    for (std::size_t i = 0; i < w(text).size(); i += 2)
        bigEndian += std::string{w(text)[i + 1], w(text)[i]};
    while (name.size() < 400)
        name += "\xC3\xA9";
    const std::string longName = ansiFile({"REGEDIT4", "[" + kK + "\\" + name + "]", "\"v\"=\"x\""});
    for (const auto& [file, line] : std::vector<std::pair<std::string, int>>{
             {ansiFile({"REGEDIT4", "", R"("v"="x")", "[" + kK + "]"}), 3}, {w(text), 1}, {bigEndian, 1},
             {"\xFF\xFE" + w(text) + "\"", 3}, {"", 1}, {"\xFF\xFE", 1}, {"\xFF\xFE" "W", 1},
             {"REGEDIT4\r\n[" + kK + "]\r\n\"Before\"=\"a" + std::string(1, '\0') + "b\"\r\n", 3},
             {longName + "\"w\"=\"\xE9\"\r\n", 2}}) {
        SCOPED_TRACE(hexOf(file.substr(0, 8)));
        expectRefused(file, line);
    }
    ASSERT_TRUE(import(longName).ok);
}

TEST_F(Seeded, ARegistryFailureRollsBackAndNamesTheLineOneBatchOneHandlePerKey) {
    // Without batches the whole file is still checked before the first change.
    Forwarding plain(store());
    plain.batches = false;
    const std::string file = ansiFile({"REGEDIT4", "[" + kK + "\\New]", R"("a"=dword:1)", R"("b"=dword:nope)"});
    EXPECT_EQ(failingLine(importRegBytes(plain, file, "test.reg")), 4);
    EXPECT_EQ(plain.creates, 0);
    EXPECT_EQ(snapshot(), before_);
    Forwarding service(store());
    service.onSet = [](int n) { return n == 3 ? reg::kErrorAccessDenied : reg::kErrorSuccess; };
    const Result r = importRegBytes(service, ansiFile({"REGEDIT4", "[-" + kK + "\\Subkey2a]", "[" + kK + "\\New]",
                                                       R"("a"=dword:1)", R"("b"=dword:2)", "[" + kK + "]",
                                                       R"("Before"="changed")"}), "test.reg");
    ASSERT_FALSE(r.ok);
    EXPECT_EQ(failingLine(r), 7) << r.message;
    EXPECT_NE(r.message.find("\"Before\""), std::string::npos) << r.message;
    EXPECT_EQ(service.creates, service.closes);
    if (kBatches) {
        EXPECT_EQ(std::pair(service.rollbacks, service.commits), std::pair(1, 0));
        EXPECT_EQ(snapshot(), before_);
    } else {
        EXPECT_NE(r.message.find("the lines before it were applied"), std::string::npos) << r.message;
    }
    ASSERT_TRUE(importRegBytes(plain, file.substr(0, file.rfind("\"b\"")), "t").ok);
    EXPECT_EQ(plain.commits + plain.rollbacks, 0);
    EXPECT_TRUE(value(kK + "\\New", "a").has_value());
    std::vector<std::string> lines{kHeader5};
    for (int v = 0; v < 150; ++v)
        lines.push_back((v % 50 ? "" : "[" + kK + "\\Many\\Key" + std::to_string(v) + "]\r\n") + "\"v" +
                        std::to_string(v) + "\"=hex:00,01,02");
    Forwarding counted(store());
    ASSERT_TRUE(importRegBytes(counted, regFile(lines, true), "test.reg").ok);
    EXPECT_EQ(std::vector<int>({3, 3, 150, 1, kBatches ? 1 : 0, 0}),
              std::vector<int>({counted.creates, counted.closes, counted.sets, counted.begins, counted.commits,
                                counted.rollbacks}));
}

TEST_F(RegTest, LongFilesAcrossReadChunksKeepEveryValueAndLineCount) {
    // Lines cross the reader's chunk boundaries in both encodings; a bad last line must be counted
    // exactly, so no line end may be lost or doubled at a boundary.
    for (bool unicode : {true, false}) {
        std::vector<std::string> lines{unicode ? kHeader5 : "REGEDIT4", "[" + kK + "\\Big]"};
        for (int i = 0; i < 6000; ++i)
            lines.push_back("\"v" + std::to_string(i) + "\"=hex:01,02," + std::string(i % 7, ' ') + "\\\r  03 ;" +
                            std::string(static_cast<std::size_t>(i % 97), 'p'));
        freshStore();
        ASSERT_TRUE(import(regFile(lines, unicode)).ok);
        EXPECT_EQ(hexOf(data(kK + "\\Big", "v5999")) + hexOf(data(kK + "\\Big", "v3001")), "010203010203");
        lines.push_back("bad");
        EXPECT_EQ(failingLine(validateRegBytes(regFile(lines, unicode), "t"), "t"), 2 + 6000 * 2 + 1);
    }
    // A CR that is the last byte of a chunk and its LF the first of the next are one line end.
    for (std::size_t chunk : {std::size_t{256} * 1024, std::size_t{512} * 1024}) {
        std::string file = "REGEDIT4\r\n[" + kK + "]\r\n";
        file += ";" + std::string(chunk - 1 - file.size() - 1, 'c') + "\r\n";
        ASSERT_EQ(file[chunk - 1], '\r');
        file += "\"after\"=dword:1\r\nbad\r\n";
        EXPECT_EQ(failingLine(validateRegBytes(file, "t"), "t"), 5);
    }
}

}  // namespace
}  // namespace karvo::regfile::test
