// The tell-a-friend window as the user meets it: loading, the checks of the entries, reopening.
#include "MailerFixture.h"
#include "mailer/Tell.h"

#include <QGroupBox>

using namespace karvo::test;
using karvo::platform::vbInformation;
namespace Tell = karvo::mailer::Tell;

namespace {

const QString kFive = QStringLiteral("     ");

}  // namespace

using TellAFriendForm = MailerFixture;

TEST_F(TellAFriendForm, OpensReadyToSendWithTheThirdSubjectChosen)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Tell a Friend About Karvo Backup"));
    auto* subject = control<QComboBox>("cboSubject");
    EXPECT_EQ(subject->currentText(), QStringLiteral(" I'm using a new program"));
    QStringList entries;
    for (int i = 0; i < subject->count(); ++i)
        entries << subject->itemText(i);
    EXPECT_EQ(entries, QStringList({QStringLiteral(" I Highly Recommend It!"),
                                    QStringLiteral(" I Thought You'd Want To See This"),
                                    QStringLiteral(" I'm using a new program"),
                                    QStringLiteral(" This seems like a good one"),
                                    QStringLiteral(" Check Out This Program")}));
    EXPECT_EQ(status(), QStringLiteral("Status - Ready"));
    EXPECT_TRUE(sendEnabled());
    EXPECT_EQ(control<QLabel>("Label6")->text(), QStringLiteral("Tolvane does not collect email address's"));
    EXPECT_FALSE(control<QLineEdit>("txtUrl")->isVisible());
    EXPECT_EQ(control<QLineEdit>("txtUrl")->text(), karvo::mailer::kProductPage);
    EXPECT_FALSE(control<QPlainTextEdit>("txtMessage")->isVisible());
    EXPECT_NE(form->findChild<QObject*>(QStringLiteral("Timer1")), nullptr);
    EXPECT_NE(form->findChild<QObject*>(QStringLiteral("Winsock1")), nullptr);

    // 6840 by 5820 twips of client area, and no way to resize it.
    EXPECT_EQ(form->width(), qRound(6840 * form->logicalDpiX() / 1440.0));
    EXPECT_EQ(form->height(), qRound(5820 * form->logicalDpiY() / 1440.0));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    // The focus starts in the friend's name and Tab walks the entries, then the buttons.
    EXPECT_EQ(QApplication::focusWidget(), field("txtFriendsName"));
    QStringList walk;
    for (int i = 0; i < 8; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        if (qobject_cast<QComboBox*>(focus->parentWidget()))
            focus = focus->parentWidget();  // the edit part of the subject box
        walk << focus->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(walk, QStringList({"txtFriendsName", "txtFriend", "txtName", "txtFrom", "cboSubject", "txtComments",
                                 "cmdSend", "cmdExit"}));
}

TEST_F(TellAFriendForm, ReportsTheFirstMissingEntryAndPutsTheFocusThere)
{
    struct Step {
        const char* typeInto;  // filled before the press, so the next check fails
        QString text;
        QString caption;
        const char* focus;
    };
    const Step steps[] = {
        {nullptr, QStringLiteral("Please enter your friend's name") + kFive, QStringLiteral("No Name"), "txtFriendsName"},
        {"txtFriendsName", QStringLiteral("Please enter your friend's email address") + kFive,
         QStringLiteral("No Email Address"), "txtFriend"},
        {"txtFriend", QStringLiteral("Please enter your name") + kFive, QStringLiteral("No Name"), "txtName"},
        {"txtName", QStringLiteral("Please enter your email address") + kFive, QStringLiteral("No Email Address"),
         "txtFrom"},
    };
    for (const Step& step : steps) {
        if (step.typeInto)
            type(step.typeInto, std::string_view(step.typeInto) == "txtFriendsName" ? QStringLiteral(" ")
                                                                                     : QStringLiteral("x@y.example"));
        boxes.shown.clear();
        click("cmdSend");
        ASSERT_EQ(boxes.shown.size(), 1u) << step.focus;
        EXPECT_EQ(boxes.shown[0].text, step.text);
        EXPECT_EQ(boxes.shown[0].caption, step.caption);
        EXPECT_EQ(boxes.shown[0].style, vbInformation);
        EXPECT_TRUE(field(step.focus)->hasFocus()) << step.focus;
        EXPECT_EQ(status(), QStringLiteral("Status - Ready"));
        EXPECT_TRUE(sendEnabled());
    }

    // The subject check comes first of all.
    auto* subject = control<QComboBox>("cboSubject");
    subject->lineEdit()->selectAll();
    QTest::keyClicks(subject->lineEdit(), QStringLiteral("Please Choose a Subject"));
    field("txtName")->setFocus();
    boxes.shown.clear();
    click("cmdSend");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("You must choose a Subject for the email") + kFive);
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("No Subject Chosen"));
    EXPECT_EQ(boxes.shown[0].style, vbInformation);
    EXPECT_TRUE(subject->hasFocus() || subject->lineEdit()->hasFocus());
    EXPECT_EQ(field("txtFriendsName")->text(), QStringLiteral(" "));  // entries stay as typed
}

TEST_F(TellAFriendForm, AddressesThatCouldBreakACommandAreRefusedBeforeConnecting)
{
    ScriptedServer server({{"220 ready\r\n"}});
    useServer(server.port());
    struct Case {
        const char* field;
        QString value;
        bool paste;  // control characters and accents come in by pasting here
    };
    const Case cases[] = {
        {"txtFriend", QStringLiteral("bob@b.example\r\nRCPT TO:<eve@evil.example>"), true},
        {"txtFrom", QStringLiteral("ann@a.example>\r\nDATA"), true},
        {"txtFriend", QStringLiteral("bob smith@b.example"), false},
        {"txtFrom", QStringLiteral("<ann@a.example>"), false},
        {"txtFrom", QStringLiteral("anné@a.example"), true},
    };
    fillDefaults();
    for (const Case& c : cases) {
        QLineEdit* edit = field(c.field);
        const QString good = edit->text();
        edit->clear();
        if (c.paste)
            edit->setText(c.value);
        else
            QTest::keyClicks(edit, c.value);
        boxes.shown.clear();
        click("cmdSend");
        ASSERT_EQ(boxes.shown.size(), 1u) << c.value.toStdString();
        EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Invalid Email Address"));
        EXPECT_EQ(boxes.shown[0].style, vbInformation);
        EXPECT_TRUE(boxes.shown[0].text.endsWith(kFive) && !boxes.shown[0].text.endsWith(kFive + u' '));
        EXPECT_TRUE(edit->hasFocus());
        EXPECT_EQ(status(), QStringLiteral("Status - Ready"));
        EXPECT_TRUE(sendEnabled());
        edit->setText(good);
    }
    QTest::qWait(50);
    EXPECT_EQ(server.connections, 0);
}

TEST_F(TellAFriendForm, AcceptedEntriesBecomeTheMailSettings)
{
    ScriptedServer server({});  // answers nothing: the session stays connected
    useServer(server.port());
    control<QComboBox>("cboSubject")->setCurrentIndex(0);
    fill(QStringLiteral(" "), QStringLiteral("bob@b.example"), QStringLiteral("Ann"), QStringLiteral("ann@a.example"));
    click("cmdSend");
    EXPECT_EQ(Tell::sMailSubject, QStringLiteral("From: Ann -  I Highly Recommend It!"));
    EXPECT_EQ(Tell::sMailFrom, QStringLiteral("ann@a.example"));
    EXPECT_EQ(Tell::sMailTo, QStringLiteral("bob@b.example"));
    EXPECT_EQ(Tell::sContentType, QStringLiteral("plain;"));
    EXPECT_EQ(Tell::sMailServer, karvo::mailer::kMakerMailServer);
    EXPECT_EQ(status(), QStringLiteral("Connecting..."));
    EXPECT_FALSE(sendEnabled());
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_TRUE(waitFor([&] { return status() == QStringLiteral("Connected"); }));
    EXPECT_FALSE(sendEnabled());

    // Cancel ends the session; a subject typed by the user is used as typed next time.
    click("cmdExit");
    form->show();
    auto* subject = control<QComboBox>("cboSubject");
    subject->lineEdit()->selectAll();
    QTest::keyClicks(subject->lineEdit(), QStringLiteral("Have a look"));
    fillDefaults();
    click("cmdSend");
    EXPECT_EQ(Tell::sMailSubject, QStringLiteral("From: Ann - Have a look"));
    EXPECT_TRUE(boxes.shown.empty());
}
