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

#include <filesystem>

namespace fs = std::filesystem;
using karvo::platform::RecordingMessageBoxes;
using karvo::test::FakeRegistry;

namespace {

const std::string kFirst = R"(SOFTWARE\Microsoft\Shared Tools\MSINFO)";
const std::string kSecond = R"(SOFTWARE\Microsoft\Shared Tools Location)";

struct Started {
    std::string line;
    int style;
};

// "C:" + an absolute path here, spelt the Windows way.
std::string windowsSpelling(const fs::path& p) {
    std::string s = "C:" + p.string();
    for (char& c : s)
        if (c == '/')
            c = '\\';
    return s;
}

class AboutBox : public ::testing::Test {
protected:
    FakeRegistry reg;
    std::vector<Started> started;
    std::int64_t pid = 4242;
    std::vector<std::string> opened;
    RecordingMessageBoxes boxes;
    karvo::test::TempDir tmp;
    frmAbout box{reg, [this](const std::string& line, int style) {
                     started.push_back({line, style});
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
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void expectFailureBox() {
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(boxes.shown[0].style, karvo::platform::vbOKOnly);
        EXPECT_EQ(boxes.shown[0].caption, "Karvo Backup");
    }
};

}  // namespace

TEST_F(AboutBox, LoadsTitleVersionAndControls) {
    EXPECT_EQ(box.windowTitle(), "About Karvo Backup");
    EXPECT_EQ(control<QLabel>("lblTitle")->text(), "Karvo Backup");
    EXPECT_EQ(control<QLabel>("lblVersion")->text(), "Version 1.0.0");
    EXPECT_TRUE(control<QLabel>("lblTitle")->font().bold());
    EXPECT_TRUE(box.isWindow());
    EXPECT_FALSE(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    struct Button {
        const char* name;
        const char* caption;
        const char* tip;
        int left, top;
    };
    const Button buttons[] = {
        {"Command1", "&Join the Tolvane mailing list", "Join our mailing list", 1560, 2040},
        {"Command2", "&Tolvane", "Visit Tolvane", 4320, 2040},
        {"Command3", "Clos&e", "Close this window", 4290, 2777},
        {"Command4", "&System Info", "Info about your computer", 4290, 3480},
    };
    const double dpi = box.screen()->logicalDotsPerInchX();
    auto px = [dpi](int twips) { return static_cast<int>(twips * dpi / 1440.0 + 0.5); };
    for (const Button& b : buttons) {
        auto* w = control<QPushButton>(b.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->text(), b.caption);
        EXPECT_EQ(w->toolTip(), b.tip);
        EXPECT_EQ(w->pos(), QPoint(px(b.left), px(b.top))) << b.name;
    }
    EXPECT_EQ(box.size(), QSize(px(5730), px(3990)));
    // Labels inside frames are placed relative to their frame.
    auto* disclaimer = control<QLabel>("lblDisclaimer");
    EXPECT_EQ(disclaimer->parentWidget(), control<QGroupBox>("Frame1"));
    EXPECT_EQ(disclaimer->geometry(), QRect(px(120), px(240), px(3870), px(1185)));
    EXPECT_TRUE(disclaimer->text().startsWith("Warning:  "));
    EXPECT_EQ(control<QLabel>("lblDescription")->parentWidget(), control<QGroupBox>("Frame2"));
    for (const char* name : {"picIcon", "Image1"})
        EXPECT_FALSE(control<QLabel>(name)->pixmap().isNull()) << name;

    // The buttons follow each other in the tab order.
    auto nextTabStop = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        return w;
    };
    EXPECT_EQ(nextTabStop(control<QPushButton>("Command1")), control<QPushButton>("Command2"));
    EXPECT_EQ(nextTabStop(control<QPushButton>("Command2")), control<QPushButton>("Command3"));
    EXPECT_EQ(nextTabStop(control<QPushButton>("Command3")), control<QPushButton>("Command4"));
}

TEST_F(AboutBox, ReopeningLoadsAgainAndCloseHides) {
    box.show();
    control<QLabel>("lblTitle")->setText("changed");
    QTest::mouseClick(control<QPushButton>("Command3"), Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    box.show();
    EXPECT_EQ(control<QLabel>("lblTitle")->text(), "Karvo Backup");
    box.close();
}

TEST_F(AboutBox, LinksOpenTheMakersPages) {
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
    QTest::mouseClick(control<QLabel>("picIcon"), Qt::LeftButton);
    EXPECT_EQ(opened, (std::vector<std::string>{karvo::about::kMailingList, karvo::about::kWebSite,
                                                karvo::about::kWebSite}));
    EXPECT_TRUE(started.empty());

    // The web icon asks for "start <address>" minimised, and opens the address itself when that fails.
    opened.clear();
    QTest::mouseClick(control<QLabel>("Image1"), Qt::LeftButton);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].line, std::string("start ") + karvo::about::kWebSite);
    EXPECT_EQ(started[0].style, 2);
    EXPECT_TRUE(opened.empty());
    pid = 0;
    QTest::mouseClick(control<QLabel>("Image1"), Qt::LeftButton);
    EXPECT_EQ(opened, (std::vector<std::string>{karvo::about::kWebSite}));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AboutBox, FirstLookupIsStartedWithoutChecking) {
    reg.text(kFirst, "PATH", R"(C:\Program Files\Tools\msinfo32.exe)");
    reg.text(kSecond, "MSINFO", tmp.str());
    QTest::mouseClick(control<QPushButton>("Command4"), Qt::LeftButton);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].line, R"(C:\Program Files\Tools\msinfo32.exe)");
    EXPECT_EQ(started[0].style, 1);
    EXPECT_TRUE(boxes.shown.empty());

    // It cannot be started: the failure box, and the box stays as it was.
    pid = 0;
    box.StartSysInfo();
    expectFailureBox();
}

TEST_F(AboutBox, SecondLookupNeedsTheProgramInItsFolder) {
    reg.text(kSecond, "MSINFO", windowsSpelling(tmp.path()));

    box.StartSysInfo();  // folder without the program
    expectFailureBox();
    EXPECT_TRUE(started.empty());

    // A folder of that name does not count.
    boxes.shown.clear();
    fs::create_directories(tmp / "MSINFO32.EXE");
    box.StartSysInfo();
    expectFailureBox();
    EXPECT_TRUE(started.empty());

    // The file name matches with letter case ignored.
    fs::remove(tmp / "MSINFO32.EXE");
    karvo::test::writeFile(tmp / "MsInfo32.exe", "");
    boxes.shown.clear();
    box.StartSysInfo();
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].line, windowsSpelling(tmp.path()) + "\\MSINFO32.EXE");
}

TEST_F(AboutBox, UnreadableLookupsEndInTheFailureBox) {
    box.StartSysInfo();  // neither value exists
    expectFailureBox();

    // A value of another type reads as an empty path, which cannot be started.
    boxes.shown.clear();
    pid = 0;
    reg.keys[kFirst]["PATH"] = {3, {1, 2}, 0xFFFFFFFF};
    box.StartSysInfo();
    expectFailureBox();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].line, "");

    // A value without any data.
    boxes.shown.clear();
    reg.keys[kFirst]["PATH"] = {1, {}, 0xFFFFFFFF};
    box.StartSysInfo();
    expectFailureBox();
    EXPECT_TRUE(reg.open.empty());
}

TEST(AboutBoxTool, TheWindowsFolderPathReachesTheRealProgram) {
    // The default registry names C:\WINDOWS\msinfo32.exe; it must reach the tool in our Windows folder.
    karvo::test::TempDir tmp;
    karvo::test::ScopedEnv windir("KARVO_WINDIR", (tmp / "windows").string());
    const fs::path oldCwd = fs::current_path();
    fs::current_path(tmp.path());
    fs::create_directories(tmp / "windows");
    karvo::test::writeFile(tmp / "windows" / "msinfo32", "#!/bin/sh\necho ran > ran.txt\n");
    fs::permissions(tmp / "windows" / "msinfo32", fs::perms::owner_all, fs::perm_options::add);

    FakeRegistry reg;
    reg.text(kFirst, "PATH", R"(C:\WINDOWS\msinfo32.exe)");
    RecordingMessageBoxes boxes;
    frmAbout box(reg, &karvo::platform::StartProcess);
    box.StartSysInfo();
    EXPECT_TRUE(boxes.shown.empty());
    for (int i = 0; i < 300 && karvo::test::readFile(tmp / "ran.txt").empty(); ++i)
        QThread::msleep(50);
    EXPECT_EQ(karvo::test::readFile(tmp / "ran.txt"), "ran\n");

    // Without the tool: the failure box.
    fs::remove(tmp / "windows" / "msinfo32");
    box.StartSysInfo();
    EXPECT_EQ(boxes.shown.size(), 1u);
    fs::current_path(oldCwd);
}
