// The About box's logic against a registry that answers as told and a recording front end.
#include "about/AboutBox.h"

#include "RecordingDesktop.h"
#include "TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace karvo::reg;
using namespace karvo::test;
using namespace std::string_literals;
using namespace karvo::about;

namespace {

// Answers exactly as told: the reader must cope with sizes and types a real store rarely hands back.
class FakeRegistry : public RegistryService {
public:
    struct Value {
        DWORD type = kRegSz;
        std::vector<std::uint8_t> data;
        DWORD reportedSize = 0xFFFFFFFF;  // the size handed back; data.size() unless set
    };
    std::map<std::string, std::map<std::string, Value>> keys;  // HKLM key path -> values
    std::vector<DWORD> rights;                                 // as asked for at each open
    std::set<HKey> open;                                       // handles not closed yet

    void text(const std::string& key, const std::string& name, const std::string& s) {
        keys[key][name] = {kRegSz, {s.c_str(), s.c_str() + s.size() + 1}};  // with its terminating zero
    }

    LONG RegOpenKeyExA(HKey root, const char* sub, DWORD, DWORD sam, HKey* out) override {
        rights.push_back(sam);
        *out = 0;
        if (root != kHkeyLocalMachine || !keys.count(sub))
            return kErrorFileNotFound;
        *out = next_++;
        paths_[*out] = sub;
        open.insert(*out);
        return kErrorSuccess;
    }
    LONG RegCloseKey(HKey h) override { return open.erase(h) ? kErrorSuccess : kErrorInvalidHandle; }
    LONG RegQueryValueExA(HKey h, const char* name, DWORD*, DWORD* type, std::uint8_t* data, DWORD* size) override {
        const auto& values = keys[paths_.at(h)];
        const auto it = values.find(name);
        if (it == values.end())
            return kErrorFileNotFound;
        const Value& v = it->second;
        *type = v.type;
        if (v.data.size() > *size) {
            *size = static_cast<DWORD>(v.data.size());
            return kErrorMoreData;
        }
        std::copy(v.data.begin(), v.data.end(), data);
        *size = v.reportedSize != 0xFFFFFFFF ? v.reportedSize : static_cast<DWORD>(v.data.size());
        return kErrorSuccess;
    }

    // Not used by the About box.
    LONG RegCreateKeyExA(HKey, const char*, DWORD, const char*, DWORD, DWORD, const SecurityAttributes*, HKey*,
                         DWORD*) override { return 1; }
    LONG RegSetValueExA(HKey, const char*, DWORD, DWORD, const std::uint8_t*, DWORD) override { return 1; }
    LONG RegDeleteKeyA(HKey, const char*) override { return 1; }
    LONG RegDeleteValueA(HKey, const char*) override { return 1; }
    LONG RegEnumKeyA(HKey, DWORD, char*, DWORD) override { return 1; }
    LONG RegEnumValueA(HKey, DWORD, char*, DWORD*, DWORD*, DWORD*, std::uint8_t*, DWORD*) override { return 1; }
    LONG RegQueryInfoKeyA(HKey, char*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*,
                          void*) override { return 1; }
    LONG EnumKeyRaw(HKey, DWORD, std::string&) override { return 1; }
    LONG EnumValueRaw(HKey, DWORD, std::string&, DWORD&, std::vector<std::uint8_t>&) override { return 1; }
    LONG QueryValueRaw(HKey, const std::string&, DWORD&, std::vector<std::uint8_t>&) override { return 1; }
    LONG SetValueRaw(HKey, const std::string&, DWORD, const std::uint8_t*, std::size_t) override { return 1; }
    LONG DeleteTree(HKey, const char*) override { return 1; }
    bool KeyPath(HKey, std::string&) override { return false; }
    LONG BeginBatch() override { return kErrorNotSupported; }
    LONG CommitBatch() override { return 1; }
    LONG RollbackBatch() override { return 1; }

private:
    HKey next_ = 0x100;
    std::map<HKey, std::string> paths_;
};

const std::string kFirst = R"(SOFTWARE\Microsoft\Shared Tools\MSINFO)";
const std::string kSecond = R"(SOFTWARE\Microsoft\Shared Tools Location)";

// The window records its orders beside the desktop's.
class RecordingBox : public RecordingDesktop, public AboutView {
public:
    void setCaption(const std::string& text) override { lines.push_back("caption " + text); }
    void setText(const std::string& control, const std::string& text) override {
        lines.push_back("text " + control + " " + text);
    }
    void closeWindow() override { lines.push_back("close"); }
};

// Where the registry says the system-information tool is.
enum class Tool { Nowhere, InFolderWithout, InFolderAsFolder, InFolder, First, FirstOfOtherType, FirstEmpty };

}  // namespace

TEST(AboutBoxLogic, OpeningAndEveryClickDoWhatTheBoxIsFor) {
    const std::string site = kWebSite;
    const std::string unavailable = "box Karvo Backup [0]: System Information Is Unavailable At This Time";
    const std::string firstPath = R"(C:\Program Files\Tools\msinfo32.exe)";
    struct Row {
        const char* control;  // "" opens the box
        Tool tool;
        bool launches;
        Lines expected;  // %DIR% stands for the folder the second lookup names
    };
    const Row rows[] = {
        {"", Tool::Nowhere, true, {"caption About Karvo Backup", "text lblVersion Version 1.0.0",
                                   "text lblTitle Karvo Backup"}},
        {"Command1", Tool::Nowhere, true, {"open "s + kMailingList}},
        {"Command2", Tool::Nowhere, true, {"open " + site}},
        {"picIcon", Tool::Nowhere, true, {"open " + site}},
        // The web icon asks for "start <address>" minimised, and opens the address itself when that fails.
        {"Image1", Tool::Nowhere, true, {"start 2 start " + site}},
        {"Image1", Tool::Nowhere, false, {"start 2 start " + site, "open " + site}},
        {"Command3", Tool::Nowhere, true, {"close"}},
        {"lblTitle", Tool::Nowhere, true, {}},  // labels and frames take no click
        {"Frame1", Tool::Nowhere, true, {}},
        {"Command4", Tool::Nowhere, true, {unavailable}},
        {"Command4", Tool::InFolderWithout, true, {unavailable}},
        {"Command4", Tool::InFolderAsFolder, true, {unavailable}},  // a folder of that name does not count
        {"Command4", Tool::InFolder, true, {"start 1 %DIR%\\MSINFO32.EXE"}},
        // The first lookup comes first, and is started without checking.
        {"Command4", Tool::First, true, {"start 1 " + firstPath}},
        {"Command4", Tool::First, false, {"start 1 " + firstPath, unavailable}},
        {"Command4", Tool::FirstOfOtherType, true, {"start 1 ", unavailable}},  // read as an empty path
        {"Command4", Tool::FirstEmpty, true, {unavailable}},  // no data at all: nothing is started
    };
    for (const Row& row : rows) {
        TempDir tmp;
#ifdef _WIN32
        const std::string folder = tmp.str();
        const char* program = "msinfo32.exe";
#else
        const std::string folder = windowsSpelling(tmp.path());
        const char* program = "msinfo32";  // letter case ignored, and our programs carry no ".exe"
#endif
        FakeRegistry reg;
        if (row.tool != Tool::Nowhere)
            reg.text(kSecond, "MSINFO", folder);
        if (row.tool == Tool::InFolderAsFolder)
            fs::create_directories(tmp / "MSINFO32.EXE");
        if (row.tool >= Tool::InFolder)
            writeFile(tmp / program, "");
        if (row.tool == Tool::First)
            reg.text(kFirst, "PATH", firstPath);
        if (row.tool == Tool::FirstOfOtherType)
            reg.keys[kFirst]["PATH"] = {3, {1, 2}};
        if (row.tool == Tool::FirstEmpty)
            reg.keys[kFirst]["PATH"] = {1, {}};

        RecordingBox view;
        view.launches = row.launches;
        AboutBox box(view, view, reg);
        if (*row.control)
            box.click(row.control);
        else
            box.load();
        Lines expected = row.expected;
        for (std::string& line : expected)
            if (const auto at = line.find("%DIR%"); at != std::string::npos)
                line.replace(at, 5, folder);
        EXPECT_EQ(view.take(), expected) << row.control << " " << static_cast<int>(row.tool);
        EXPECT_TRUE(reg.open.empty()) << "a key was left open";
    }
}

TEST(ReadValue, TextIsCutAtTheReturnedSizeNumbersReadAsDecimalOtherTypesLeaveItAlone) {
    // Type (0: no such key, 99: the key without that value), data, size handed back (~0: the data's), result, text.
    const std::tuple<DWORD, std::string, DWORD, bool, std::string> cases[] = {
        {1, "C:\\WINDOWS\\msinfo32.exe\0"s, ~0u, true, "C:\\WINDOWS\\msinfo32.exe"},
        {1, "abc", ~0u, true, "abc"},        // no terminating zero: the last character stays
        {1, "ab\0d\0"s, 3, true, "ab"},      // the size handed back decides, not the bytes beyond it
        {1, "\0"s, ~0u, true, ""},
        {1, std::string(1023, 'x') + '\0', ~0u, true, std::string(1023, 'x')},
        {1, std::string(1024, 'x') + '\0', ~0u, false, ""},  // larger than the buffer
        {4, "\x39\x30\0\0"s, ~0u, true, "12345"},
        {4, "\0\0\0\1"s, ~0u, true, "16777216"},
        {4, "\xFF\xFF\xFF\xFF", ~0u, true, "4294967295"},
        {4, "\0\0\0\0"s, ~0u, true, "0"},
        {3, "\1\2\3", ~0u, true, "untouched"},
        {0, "", ~0u, false, ""},  // what is missing empties the text
        {99, "", ~0u, false, ""},
    };
    for (const auto& [type, data, size, ok, text] : cases) {
        FakeRegistry reg;
        if (type == 99)
            reg.text(kFirst, "OTHER", "x");
        else if (type)
            reg.keys[kFirst]["PATH"] = {type, {data.begin(), data.end()}, size};
        std::string out = "untouched";
        EXPECT_EQ(GetKeyValue(reg, kHkeyLocalMachine, kFirst, "PATH", out), ok) << text;
        EXPECT_EQ(out, text);
        EXPECT_EQ(reg.rights, std::vector<DWORD>{0x2003F});
        EXPECT_TRUE(reg.open.empty()) << "a key was left open";
    }
}
