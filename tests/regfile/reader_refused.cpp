// Files the reader must refuse as a whole: the right line is named and the store is untouched.
#include "reader_support.h"

namespace karvo::regfile::test {
namespace {

struct RefusedCase {
    std::vector<std::string> body;  // lines after the fixed start of the file
    std::size_t bad;                // index in body of the line that must be named
};

const std::string K = kK;

// Lines the Windows editor skips, one file each.
const std::vector<RefusedCase>& badLines() {
    static const std::vector<RefusedCase> cases = {
        // broken quoting
        {{R"("X"="A)"}, 0}, {{R"("X"=A")"}, 0}, {{R"("X"=A)"}, 0}, {{R"("X="A")"}, 0}, {{R"(X"="A")"}, 0},
        {{R"(X="A")"}, 0}, {{R"("X=A")"}, 0}, {{R"("T"="foo"bar")"}, 0}, {{R"("T"="foo""bar")"}, 0}, {{R"("T"=)"}, 0},
        {{R"("T"=\"Value\")"}, 0}, {{R"("T"="x\0y")"}, 0}, {{R"("T"="a\nb")"}, 0}, {{R"("x\0"="y")"}, 0},
        // dwords
        {{R"("D"=dword:)"}, 0}, {{R"("D"=dword:hello)"}, 0}, {{R"("D"=dword:123456789)"}, 0},
        {{R"("D"=dword:012345678)"}, 0}, {{R"("D"=dword:000000001)"}, 0}, {{R"("D"=dword:12345678abc)"}, 0},
        {{R"("D"=dword:12345678 abc)"}, 0}, {{R"("D"=dword:0x123)"}, 0}, {{R"("D"=dword:123 456)"}, 0},
        // '#' after data, comment characters instead of data
        {{R"("D"=dword:01020304 #comment)"}, 0}, {{R"("D"=dword:1234#5678)"}, 0}, {{R"("V"="x"#c)"}, 0},
        {{R"("V"="x"  #c)"}, 0}, {{R"("W"=#"V")"}, 0}, {{R"("W"=;"V")"}, 0}, {{R"("W"=#dword:1)"}, 0},
        {{R"("W"=;dword:2)"}, 0}, {{R"("W"=hex:01,02 #c)"}, 0},
        // value types
        {{R"("H"=hex(100000000):01)"}, 0}, {{R"("H"=hex(0x2):01)"}, 0}, {{R"("H"=hex(0X2):01)"}, 0},
        {{R"("H"=hex(x2):01)"}, 0}, {{R"("H"=hex():01)"}, 0}, {{R"("H"=hex(2)01)"}, 0}, {{R"("H"=bin:01)"}, 0},
        // hex bytes
        {{R"("H"=hex(0):25,50,100,41)"}, 0}, {{R"("H"=hex(0):25,1a4,41)"}, 0}, {{R"("H"=hex:,01)"}, 0},
        {{R"("H"=hex:01,,02)"}, 0}, {{R"("H"=hex(2):25,48\,4f)"}, 0}, {{R"("H"=hex(2):25,48,\4f)"}, 0},
        {{R"("H"=hex(2):\25,48)"}, 0}, {{R"("H"=hex(2):25,50,\,41)"}, 0}, {{R"("H"=hex(2):4\f)"}, 0},
        {{R"("H"=hex(7):4c,69,6e,65,20\)", ",63,6f"}, 0}, {{R"("H"=hex(7):4c,69,6e,65,20\)", "  ,63,6f"}, 0},
        {{R"("H"=hex(7):4c,69,6e,65,20,\)", "  ,63,6f"}, 1}, {{R"("H"=hex(7):4c,69,6e,65,20,\)", "  63,,6f"}, 1},
        {{R"("H"=hex:33,\)", "\\", "  34"}, 1}, {{R"("H"=hex:33,\)", "  \\", "34"}, 1},
        {{R"("H"=hex:5c,/)", "  34"}, 0}, {{R"("H"=hex:5c,\)", "  #comment", "  34"}, 1},
        {{R"("H"=hex:5c,\)", "#comment", "34"}, 1}, {{R"("H"=hex:01,\#comment)"}, 0},
        {{R"("H"=hex(7):4c,69,6e,65,20\)"}, 0},
        // nothing continues onto a next line except hex data
        {{R"("Test\)", R"(17a"="Value")", R"("Test17b"="Value")"}, 0},
        {{R"("Test)", R"(\17c"="Value")"}, 0},
        {{R"("D"=dword:1234\)", "5678"}, 0},
        {{R"("T"="Test \)", R"(Value")"}, 0},
        {{"[" + K + "\\", "Subkey1]"}, 0},
        {{"[" + K, "\\Subkey2]"}, 0},
        // value deletions that Windows ignores
        {{R"("Before"=-"Test")"}, 0}, {{R"("Before"=- #comment)"}, 0},
        // not a line of any kind
        {{"-", "\"ok\"=dword:1"}, 0}, {{"HKEY_CURRENT_USER\\Software]"}, 0},
    };
    return cases;
}

// Key lines.
const std::vector<RefusedCase>& badKeys() {
    static const std::vector<RefusedCase> cases = {
        {{K + "\\No_Opening_Bracket]"}, 0},
        {{"[" + K + "\\No_Closing_Bracket"}, 0},
        {{"[ " + K + "]"}, 0},
        {{"[\t" + K + "]"}, 0},
        {{"[ -" + K + "\\Subkey2a]"}, 0},
        {{"[\t-" + K + "\\Subkey2a]"}, 0},
        {{"[- " + K + "\\Subkey2a]"}, 0},
        {{"[-\t" + K + "\\Subkey2a]"}, 0},
        {{"[" + K + "] trailing"}, 0},
        {{"[-" + K + "\\Subkey4a]", R"("Wine1a"=dword:12345678)"}, 1},
        {{"[HKEY_CURRENT_USERS\\Software\\Wine\\regedit_test\\Subkey4b]", R"("v"=dword:1)"}, 0},
        {{"[HKCU\\Software]"}, 0},
        {{"[-HKEY_CURRENT_USER]"}, 0},
        {{"[-HKEY_CURRENT_USER\\]"}, 0},
        {{"[-HKEY_NOWHERE\\Software]"}, 0},
        {{"[]"}, 0},
        {{"[" + K + "\\" + std::string(256, 'n') + "]"}, 0},
        {{"[" + K + "\\" + std::string(256, '\x80') + "]"}, 0},
        {{"\"" + std::string(16384, 'v') + "\"=\"x\""}, 0},
    };
    return cases;
}

// A hex value whose continuation is broken, and what comes next (named line in brackets).
const std::vector<RefusedCase>& brokenContinuations() {
    static const std::string xa = R"("Xa"=hex(2):4c,69,6e,65,20,\)";
    static const std::vector<RefusedCase> cases = {
        {{xa, R"("Xb"="Test value")"}, 1},
        {{xa, ";comment", R"("Xd"="Test value")"}, 2},
        {{xa, "#comment", R"("Xf"="Test value")"}, 1},
        {{xa, "", R"("Xh"="Test value")"}, 2},
        {{R"("Xi"=hex(2):4c,69,6e,65,20\)", R"("Xj"="Test value")"}, 0},
        {{xa, "[" + K + "\\Subkey1]"}, 1},
        {{xa, R"(@="Default value 1")"}, 1},
        // A line ending in a comma without "\" ends the value; the rest would be lost.
        {{R"("T"=hex:11,22,33,44,\;comment)", "  55,66,", "  77,88"}, 2},
        {{R"("T"=hex(2):25,50,41,\;c)", "  54,48,", "  25,00"}, 2},
    };
    return cases;
}

class RefusedImport : public ReaderTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(import(ansiFile({"REGEDIT4", "[" + K + "]", R"("Before"="original")", "[" + K + "\\Subkey2a]",
                                     R"("v"=dword:1)", "[" + K + "\\Subkey4a]"}))
                        .ok);
        before_ = dump();
    }

    // The file starts with lines that would change the store if anything were applied early.
    void expectRefused(const RefusedCase& c) {
        const std::vector<std::string> start{"[" + K + "\\New]", R"("Before"="changed")", "[" + K + "]",
                                             R"("Before"="changed")"};
        for (bool unicode : {true, false}) {
            std::vector<std::string> lines{unicode ? kHeader5 : "REGEDIT4"};
            lines.insert(lines.end(), start.begin(), start.end());
            lines.insert(lines.end(), c.body.begin(), c.body.end());
            const std::string file = unicode ? unicodeFile(lines) : ansiFile(lines);
            SCOPED_TRACE(c.body[0] + (unicode ? " (UTF-16)" : " (8-bit)"));
            const Result r = import(file);
            ASSERT_FALSE(r.ok);
            EXPECT_EQ(failingLine(r), static_cast<int>(1 + start.size() + c.bad + 1)) << r.message;
            EXPECT_EQ(r.message.find('\n'), std::string::npos);
            EXPECT_EQ(dump(), before_);
            const Result v = validateRegBytes(file, "test.reg");
            EXPECT_EQ(v.message, r.message.substr(0, v.message.size()));
        }
    }

    std::string before_;
};

TEST_F(RefusedImport, LinesWindowsWouldSkip) {
    for (const RefusedCase& c : badLines())
        expectRefused(c);
}

TEST_F(RefusedImport, BadKeyLines) {
    for (const RefusedCase& c : badKeys())
        expectRefused(c);
}

TEST_F(RefusedImport, BrokenHexContinuationNamesTheLineThatBreaksIt) {
    for (const RefusedCase& c : brokenContinuations())
        expectRefused(c);
}

TEST_F(RefusedImport, ValuesBeforeAnyKey) {
    const Result r = import(ansiFile({"REGEDIT4", "", R"("v"="x")", "[" + K + "]"}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(failingLine(r), 3) << r.message;
    EXPECT_EQ(dump(), before_);
}

TEST_F(RefusedImport, HeadersWindowsRefuses) {
    for (const std::string& header : std::vector<std::string>{"regedit4", "Regedit4", "", "AREGEDIT4", "1REGEDIT4", "REGEDIT", "Windows Registry Editor Version 4.00",
          "Windows Registry Editor Version 5", "WINDOWS REGISTRY EDITOR VERSION 5.00",
          "windows registry editor version 5.00", "[" + K + "]"}) {
        for (bool unicode : {true, false}) {
            SCOPED_TRACE(header);
            const std::vector<std::string> lines{header, "REGEDIT4", "[" + K + "]", R"("Before"="changed")"};
            const Result r = import(unicode ? unicodeFile(lines) : ansiFile(lines));
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(failingLine(r), 1) << r.message;
        }
    }
    EXPECT_EQ(dump(), before_);
}

TEST_F(RefusedImport, EncodingsThatAreNotRead) {
    const std::string text = kHeader5 + "\r\n[" + K + "]\r\n\"Before\"=\"changed\"\r\n";
    std::string bigEndian = "\xFE\xFF";
    for (std::size_t i = 0; i < w(text).size(); i += 2)
        bigEndian += std::string{w(text)[i + 1], w(text)[i]};
    std::string nulInLine = "REGEDIT4\r\n[" + K + "]\r\n\"Before\"=\"a";
    nulInLine += std::string(1, '\0') + "b\"\r\n";
    const std::vector<std::pair<const char*, std::string>> files = {
        {"UTF-16 without a byte-order mark", w(text)},
        {"big-endian UTF-16", bigEndian},
        {"UTF-16 with an odd number of bytes", "\xFF\xFE" + w(text) + "\"" },
        {"empty", ""},
        {"only a byte-order mark", "\xFF\xFE"},
        {"a NUL character", nulInLine},
    };
    for (const auto& [label, file] : files) {
        SCOPED_TRACE(label);
        const Result r = import(file);
        EXPECT_FALSE(r.ok);
        EXPECT_GE(failingLine(r), 1) << r.message;
    }
    EXPECT_EQ(dump(), before_);
}

TEST_F(RefusedImport, NameLengthsCountInTheCodePageTheFileTurnsOutToBe) {
    // 200 characters as UTF-8, but 400 as Windows-1252 once a later byte shows the file is not UTF-8.
    std::string name;
    for (int i = 0; i < 200; ++i)
        name += "\xC3\xA9";
    const std::vector<std::string> lines{"REGEDIT4", "[" + K + "\\" + name + "]", "\"v\"=\"x\""};
    std::vector<std::string> cp1252 = lines;
    cp1252.push_back("\"w\"=\"\xE9\"");
    const Result r = import(ansiFile(cp1252));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(failingLine(r), 2) << r.message;
    EXPECT_EQ(dump(), before_);

    const Result utf8 = import(ansiFile(lines));
    ASSERT_TRUE(utf8.ok) << utf8.message;
}

TEST_F(RefusedImport, EveryTruncationEitherValidatesOrChangesNothing) {
    const std::string full = ansiFile({"REGEDIT4", "", "[" + K + "\\T]", R"("s"="some text")", R"("d"=dword:00000102)",
                                       R"("h"=hex(2):25,50,41,\)", "  54,48,25,00", "[-" + K + "\\Subkey2a]"});
    for (bool unicode : {true, false}) {
        const std::string file = unicode ? "\xFF\xFE" + w(full) : full;
        for (std::size_t n = 0; n < file.size(); ++n) {
            const std::string cut = file.substr(0, n);
            if (validateRegBytes(cut, "test.reg").ok)
                continue;
            const Result r = import(cut);
            ASSERT_FALSE(r.ok) << n;
            ASSERT_EQ(dump(), before_) << "cut after " << n << " bytes: " << r.message;
        }
    }
}

}  // namespace
}  // namespace karvo::regfile::test
