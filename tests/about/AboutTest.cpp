// The About box, and its registry value reader against a registry that answers as told.
#include "about/frmAbout.h"

#include "TestSupport.h"
#include "WindowChecks.h"
#include "platform/ShexIt.h"

#include <QGroupBox>
#include <QLabel>
#include <QScreen>

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
using karvo::about::GetKeyValue;
using karvo::platform::RecordingMessageBoxes;

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
const Boxes kUnavailable{
    box("Karvo Backup", karvo::platform::vbOKOnly, "System Information Is Unavailable At This Time")};

class AboutBox : public ::testing::Test {
protected:
    FakeRegistry reg;
    std::vector<std::pair<std::string, int>> started;  // command line, window style
    std::int64_t pid = 4242;
    std::vector<std::string> opened;
    RecordingMessageBoxes boxes;
    TempDir tmp;
    frmAbout about{reg, [this](const std::string& line, int style) {
                       started.emplace_back(line, style);
                       return pid;
                   }};

    void SetUp() override {
        karvo::platform::setUrlOpener([this](const std::string& url) { return opened.push_back(url), true; });
    }
    void TearDown() override { karvo::platform::setUrlOpener({}); }
    void click(const char* name) { QTest::mouseClick(child(&about, name), Qt::LeftButton); }
    Boxes sysInfo() {
        about.StartSysInfo();
        return takeBoxes(boxes);
    }
};

}  // namespace

TEST_F(AboutBox, TextsLayoutTabOrderAndLinks) {
    EXPECT_EQ(about.windowTitle(), "About Karvo Backup");
    EXPECT_EQ(child<QLabel>(&about, "lblTitle")->text(), "Karvo Backup");
    EXPECT_EQ(child<QLabel>(&about, "lblVersion")->text(), "Version 1.0.0");
    auto* disclaimer = child<QLabel>(&about, "lblDisclaimer");
    EXPECT_TRUE(disclaimer->text().startsWith("Warning:  "));
    EXPECT_FALSE(about.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    const double dpi = about.screen()->logicalDotsPerInchX();
    EXPECT_EQ(about.size(), QSize(twips(5730, dpi), twips(3990, dpi)));
    EXPECT_EQ(child(&about, "Command2")->geometry(),
              QRect(twips(4320, dpi), twips(2040, dpi), twips(1245, dpi), twips(345, dpi)));
    // A label inside a frame is placed relative to the frame.
    EXPECT_EQ(disclaimer->parentWidget(), child<QGroupBox>(&about, "Frame1"));
    EXPECT_EQ(disclaimer->pos(), QPoint(twips(120, dpi), twips(240, dpi)));

    about.show();
    about.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    child(&about, "Command1")->setFocus();
    EXPECT_EQ(tabWalk(4), QStringList({"Command1", "Command2", "Command3", "Command4"}));
    // Closing and opening again loads the texts afresh.
    child<QLabel>(&about, "lblTitle")->setText("changed");
    click("Command3");
    EXPECT_FALSE(about.isVisible());
    about.show();
    EXPECT_EQ(child<QLabel>(&about, "lblTitle")->text(), "Karvo Backup");

    click("Command1");
    click("Command2");
    click("picIcon");
    EXPECT_EQ(opened, (std::vector<std::string>{karvo::about::kMailingList, karvo::about::kWebSite,
                                                karvo::about::kWebSite}));
    EXPECT_TRUE(started.empty());

    // The web icon asks for "start <address>" minimised, and opens the address itself when that fails.
    opened.clear();
    click("Image1");
    EXPECT_EQ(started, (decltype(started){{std::string("start ") + karvo::about::kWebSite, 2}}));
    EXPECT_TRUE(opened.empty());
    pid = 0;
    click("Image1");
    EXPECT_EQ(opened, (std::vector<std::string>{karvo::about::kWebSite}));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AboutBox, SystemInformationComesFromTheFirstLookupOrAProgramFileInTheSecond) {
    EXPECT_EQ(sysInfo(), kUnavailable);  // neither value exists
    reg.text(kSecond, "MSINFO", windowsSpelling(tmp.path()));
    EXPECT_EQ(sysInfo(), kUnavailable);  // and no program file in that folder
    fs::create_directories(tmp / "MSINFO32.EXE");  // a folder of that name does not count
    EXPECT_EQ(sysInfo(), kUnavailable);
    EXPECT_TRUE(started.empty());
    fs::remove(tmp / "MSINFO32.EXE");
    writeFile(tmp / "msinfo32", "");  // letter case ignored, and our programs carry no ".exe"
    EXPECT_EQ(sysInfo(), Boxes{});

    // The first lookup comes first, and is started without checking.
    reg.text(kFirst, "PATH", R"(C:\Program Files\Tools\msinfo32.exe)");
    click("Command4");
    EXPECT_EQ(takeBoxes(boxes), Boxes{});
    EXPECT_EQ(started, (decltype(started){{windowsSpelling(tmp.path()) + "\\MSINFO32.EXE", 1},
                                          {R"(C:\Program Files\Tools\msinfo32.exe)", 1}}));
    pid = 0;  // it cannot be started
    EXPECT_EQ(sysInfo(), kUnavailable);
    reg.keys[kFirst]["PATH"] = {3, {1, 2}};  // another type reads as an empty path
    EXPECT_EQ(sysInfo(), kUnavailable);
    EXPECT_EQ(started.back().first, "");
    reg.keys[kFirst]["PATH"] = {1, {}};  // no data at all: nothing is started
    EXPECT_EQ(sysInfo(), kUnavailable);
    EXPECT_EQ(started.size(), 4u);
    EXPECT_TRUE(reg.open.empty());
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
