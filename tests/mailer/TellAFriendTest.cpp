// The tell-a-friend logic without a window or a socket: reply framing, the wire form of the message,
// the checks of the entries and whole SMTP sessions against a recording front end.
#include "mailer/SmtpText.h"
#include "mailer/TellAFriend.h"

#include "RecordingDesktop.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <tuple>

using namespace karvo::mailer;
using namespace karvo::platform;
using namespace karvo::test;

namespace {

std::string repeated(std::string_view s, int n) {
    std::string out;
    while (n-- > 0)
        out += s;
    return out;
}

std::vector<std::string> split(const std::string& s, char at) {
    std::vector<std::string> parts{""};
    for (const char c : s) {
        if (c == at)
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    return parts;
}

TEST(SmtpReply, IsCompleteOnlyAfterItsLastLineAndHasTheCodeOfItsFirst) {
    const std::tuple<std::string, std::ptrdiff_t, int> cases[] = {  // what has arrived, reply length, code
        {"", 0, 0},
        {"25", 0, 25},
        {"220 ready\r", 0, 220},
        {"220 ready\r\n", 11, 220},
        {"354\r\n", 5, 354},
        {"250-first\r\n", 0, 250},
        {"250-mail.example\r\n250-SIZE\r\n250 HELP\r", 0, 250},
        {"250-first\r\n250 last\r\n354 next\r\n", 21, 250},  // the rest is the next reply
        {" 220 starts with a blank\r\n", 26, 0},
        {"99999999999999999999 overflow\r\n", 31, INT_MAX},
        // A line may hold 512 octets with its line end, a reply 100 lines.
        {"250 " + std::string(506, 'x') + "\r\n", 512, 250},
        {"250 " + std::string(507, 'x') + "\r\n", kReplyTooLong, 250},
        {"220 " + std::string(509, 'x'), kReplyTooLong, 220},
        {repeated("250-x\r\n", 99) + "250 x\r\n", 700, 250},
        {repeated("250-x\r\n", 100) + "250 x", kReplyTooLong, 250},
    };
    for (const auto& [buffer, length, code] : cases) {
        EXPECT_EQ(completeReplyLength(buffer), length) << buffer;
        EXPECT_EQ(replyCode(buffer), code) << buffer;
    }
    // Shown cut to its first lines and to a readable width, its bytes read as Latin-1.
    EXPECT_EQ(shownReply(repeated("550-a\r\n", 8) + "550 x\r\n"), repeated("550-a\r\n", 8) + "[...]\r\n");
    EXPECT_EQ(shownReply(std::string(600, 'x')), std::string(200, 'x') + "\r\n[...]\r\n");
    EXPECT_EQ(shownReply("554 \xE9t\xE9\r\n"), "554 \xC3\xA9t\xC3\xA9\r\n");
}

TEST(MailText, DataAndQuotedPrintableLinesEndInCrLfDoubleLeadingDotsAndStayWithinTheLimit) {
    EXPECT_EQ(toDataLines("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
    // A lone "." would otherwise end the message and hand the rest to the server as commands.
    EXPECT_EQ(toDataLines("x\n.\nQUIT\n.hidden\nend."), "x\r\n..\r\nQUIT\r\n..hidden\r\nend.");
    EXPECT_EQ(toDataLines(""), "");
    for (const std::string& line : {std::string(2500, 'a'), '.' + std::string(1500, 'b')}) {
        std::string joined;
        for (std::string piece : split(toDataLines(line), '\n')) {
            if (piece.ends_with('\r'))
                piece.pop_back();
            EXPECT_LE(piece.size(), 998u);
            joined += piece.substr(piece.starts_with('.'));  // the doubled dot undone
        }
        EXPECT_EQ(joined, line);
    }

    // Quoted-printable: bytes beyond ASCII, "=" and a blank at the end encoded, lines of at most 76
    // characters with a soft break, dots doubled.
    EXPECT_EQ(quotedPrintableLines("Grüße\n.x\na = b "), "Gr=C3=BC=C3=9Fe\r\n..x\r\na =3D b=20");
    EXPECT_EQ(quotedPrintableLines(std::string(80, '.')), std::string(76, '.') + "=\r\n" + std::string(6, '.'));
    for (const std::string& line : split(quotedPrintableLines(repeated("é", 100) + " 💾"), '\n'))
        EXPECT_LE(line.size(), 77u);  // 76 characters and the CR
}

TEST(MailText, SubjectFieldEncodesWhatIsNotAsciiInWholeWordsDatesAreEnglishHeloNamesTheLocalEnd) {
    EXPECT_EQ(subjectField("From: Ann\r\nBcc: x - Hi"), "Subject: From: Ann  Bcc: x - Hi");
    EXPECT_EQ(subjectField("From: Zoë"), "Subject: =?UTF-8?B?RnJvbTogWm/Dqw==?=");
    EXPECT_TRUE(subjectField(std::string(1200, 'a')).starts_with("Subject: =?UTF-8?B?"));  // too long as it is
    // Folded into words of at most 75 characters that never split a UTF-8 sequence: 200 "ü" (400
    // bytes) go as nine words of 22 letters and a last one of 2.
    const std::vector<std::string> lines = split(subjectField(repeated("ü", 200)), '\n');
    ASSERT_EQ(lines.size(), 10u);
    for (std::size_t i = 1; i < 9; ++i)
        EXPECT_EQ(lines[i], lines[1]);
    EXPECT_EQ(lines[1].size(), 74u);  // a blank, the word with its 60 base64 characters, the CR
    EXPECT_EQ(lines[9].size(), 21u);
    EXPECT_EQ(mailDate(2026, 12, 6, 18, 49, 6, 60), "Sun, 06 Dec 2026 18:49:06 +0100");
    EXPECT_EQ(mailDate(2027, 3, 1, 7, 5, 0, -330), "Mon, 01 Mar 2027 07:05:00 -0530");
    EXPECT_EQ(mailDateNow().size(), 31u);
    for (const auto& [local, helo] : {std::pair{"::ffff:10.0.0.7", "[10.0.0.7]"}, {"::1", "[IPv6:::1]"},
                                      {"fe80::1%1", "[IPv6:fe80::1]"}, {"127.0.0.1", "[127.0.0.1]"}})
        EXPECT_EQ(heloArgument(local), helo);
}

// The window, the socket and the timer in one: texts are kept per control, every other order is a
// line of its own, and what goes over the wire is kept apart.
class Front : public MailerView, public MailSocket, public Ticker {
public:
    std::map<std::string, std::string, std::less<>> texts;
    Lines lines;
    std::vector<std::string> wire;
    bool ticking = false;

    void setCaption(const std::string& text) override { texts["caption"] = text; }
    std::string text(std::string_view control) const override {
        const auto it = texts.find(control);
        return it == texts.end() ? std::string() : it->second;
    }
    void setText(std::string_view control, const std::string& text) override { texts[std::string(control)] = text; }
    void setItems(std::string_view control, const std::vector<std::string>& items, int current) override {
        texts[std::string(control)] = items.at(static_cast<std::size_t>(current));
    }
    void setEnabled(std::string_view control, bool enabled) override {
        lines.push_back(std::string(enabled ? "enable " : "disable ") + std::string(control));
    }
    void setFocus(std::string_view control) override { lines.push_back("focus " + std::string(control)); }
    void closeWindow() override { lines.push_back("close window"); }
    void connectTo(const std::string& host, int port) override {
        lines.push_back("connect " + host + ":" + std::to_string(port));
    }
    void send(const std::string& bytes) override { wire.push_back(bytes); }
    void hangUp() override { lines.push_back("hang up"); }
    std::string localAddress() const override { return "127.0.0.1"; }
    std::string errorText() const override { return "The remote host closed the connection"; }
    void start(int intervalMs) override { ticking = intervalMs == kTickMs; }
    void stop() override { ticking = false; }
};

class Session : public ::testing::Test {
protected:
    Front front;
    RecordingDesktop desktop;
    TellAFriend logic{front, front, front, desktop};

    void SetUp() override {
        logic.load();
        for (const auto& [entry, text] : {std::pair{"txtFriendsName", "Bob"}, {"txtFriend", "bob@b.example"},
                                          {"txtName", "Ann"}, {"txtFrom", "ann@a.example"}})
            front.texts[entry] = text;
        front.lines.clear();
    }
    // Presses Send and answers the connection; the greeting comes next.
    void start() {
        logic.send();
        logic.connected();
    }
    void ticks(int n) {
        while (n-- > 0 && front.ticking)
            logic.tick();
    }
    std::string status() const { return front.text("lblStatus"); }
};

const std::string kTimedOut = "box Karvo Backup [0]: Could not connect to host!     \r\nPlease try again later.     ";
const std::string kRefused = "box Karvo Backup [0]: Server returned the following error:\r\n";
const std::vector<std::string> kGood = {"220 ready\r\n", "250-mail.test\r\n250 HELP\r\n", "250 Ok\r\n",
                                        "250 Recipient ok\r\n", "354 go\r\n", "250 2.0.0 Ok: queued\r\n"};

TEST_F(Session, EachEntryIsCheckedInTurnBeforeAnyConnection) {
    front.texts = {};
    logic.load();
    EXPECT_EQ(front.text("caption"), "Tell a Friend About Karvo Backup");
    EXPECT_EQ(front.text("cboSubject"), " I'm using a new program");
    EXPECT_EQ(front.text("txtUrl"), "https://www.tolvane.example/karvo-backup/");
    // An entry typed, then Send: the box that stops it (caption, message) and where the focus goes.
    const std::tuple<const char*, const char*, const char*, const char*, const char*> steps[] = {
        {"cboSubject", "Please Choose a Subject", "No Subject Chosen", "You must choose a Subject for the email",
         "cboSubject"},
        {"cboSubject", "Hi", "No Name", "Please enter your friend's name", "txtFriendsName"},
        {"txtFriendsName", " ", "No Email Address", "Please enter your friend's email address", "txtFriend"},
        {"txtFriend", "bob@b.example", "No Name", "Please enter your name", "txtName"},
        {"txtName", "Ann", "No Email Address", "Please enter your email address", "txtFrom"},
        // Addresses that could break a command or a header line.
        {"txtFrom", "ann@a.example>\r\nDATA", "Invalid Email Address", "Please check your email address", "txtFrom"},
        {"txtFrom", "anné@a.example", "Invalid Email Address", "Please check your email address", "txtFrom"},
        {"txtFriend", "bob@b.example\r\nRCPT TO:<eve@evil.example>", "Invalid Email Address",
         "Please check your friend's email address", "txtFriend"},
    };
    front.lines.clear();
    for (const auto& [entry, text, caption, message, focus] : steps) {
        front.texts[entry] = text;
        logic.send();
        EXPECT_EQ(desktop.take(), Lines{std::string("box ") + caption + " [64]: " + message + "     "});
        EXPECT_EQ(front.lines, Lines{std::string("focus ") + focus});
        front.lines.clear();
    }
    EXPECT_EQ(status(), "Status - Ready");
}

TEST_F(Session, DeliversOneCommandPerReplyAndClosesTheWindow) {
    front.texts["txtComments"] = "First\n.\n.two";
    logic.send();
    EXPECT_EQ(status(), "Connecting...");
    logic.connected();
    EXPECT_EQ(status(), "Connected");
    std::vector<std::string> statuses;
    for (const std::string& reply : kGood) {
        // A reply in two pieces is taken only once whole.
        logic.received(reply.substr(0, 3));
        logic.received(reply.substr(3));
        statuses.push_back(status());
    }
    EXPECT_EQ(statuses, (std::vector<std::string>{"Receiving Welcome Message", "Receiving Welcome Message",
                                                  "Receiving Welcome Message", "Receiving Welcome Message",
                                                  "Sending Mail . . .", "Message Sent"}));
    ASSERT_EQ(front.wire.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(front.wire.begin(), front.wire.begin() + 4),
              (std::vector<std::string>{"HELO [127.0.0.1]\r\n", "MAIL FROM:<ann@a.example>\r\n",
                                        "RCPT TO:<bob@b.example>\r\n", "DATA\r\n"}));
    EXPECT_TRUE(front.wire[4].starts_with("From: <ann@a.example>\r\nTo: bob@b.example\r\n"
                                          "Subject: From: Ann -  I'm using a new program\r\nDate: "));
    EXPECT_NE(front.wire[4].find("\r\nFirst\r\n..\r\n..two\r\n"), std::string::npos);
    EXPECT_EQ(front.wire[5] + front.wire[6], "\r\n.\r\nQUIT\r\n");
    EXPECT_EQ(desktop.take(), Lines{"box Message Sent [64]: Your Message has been Sent Successfully.     \r\n\r\n"
                                    "Thanks for telling a friend about Karvo Backup     "});
    EXPECT_EQ(front.lines, (Lines{"disable cmdSend", "connect mail.tolvane.example:25", "hang up", "enable cmdSend",
                                  "close window"}));
    EXPECT_FALSE(front.ticking);
}

TEST_F(Session, AFailureAtAnyStepIsReportedOnceTheWaitsHaveThirtyTicksEachClosingEndsItQuietly) {
    // Replies of the good session first, then what goes wrong ("" for silence, "!" the connection
    // closed with an error), and the box it gives.
    const std::tuple<std::size_t, std::string, std::string> cases[] = {
        // What follows a refusal must not be taken for the next session's greeting.
        {0, "554 5.3.2 Too busy\r\n220 left over\r\n", kRefused + "554 5.3.2 Too busy\r\n"},
        {1, "Go away\r\n", kRefused + "Go away\r\n"},
        {1, "!", "box Karvo Backup [0]: The remote host closed the connection"},
        {3, "550 5.1.1 No such user\r\n", kRefused + "550 5.1.1 No such user\r\n"},
        {4, "250 2.0.0 Ok\r\n", kRefused + "250 2.0.0 Ok\r\n"},  // a good code at the wrong turn
        {5, "552 5.3.4 Too big\r\n", kRefused + "552 5.3.4 Too big\r\n"},
        // One beyond what a server may send ends the session at once, however it goes on.
        {2, repeated("250-x\r\n", 150), kRefused + repeated("250-x\r\n", 8) + "[...]\r\n"},
        {4, "", kTimedOut},
    };
    for (const auto& [good, reply, shown] : cases) {
        start();
        for (std::size_t i = 0; i < good; ++i) {
            ticks(29);  // each wait has its own 30 ticks
            logic.received(kGood[i]);
        }
        ticks(29);
        EXPECT_EQ(desktop.take(), Lines{}) << reply;
        reply == "!" ? logic.socketError() : logic.received(reply);
        ticks(1);
        EXPECT_EQ(desktop.take(), Lines{shown}) << reply;
        EXPECT_EQ(front.wire.size(), good + (good == 5)) << reply;  // the message goes with its end mark
        EXPECT_EQ(status(), "Message Not Sent");
        EXPECT_FALSE(front.ticking);
        EXPECT_EQ(front.lines.back(), "enable cmdSend");
        logic.received("220 late\r\n");  // nothing waits for it any more
        EXPECT_EQ(front.wire.size(), good + (good == 5));
        front.wire.clear();
        front.lines.clear();
    }
    // Connecting has the same limit; a refused connection says why.
    logic.send();
    ticks(30);
    EXPECT_EQ(desktop.take(), Lines{kTimedOut});
    logic.send();
    logic.socketError();
    logic.socketClosed();
    EXPECT_EQ(desktop.take(), Lines{"box Karvo Backup [0]: The remote host closed the connection"});

    // Closing the window ends a session quietly; shown again, it is loaded afresh.
    start();
    logic.received(kGood[0]);
    logic.unload();
    EXPECT_EQ(status(), "Message Not Sent");
    ticks(30);
    logic.received(kGood[1]);
    EXPECT_EQ(desktop.take(), Lines{});
    logic.load();
    EXPECT_EQ(front.text("txtFriend"), "");
}

}  // namespace
