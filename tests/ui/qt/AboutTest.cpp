// The About box's Qt window: its controls made from the table, and clicks carried to the logic and
// its orders carried out (what each click means is the logic's, tested beside it).
#include "ui/qt/frmAbout.h"

#include "TestStore.h"
#include "WindowChecks.h"
#include "ui/qt/ShexIt.h"

#include <QGroupBox>
#include <QLabel>
#include <QScreen>

#include <gtest/gtest.h>

using namespace karvo::test;

TEST(AboutWindow, BuiltFromTheTableWithClicksCarriedToTheLogic) {
    TestStore store;  // an empty registry: no system-information tool
    std::vector<std::pair<std::string, int>> started;  // command line, window style
    std::vector<std::string> opened;
    karvo::platform::RecordingMessageBoxes boxes;
    karvo::platform::setUrlOpener([&](const std::string& url) { return opened.push_back(url), true; });
    frmAbout about{store.store(), [&](const std::string& line, int style) {
                       started.emplace_back(line, style);
                       return std::int64_t{4242};
                   }};
    auto click = [&](const char* name) { QTest::mouseClick(child(&about, name), Qt::LeftButton); };

    EXPECT_EQ(about.windowTitle(), "About Karvo Backup");
    EXPECT_EQ(child<QLabel>(&about, "lblVersion")->text(), "Version 1.0.0");
    auto* disclaimer = child<QLabel>(&about, "lblDisclaimer");
    EXPECT_TRUE(disclaimer->text().startsWith("Warning:  "));
    EXPECT_EQ(child(&about, "Command4")->toolTip(), "Info about your computer");
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

    // Buttons and pictures reach the logic; the shell, the launcher and message boxes do its bidding.
    click("Command1");
    click("picIcon");
    click("Image1");
    EXPECT_EQ(opened, (std::vector<std::string>{karvo::about::kMailingList, karvo::about::kWebSite}));
    EXPECT_EQ(started, (decltype(started){{std::string("start ") + karvo::about::kWebSite, 2}}));
    click("Command4");
    EXPECT_EQ(takeBoxes(boxes),
              Boxes{box("Karvo Backup", karvo::platform::vbOKOnly, "System Information Is Unavailable At This Time")});
    karvo::platform::setUrlOpener({});
}
