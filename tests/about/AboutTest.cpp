#include "about/frmAbout.h"

#include "FakeRegistry.h"
#include "TestSupport.h"
#include "platform/Launcher.h"
#include "platform/MsgBox.h"
#include "platform/ShexIt.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using karvo::platform::RecordingMessageBoxes;

namespace {

const std::string kFirst = R"(SOFTWARE\Microsoft\Shared Tools\MSINFO)";
const std::string kSecond = R"(SOFTWARE\Microsoft\Shared Tools Location)";

// "C:" + an absolute path here, spelt the Windows way.
std::string windowsSpelling(const fs::path& p) {
    std::string s = "C:" + p.string();
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

class AboutBox : public ::testing::Test {
protected:
    karvo::test::FakeRegistry reg;
    std::vector<std::pair<std::string, int>> started;  // command line, window style
    std::int64_t pid = 4242;
    std::vector<std::string> opened;
    RecordingMessageBoxes boxes;
    karvo::test::TempDir tmp;
    frmAbout box{reg, [this](const std::string& line, int style) {
                     started.emplace_back(line, style);
                     return pid;
                 }};

    void SetUp() override {
        karvo::platform::setUrlOpener([this](const std::string& url) {
            opened.push_back(url);
            return true;
        });
    }
    void TearDown() override { karvo::platform::setUrlOpener({}); }

    template <class T>
    T* control(const char* name) {
        T* w = box.findChild<T*>(QLatin1String(name));
        if (!w)
            throw std::runtime_error(std::string("no control ") + name);
        return w;
    }
    void click(const char* name) { QTest::mouseClick(control<QWidget>(name), Qt::LeftButton); }
    // Exactly one failure box since the last call.
    void expectFailureBox() {
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(boxes.shown[0].style, karvo::platform::vbOKOnly);
        EXPECT_EQ(boxes.shown[0].caption, "Karvo Backup");
        boxes.shown.clear();
    }
};

}  // namespace

TEST_F(AboutBox, TextsAndLayout) {
    EXPECT_EQ(box.windowTitle(), "About Karvo Backup");
    EXPECT_EQ(control<QLabel>("lblTitle")->text(), "Karvo Backup");
    EXPECT_EQ(control<QLabel>("lblVersion")->text(), "Version 1.0.0");
    EXPECT_TRUE(control<QLabel>("lblDisclaimer")->text().startsWith("Warning:  "));
    EXPECT_FALSE(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    const double dpi = box.screen()->logicalDotsPerInchX();
    auto px = [dpi](int twips) { return static_cast<int>(twips * dpi / 1440.0 + 0.5); };
    EXPECT_EQ(box.size(), QSize(px(5730), px(3990)));
    EXPECT_EQ(control<QPushButton>("Command2")->geometry(), QRect(px(4320), px(2040), px(1245), px(345)));
    EXPECT_EQ(control<QPushButton>("Command4")->toolTip(), "Info about your computer");
    // A label inside a frame is placed relative to the frame.
    auto* disclaimer = control<QLabel>("lblDisclaimer");
    EXPECT_EQ(disclaimer->parentWidget(), control<QGroupBox>("Frame1"));
    EXPECT_EQ(disclaimer->pos(), QPoint(px(120), px(240)));

    // The four buttons follow each other in the tab order.
    QWidget* w = control<QPushButton>("Command1");
    for (const char* next : {"Command2", "Command3", "Command4"}) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(w->objectName(), next);
    }

    // Closing and opening again loads the texts afresh.
    box.show();
    control<QLabel>("lblTitle")->setText("changed");
    click("Command3");
    EXPECT_FALSE(box.isVisible());
    box.show();
    EXPECT_EQ(control<QLabel>("lblTitle")->text(), "Karvo Backup");
    box.close();
}

TEST_F(AboutBox, LinksOpenTheMakersPages) {
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

TEST_F(AboutBox, FirstLookupIsStartedWithoutChecking) {
    reg.text(kFirst, "PATH", R"(C:\Program Files\Tools\msinfo32.exe)");
    reg.text(kSecond, "MSINFO", windowsSpelling(tmp.path()));
    click("Command4");
    EXPECT_EQ(started, (decltype(started){{R"(C:\Program Files\Tools\msinfo32.exe)", 1}}));
    EXPECT_TRUE(boxes.shown.empty());

    pid = 0;  // it cannot be started
    box.StartSysInfo();
    expectFailureBox();
}

TEST_F(AboutBox, SecondLookupNeedsTheProgramFileInItsFolder) {
    reg.text(kSecond, "MSINFO", windowsSpelling(tmp.path()));
    box.StartSysInfo();
    expectFailureBox();
    fs::create_directories(tmp / "MSINFO32.EXE");  // a folder of that name does not count
    box.StartSysInfo();
    expectFailureBox();
    EXPECT_TRUE(started.empty());

    fs::remove(tmp / "MSINFO32.EXE");
    karvo::test::writeFile(tmp / "MsInfo32.exe", "");  // letter case ignored
    box.StartSysInfo();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(started, (decltype(started){{windowsSpelling(tmp.path()) + "\\MSINFO32.EXE", 1}}));
}

TEST_F(AboutBox, UnreadableLookupsEndInTheFailureBox) {
    box.StartSysInfo();  // neither value exists
    expectFailureBox();

    pid = 0;
    reg.keys[kFirst]["PATH"] = {3, {1, 2}};  // another type reads as an empty path
    box.StartSysInfo();
    expectFailureBox();
    EXPECT_EQ(started, (decltype(started){{"", 1}}));

    reg.keys[kFirst]["PATH"] = {1, {}};  // no data at all
    box.StartSysInfo();
    expectFailureBox();
    EXPECT_TRUE(reg.open.empty());
}

TEST(AboutBoxTool, TheRegisteredPathReachesTheToolInTheWindowsFolder) {
    karvo::test::TempDir tmp;
    karvo::test::ScopedEnv windir("KARVO_WINDIR", (tmp / "windows").string());
    const fs::path oldCwd = fs::current_path();
    fs::current_path(tmp.path());
    fs::create_directories(tmp / "windows");
    karvo::test::writeFile(tmp / "windows" / "msinfo32", "#!/bin/sh\necho ran > ran.txt\n");
    fs::permissions(tmp / "windows" / "msinfo32", fs::perms::owner_all, fs::perm_options::add);

    karvo::test::FakeRegistry reg;
    reg.text(kFirst, "PATH", R"(C:\WINDOWS\msinfo32.exe)");
    RecordingMessageBoxes boxes;
    frmAbout box(reg, &karvo::platform::StartProcess);
    box.StartSysInfo();
    EXPECT_TRUE(boxes.shown.empty());
    for (int i = 0; i < 300 && karvo::test::readFile(tmp / "ran.txt").empty(); ++i)
        QThread::msleep(50);
    EXPECT_EQ(karvo::test::readFile(tmp / "ran.txt"), "ran\n");

    fs::remove(tmp / "windows" / "msinfo32");
    box.StartSysInfo();
    EXPECT_EQ(boxes.shown.size(), 1u);
    fs::current_path(oldCwd);
}

TEST(AboutBoxStore, LooksUpThroughTheRegistryStore) {
    karvo::test::TempDir tmp;
    auto store = karvo::reg::openStore((tmp / "registry.db").string());
    auto set = [&](const std::string& key, const char* name, const std::string& text) {
        karvo::reg::HKey h = 0;
        ASSERT_EQ(store->RegCreateKeyExA(karvo::reg::kHkeyLocalMachine, key.c_str(), 0, "", 0, 0x3F, nullptr, &h,
                                         nullptr), 0);
        store->RegSetValueExA(h, name, 0, karvo::reg::kRegSz, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                              static_cast<karvo::reg::DWORD>(text.size() + 1));
        store->RegCloseKey(h);
    };
    std::vector<std::string> started;
    RecordingMessageBoxes boxes;
    frmAbout box(*store, [&](const std::string& line, int) {
        started.push_back(line);
        return 1;
    });
    set(kSecond, "MSINFO", windowsSpelling(tmp.path()));
    karvo::test::writeFile(tmp / "msinfo32.exe", "");
    box.StartSysInfo();
    set(kFirst, "PATH", R"(C:\WINDOWS\msinfo32.exe)");
    box.StartSysInfo();
    EXPECT_EQ(started, (std::vector<std::string>{windowsSpelling(tmp.path()) + "\\MSINFO32.EXE",
                                                 R"(C:\WINDOWS\msinfo32.exe)"}));
    EXPECT_TRUE(boxes.shown.empty());
}
