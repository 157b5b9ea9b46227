// The tell-a-friend window as the user meets it: what it opens with, and the checks of the
// entries that come before any connection.
#include "MailerFixture.h"

using namespace karvo::test;
using karvo::platform::vbInformation;

using TellAFriendForm = MailerFixture;

TEST_F(TellAFriendForm, OpensReadyWithTheThirdSubjectChosenAtAFixedSize) {
    EXPECT_EQ(form->windowTitle(), "Tell a Friend About Karvo Backup");
    auto* subject = control<QComboBox>("cboSubject");
    QStringList entries;
    for (int i = 0; i < subject->count(); ++i)
        entries << subject->itemText(i);
    EXPECT_EQ(entries, QStringList({" I Highly Recommend It!", " I Thought You'd Want To See This",
                                    " I'm using a new program", " This seems like a good one",
                                    " Check Out This Program"}));
    EXPECT_EQ(subject->currentIndex(), 2);
    EXPECT_EQ(status(), "Status - Ready");
    EXPECT_TRUE(sendEnabled());
    EXPECT_EQ(control<QLabel>("Label6")->text(), "Tolvane does not collect email address's");

    // 6840 by 5820 twips of client area, and no way to resize it.
    EXPECT_EQ(form->size(), QSize(twips(6840, form->logicalDpiX()), twips(5820, form->logicalDpiY())));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    // The focus starts in the friend's name; Tab walks the entries (out of the comments too),
    // then the buttons.
    EXPECT_EQ(tabWalk(8), QStringList({"txtFriendsName", "txtFriend", "txtName", "txtFrom", "cboSubject",
                                       "txtComments", "cmdSend", "cmdExit"}));
}

TEST_F(TellAFriendForm, EachEntryIsCheckedInTurnBeforeAnyConnection) {
    ScriptedServer server({{"220 ready\r\n"}});
    useServer(server.port());
    const QString friendsAddress = "Please check your friend's email address     ";
    const QString ownAddress = "Please check your email address     ";
    // Each step puts one text into one entry and presses Send, which stops at the next check.
    struct Step {
        const char* entry;
        QString text;
        QString caption;
        QString message;
        const char* focus;
    };
    const Step steps[] = {
        {"cboSubject", "Please Choose a Subject", "No Subject Chosen", "You must choose a Subject for the email     ",
         "cboSubject"},
        {"cboSubject", " I'm using a new program", "No Name", "Please enter your friend's name     ",
         "txtFriendsName"},
        {"txtFriendsName", " ", "No Email Address", "Please enter your friend's email address     ", "txtFriend"},
        {"txtFriend", "bob@b.example", "No Name", "Please enter your name     ", "txtName"},
        {"txtName", "Ann", "No Email Address", "Please enter your email address     ", "txtFrom"},
        // Addresses that could break a command or a header line.
        {"txtFrom", "<ann@a.example>", "Invalid Email Address", ownAddress, "txtFrom"},
        {"txtFrom", "ann@a.example>\r\nDATA", "Invalid Email Address", ownAddress, "txtFrom"},
        {"txtFrom", "anné@a.example", "Invalid Email Address", ownAddress, "txtFrom"},
        {"txtFriend", "bob smith@b.example", "Invalid Email Address", friendsAddress, "txtFriend"},
        {"txtFriend", "bob@b.example\r\nRCPT TO:<eve@evil.example>", "Invalid Email Address", friendsAddress,
         "txtFriend"},
    };
    for (const Step& step : steps) {
        if (std::string_view(step.entry) == "cboSubject")
            control<QComboBox>(step.entry)->setEditText(step.text);
        else
            control(step.entry)->setText(step.text);
        click("cmdSend");
        EXPECT_EQ(takeBoxes(boxes), Boxes{box(step.caption, vbInformation, step.message)});
        EXPECT_EQ(focusName(), step.focus) << step.text.toStdString();
        EXPECT_EQ(status(), "Status - Ready");
        EXPECT_TRUE(sendEnabled());
    }
    EXPECT_EQ(control("txtFriendsName")->text(), " ");  // entries stay as typed
    QTest::qWait(50);
    EXPECT_EQ(server.connections, 0);
}
