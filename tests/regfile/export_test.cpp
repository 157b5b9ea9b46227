// Exact bytes of exports: the registry editor's layout, value syntax and line wrapping; and
// export, import into an empty store, export again giving the same file.
#include "regfile/DefaultRegistry.h"
#include "regfile_support.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace karvo::regfile::test {
namespace {

std::string range(int from, int to) {
    std::string s;
    while (from < to)
        s += static_cast<char>(from++);
    return s;
}

TEST_F(RegTest, LayoutKeysSortedValuesInCreationOrderNamesRawInKeys) {
    for (const char* key : {"\\Subkey2\\Empty", "\\Subkey1 [x] ;#=\"", "\\https://winehq.org"})
        touch(kK + key);
    setSz(kK, "Value 2", "I was added first!");
    setSz(kK, "Value 1", "I was added second!");
    setSz(kK, "Value 2", "overwritten in place");
    const auto layout = [](const std::string& k) {
        return exportFile({"", "[" + k + "]", "\"Value 2\"=\"overwritten in place\"",
                           "\"Value 1\"=\"I was added second!\"", "", "[" + k + "\\https://winehq.org]", "",
                           "[" + k + "\\Subkey1 [x] ;#=\"]", "", "[" + k + "\\Subkey2]", "", "[" + k + "\\Subkey2\\Empty]", ""});
    };
    expectFileEq(layout(kK), exported(kK));
    // The key is looked up ignoring case and doubled or trailing separators, and written as stored.
    const std::string asked = otherCase(kK.substr(18));
    expectFileEq(layout(kStoredSpelling ? kK : "HKEY_CURRENT_USER\\" + asked),
                 exported("hkey_current_user\\\\" + asked + "\\"));
}

struct ValueCase {
    std::string name;
    DWORD type;
    std::string data;
    std::vector<std::string> unicode;   // the lines of the 5.00 export
    std::vector<std::string> regedit4;  // of the REGEDIT4 export, when it holds the case
    bool readsBack = true;  // false: string data without its NUL, which an import adds
};

// Long data breaks after the comma that reaches column 77; continuation lines hold 25 bytes.
const std::vector<ValueCase>& valueCases() {
    static const std::string multi = wz("Line1") + wz("Line2") + wz("Line3") + std::string(2, '\0');
    static const std::vector<ValueCase> cases = {
        {"", reg::kRegDword, dwordBytes(0x1234abcd), {"@=dword:1234abcd"}, {"@=dword:1234abcd"}},
        {"\\foo\\bar", reg::kRegSz, wz("Use \\\\ to escape / \\0 Value3\\0Value4"),
         {R"("\\foo\\bar"="Use \\\\ to escape / \\0 Value3\\0Value4")"}, {}},
        {"Gr\xC3\xBC\xC3\x9F" "e", reg::kRegSz, wz("\xC3\xBC" "ber \"x\""),
         {"\"Gr\xC3\xBC\xC3\x9F" "e\"=\"\xC3\xBC" "ber \\\"x\\\"\""},
         {"\"Gr\xC3\xBC\xC3\x9F" "e\"=\"\xC3\xBC" "ber \\\"x\\\"\""}},
        {"pair", reg::kRegSz, wz("\xF0\x9F\x98\x80"), {"\"pair\"=\"\xF0\x9F\x98\x80\""}, {}},
        {"\"=;#@[x]-", reg::kRegSz, wz("hex(2):;#\t"), {R"("\"=;#@[x]-"="hex(2):;#	")"}, {}},
        {"Binary", reg::kRegBinary, bytes({0x11, 0x22, 0x33, 0x44}), {"\"Binary\"=hex:11,22,33,44"}, {}},
        {"Undefined hex", 0x100, std::string("%PATH%\0", 7), {"\"Undefined hex\"=hex(100):25,50,41,54,48,25,00"}, {}},
        {"43981", 0xabcd, std::string("Value\0", 6), {"\"43981\"=hex(abcd):56,61,6c,75,65,00"}, {}},
        {"Multiple strings", reg::kRegMultiSz, multi,
         {"\"Multiple strings\"=hex(7):4c,00,69,00,6e,00,65,00,31,00,00,00,4c,00,69,00,6e,\\",
          "  00,65,00,32,00,00,00,4c,00,69,00,6e,00,65,00,33,00,00,00,00,00"},
         {"\"Multiple strings\"=hex(7):4c,69,6e,65,31,00,4c,69,6e,65,32,00,4c,69,6e,65,33,\\", "  00,00"}},
        {"exp", reg::kRegExpandSz, wz("\xC3\xBC"), {"\"exp\"=hex(2):fc,00,00,00"}, {"\"exp\"=hex(2):c3,bc,00"}},
        // Strings the quoted form cannot carry are written as hex, REG_DWORD not four bytes long too.
        {"empty sz", reg::kRegSz, "", {"\"empty sz\"=hex(1):"}, {}},
        {"c", reg::kRegSz, wz("ab") + wz("c"), {"\"c\"=hex(1):61,00,62,00,00,00,63,00,00,00"}, {}},
        {"cr lf", reg::kRegSz, wz("o\r\nt"), {"\"cr lf\"=hex(1):6f,00,0d,00,0a,00,74,00,00,00"}, {}},
        {"odd", reg::kRegSz, bytes({0x61, 0, 0x62}), {"\"odd\"=hex(1):61,00,62"}, {}, false},
        {"no nul", reg::kRegSz, bytes({0x61, 0}), {"\"no nul\"=hex(1):61,00"}, {}, false},
        {"surrogate", reg::kRegSz, bytes({0x00, 0xd8, 0x61, 0, 0, 0}), {"\"surrogate\"=hex(1):00,d8,61,00,00,00"}, {}},
        {"long dword", reg::kRegDword, range(1, 9), {"\"long dword\"=hex(4):01,02,03,04,05,06,07,08"}, {}},
        {"e3", reg::kRegBinary, "", {"\"e3\"=hex:"}, {}}, {"e7", reg::kRegMultiSz, "", {"\"e7\"=hex(7):"}, {}},
        {"DevicePath", reg::kRegExpandSz, wz("%SystemRoot%\\inf"),
         {"\"DevicePath\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,\\",
          "  00,74,00,25,00,5c,00,69,00,6e,00,66,00,00,00"},
         {"\"DevicePath\"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,69,6e,66,00"}},
        {"ProgramFilesPath", reg::kRegExpandSz, range(1, 18),
         {"\"ProgramFilesPath\"=hex(2):01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11"}, {}, false},
        {"ProgramFilesPatX", reg::kRegExpandSz, range(1, 19),
         {"\"ProgramFilesPatX\"=hex(2):01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,\\", "  12"}, {}, false},
        {std::string(80, 'N'), reg::kRegBinary, range(0, 3), {'"' + std::string(80, 'N') + "\"=hex:00,\\", "  01,02"}, {}},
        // The column counts UTF-16 units: these names are 5 and 6 units long.
        {"Gr\xC3\xB6\xC3\x9F" "e", reg::kRegBinary, range(0, 23),
         {"\"Gr\xC3\xB6\xC3\x9F" "e\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\",
          "  16"}, {}},
        {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80", reg::kRegBinary, range(0, 23),
         {"\"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,"
          "10,11,12,13,14,15,\\", "  16"}, {}},
    };
    return cases;
}

TEST_F(RegTest, EveryValueIsWrittenInItsOwnSyntaxInBothFormatsAndReadsBack) {
    // The REGEDIT4 file gets the cases that name their lines for it, in a store of their own.
    for (const Format format : {Format::Unicode5, Format::Regedit4}) {
        freshStore();
        std::vector<std::string> lines{"", "[" + kK + "]"};
        for (const ValueCase& c : valueCases()) {
            const auto& own = format == Format::Regedit4 ? c.regedit4 : c.unicode;
            if (own.empty())
                continue;
            set(kK, c.name, c.type, c.data);
            lines.insert(lines.end(), own.begin(), own.end());
        }
        lines.push_back("");
        expectFileEq(exportFile(lines, format), exported(kK, format));
        // What is written reads back to the same values.
        const HKey key = open(kK, true);
        for (const ValueCase& c : valueCases())
            if (!c.readsBack)
                store().RegDeleteValueA(key, c.name.c_str());
        store().RegCloseKey(key);
        const std::string again = exported(kK, format), unicode = exported(kK);
        freshStore();
        ASSERT_TRUE(import(again).ok);
        expectFileEq(unicode, exported(kK));
    }
}

TEST_F(RegTest, AFailedExportWritesNothingAndLeavesTheOldFileASuccessfulOneReplacesIt) {
    namespace fs = std::filesystem;
    const fs::path out = dir / "out" / "out.reg";
    fs::create_directory(out.parent_path());
    const auto filesInOut = [&] { return std::distance(fs::directory_iterator(out.parent_path()), {}); };
    set(kK + "\\Gone", "v", reg::kRegDword, dwordBytes(1));
    setSz(kK + "\\a\nb", "v", "x");
    set(kK + "\\values", "line\r\nbreak", reg::kRegBinary, "");
    for (const std::string& key : {kK + "\\missing", std::string("HKEY_CURRENT_USERS\\Software"), std::string("HKCU"),
                                   std::string("HKCU\\Software"), kK, kK + "\\values"}) {
        const Result r = exportRegFile(store(), out.string(), key, Format::Unicode5);
        EXPECT_FALSE(r.ok) << key;
        // A name with a line break cannot be written in any form the reader takes back.
        const bool lineBreak = key == kK || key == kK + "\\values";
        EXPECT_NE(r.message.find(lineBreak ? "line break" : key), std::string::npos) << r.message;
        EXPECT_EQ(r.message.find_first_of("\r\n"), std::string::npos) << r.message;
        EXPECT_EQ(0, filesInOut()) << key;
    }
    const Result r = exportRegFile(store(), (dir / "no such folder" / "out.reg").string(), kK + "\\Gone", Format::Unicode5);
    EXPECT_NE(r.message.find("out.reg"), std::string::npos) << r.message;
    EXPECT_FALSE(fs::exists(dir / "no such folder"));
    for (const Format format : {Format::Unicode5, Format::Regedit4}) {
        ASSERT_TRUE(exportRegFile(store(), out.string(), kK + "\\Gone", format).ok);
        expectFileEq(exportFile({"", "[" + kK + "\\Gone]", "\"v\"=dword:00000001", ""}, format), readFile(out));
        EXPECT_EQ(1, filesInOut());  // no temporary left over
    }
    // Reading fails part-way, after much has been written.
    for (int i = 0; i < 200; ++i)
        set(kK + "\\Gone\\a", "v" + std::to_string(i), reg::kRegBinary, std::string(5000, 'Z'));
    setSz(kK + "\\Gone\\b Broken", "v", "x");
    const std::string old = readFile(out);
    Forwarding failing(store());
    failing.unreadable = "Broken";
    const Result broken = exportRegFile(failing, out.string(), kK + "\\Gone", Format::Unicode5);
    EXPECT_NE(broken.message.find("b Broken"), std::string::npos) << broken.message;
    EXPECT_EQ(old, readFile(out));
    EXPECT_EQ(1, filesInOut());
    // What killed exports left: the next export there removes our own once a minute old.
    const std::tuple<std::string, int, bool> leftovers[] = {  // name ("/": a folder with a file), minutes old, kept
        {".out.reg.0badc0de.tmp/", 2, false}, {".other.reg.12345678.tmp/", 2, false}, {".now.reg.12345678.tmp/", 0, true},
        {".x.1234567.tmp/", 2, true}, {".x.1234567g.tmp/", 2, true}, {"x.reg.12345678.tmp/", 2, true}, {".f.abcdef01.tmp", 2, true}};
    for (const auto& [name, minutes, kept] : leftovers) {
        const bool folder = name.back() == '/';
        const fs::path p = out.parent_path() / name.substr(0, name.size() - folder);
        if (folder)
            fs::create_directory(p);
        writeFile(folder ? p / "x" : p, "x");
        fs::last_write_time(folder ? p / "x" : p, fs::file_time_type::clock::now() - std::chrono::minutes(minutes));
    }
    ASSERT_TRUE(exportRegFile(store(), out.string(), kK + "\\Gone", Format::Unicode5).ok);
    for (const auto& [name, minutes, kept] : leftovers)
        EXPECT_EQ(fs::exists(out.parent_path() / name), kept) << name;
}

TEST_F(RegTest, DefaultRegistryFillsEveryNewStoreMachineFirstThenUsers) {
    if (kSystemRegistry)
        GTEST_SKIP() << "no store here: the system's registry has its own content";
    installDefaultRegistry();
    freshStore();
    store();
    reg::setNewStoreInitializer(nullptr);
    const std::string text = readable(exported(""));
    EXPECT_GT(std::count(text.begin(), text.end(), '['), 300);
    // The whole registry is the machine, then the users; the other roots are views shown nowhere.
    EXPECT_EQ(0u, text.find("<BOM>" + kHeader5 + "\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n"));
    EXPECT_GT(text.find("\r\n[HKEY_USERS]\r\n") + 1, text.rfind("[HKEY_LOCAL_MACHINE") + 1);
    for (const char* view : {"[HKEY_CURRENT_USER", "[HKEY_CLASSES_ROOT", "[HKEY_CURRENT_CONFIG"})
        EXPECT_EQ(text.find(view), std::string::npos) << view;
    // A bare root exports its hive alone.
    EXPECT_EQ(0u, readable(exported("hkey_current_user")).find("<BOM>" + kHeader5 + "\r\n\r\n[HKEY_CURRENT_USER]\r\n"));
    EXPECT_EQ(readable(exported("HKEY_CURRENT_USER")).find("[HKEY_LOCAL_MACHINE"), std::string::npos);
}

}  // namespace
}  // namespace karvo::regfile::test
