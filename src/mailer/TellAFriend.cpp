#include "mailer/TellAFriend.h"

#include "mailer/SmtpText.h"
#include "mailer/Tell.h"

#include <array>
#include <utility>

namespace karvo::mailer {

namespace {

using platform::vbInformation;
using platform::vbOKOnly;

constexpr const char* kNoSubject = "Please Choose a Subject";
constexpr const char* kStatusReady = "Status - Ready";
constexpr const char* kStatusSent = "Message Sent";
constexpr const char* kStatusNotSent = "Message Not Sent";
constexpr const char* kFive = "     ";
constexpr const char* kCrLf = "\r\n";

constexpr std::array kControls{
    Control{"Frame1", Kind::Frame, "", "", 113, 120, 6615, 4815, false},
    Control{"Label1", Kind::Label, "Frame1", "Select a Subject", 240, 420, 2295, 255, false},
    Control{"cboSubject", Kind::Combo, "Frame1", "", 2520, 360, 3975, 315, false},
    Control{"Label7", Kind::Label, "Frame1", "Your Friend's name", 240, 836, 2295, 255, false},
    Control{"txtFriendsName", Kind::Edit, "Frame1", "", 2520, 776, 3975, 315, false},
    Control{"Label4", Kind::Label, "Frame1", "Your Friend's Email Address", 240, 1252, 2295, 255, false},
    Control{"txtFriend", Kind::Edit, "Frame1", "", 2520, 1192, 3975, 315, false},
    Control{"Label5", Kind::Label, "Frame1", "Enter Your Name", 240, 1668, 2295, 255, false},
    Control{"txtName", Kind::Edit, "Frame1", "", 2520, 1608, 3975, 315, false},
    Control{"Label2", Kind::Label, "Frame1", "Enter Your Email Address", 240, 2085, 2295, 255, false},
    Control{"txtFrom", Kind::Edit, "Frame1", "", 2520, 2025, 3975, 315, false},
    Control{"Label3", Kind::Label, "Frame1", "Comments (Optional)", 1440, 2640, 2295, 255, false},
    Control{"txtComments", Kind::Memo, "Frame1", "", 1440, 2880, 5055, 1815, false},
    Control{"Image1", Kind::Picture, "Frame1", "", 360, 3240, 720, 720, false},
    Control{"Label6", Kind::Label, "", "Tolvane does not collect email address's", 113, 5040, 6615, 195, false},
    Control{"lblStatus", Kind::Label, "", kStatusReady, 120, 5400, 4080, 330, false},
    Control{"cmdSend", Kind::Button, "", "&Send", 4400, 5400, 1095, 350, false},
    Control{"cmdExit", Kind::Button, "", "&Cancel", 5633, 5400, 1095, 350, false},
    Control{"txtUrl", Kind::Edit, "", "", 120, 5040, 6375, 285, true},
    Control{"txtMessage", Kind::Memo, "", "", 233, 7080, 6375, 1815, true},
};

constexpr std::array<const char*, 8> kTabOrder{"txtFriendsName", "txtFriend", "txtName",  "txtFrom",
                                               "cboSubject",     "txtComments", "cmdSend", "cmdExit"};

struct TestServer {
    bool active = false;
    std::string host;
    int port = 0;
    int tickMs = kTickMs;
};
TestServer& testServer() {
    static TestServer server;
    return server;
}

}  // namespace

std::span<const Control> controls() { return kControls; }
std::span<const char* const> tabOrder() { return kTabOrder; }

void TellAFriend::setTestServer(const std::string& host, int port, int tickMs) {
    testServer() = TestServer{true, host, port, tickMs};
}

void TellAFriend::clearTestServer() { testServer() = TestServer{}; }

TellAFriend::TellAFriend(MailerView& view, MailSocket& socket, Ticker& ticker, platform::Desktop& desktop)
    : view_(view), socket_(socket), ticker_(ticker), desktop_(desktop) {}

TellAFriend::~TellAFriend() { *alive_ = false; }

int TellAFriend::tickMs() const { return testServer().active ? testServer().tickMs : kTickMs; }

void TellAFriend::load() {
    view_.setCaption(std::string("Tell a Friend About ") + kAppTitle);
    view_.setItems("cboSubject",
                   {" I Highly Recommend It!", " I Thought You'd Want To See This", " I'm using a new program",
                    " This seems like a good one", " Check Out This Program"},
                   2);
    // A reload starts from the window as designed: the user's entries do not survive closing.
    for (const char* entry : {"txtFriendsName", "txtFriend", "txtName", "txtFrom", "txtComments", "txtMessage"})
        view_.setText(entry, "");
    view_.setText("txtUrl", kProductPage);
    view_.setText("lblStatus", kStatusReady);
    view_.setEnabled("cmdSend", true);
    ticker_.stop();
    step_ = Step::Ready;
    sent_ = false;
    Tell::sContentType = "plain;";
    Tell::sMailServer = kMakerMailServer;
    view_.setFocus("txtFriendsName");
    loaded_ = true;
}

void TellAFriend::unload() {
    closeConnection();
    loaded_ = false;
}

bool TellAFriend::checkEntry(bool failed, const std::string& text, const std::string& caption,
                             std::string_view focus) {
    if (!failed)
        return true;
    const auto alive = alive_;
    desktop_.messageBox(text + kFive, vbOKOnly | vbInformation, caption);
    if (*alive)
        view_.setFocus(focus);
    return false;
}

void TellAFriend::send() {
    if (step_ != Step::Ready)
        return;
    const std::string subject = view_.text("cboSubject");
    const std::string friendsName = view_.text("txtFriendsName"), friendAddress = view_.text("txtFriend");
    const std::string name = view_.text("txtName"), from = view_.text("txtFrom");
    if (!checkEntry(subject == kNoSubject, "You must choose a Subject for the email", "No Subject Chosen",
                    "cboSubject") ||
        !checkEntry(friendsName.empty(), "Please enter your friend's name", "No Name", "txtFriendsName") ||
        !checkEntry(friendAddress.empty(), "Please enter your friend's email address", "No Email Address",
                    "txtFriend") ||
        !checkEntry(name.empty(), "Please enter your name", "No Name", "txtName") ||
        !checkEntry(from.empty(), "Please enter your email address", "No Email Address", "txtFrom"))
        return;
    // The addresses go into SMTP commands and header fields as they are, so anything that could
    // break a line or a path is refused here, before a connection is made.
    if (!checkEntry(!isSendableAddress(friendAddress), "Please check your friend's email address",
                    "Invalid Email Address", "txtFriend") ||
        !checkEntry(!isSendableAddress(from), "Please check your email address", "Invalid Email Address", "txtFrom"))
        return;

    // A typed subject that is not in the list is used as typed.
    Tell::sMailSubject = subjectLine(name, subject);
    Tell::sMailFrom = from;
    Tell::sMailTo = friendAddress;
    view_.setEnabled("cmdSend", false);
    view_.setText("lblStatus", "Connecting...");
    // A late reply of an earlier session must never be taken for this one's greeting.
    response_.clear();
    sent_ = false;
    step_ = Step::Connecting;
    const TestServer& test = testServer();
    socket_.connectTo(test.active ? test.host : Tell::sMailServer, test.active ? test.port : kMailPort);
    // The system may try to connect for minutes; the attempt gets the limit of a reply.
    ticks_ = 0;
    ticker_.start(tickMs());
}

void TellAFriend::closeConnection() {
    const bool wasRunning = step_ != Step::Ready;
    step_ = Step::Ready;
    ticker_.stop();
    socket_.hangUp();
    // A session that did not deliver never claims it did.
    if (sent_)
        view_.setText("lblStatus", kStatusSent);
    else if (wasRunning)
        view_.setText("lblStatus", kStatusNotSent);
    view_.setEnabled("cmdSend", true);
}

void TellAFriend::await(Step next) {
    step_ = next;
    ticks_ = 0;
    ticker_.start(tickMs());
}

void TellAFriend::connected() {
    if (step_ != Step::Connecting)
        return;
    view_.setText("txtMessage", composeBody(view_.text("txtFriendsName"), view_.text("txtComments"),
                                            view_.text("txtName"), view_.text("txtUrl")));
    view_.setText("lblStatus", "Connected");
    await(Step::Greeting);
    takeReplies();
}

void TellAFriend::received(std::string_view bytes) {
    // Only a waiting dialogue takes text; anything else (after QUIT, behind a message box) is
    // dropped, so nothing piles up.
    if (!awaiting())
        return;
    response_ += bytes;
    takeReplies();
}

void TellAFriend::takeReplies() {
    const auto alive = alive_;
    while (*alive && awaiting()) {
        const std::ptrdiff_t length = completeReplyLength(response_);
        if (length == kReplyTooLong) {
            // No server answers like this: the session ends before the text can grow any further.
            return fail(shownReply(std::exchange(response_, std::string())));
        }
        if (length == 0)
            return;
        const std::string reply = response_.substr(0, static_cast<std::size_t>(length));
        response_.erase(0, static_cast<std::size_t>(length));
        ticker_.stop();
        onReply(reply);
    }
}

void TellAFriend::onReply(const std::string& reply) {
    const int code = replyCode(reply);
    const auto expect = [&](int wanted) {
        if (code != wanted)
            fail(shownReply(reply));
        return code == wanted;
    };
    switch (step_) {
    case Step::Greeting:
        if (!expect(220))
            return;
        view_.setText("lblStatus", "Receiving Welcome Message");
        socket_.send("HELO " + heloArgument(socket_.localAddress()) + kCrLf);
        return await(Step::Helo);
    case Step::Helo:
        if (!expect(250))
            return;
        socket_.send("MAIL FROM:<" + Tell::sMailFrom + '>' + kCrLf);
        return await(Step::MailFrom);
    case Step::MailFrom:
        if (!expect(250))
            return;
        socket_.send("RCPT TO:<" + Tell::sMailTo + '>' + kCrLf);
        return await(Step::RcptTo);
    case Step::RcptTo:
        if (!expect(250))
            return;
        socket_.send(std::string("DATA") + kCrLf);
        return await(Step::Data);
    case Step::Data: {
        if (!expect(354))
            return;
        view_.setText("lblStatus", "Sending Mail . . .");
        MailParts parts;
        parts.from = Tell::sMailFrom;
        parts.to = Tell::sMailTo;
        parts.subject = Tell::sMailSubject;
        parts.contentType = Tell::sContentType;
        parts.body = view_.text("txtMessage");
        parts.date = mailDateNow();
        parts.messageId = messageId(Tell::sMailServer);
        socket_.send(composeMessage(parts));
        socket_.send(std::string(kCrLf) + '.' + kCrLf);
        return await(Step::Delivery);
    }
    case Step::Delivery: {
        if (!expect(250))
            return;
        socket_.send(std::string("QUIT") + kCrLf);
        step_ = Step::Delivered;
        sent_ = true;
        view_.setText("lblStatus", kStatusSent);
        const auto alive = alive_;
        desktop_.messageBox(std::string("Your Message has been Sent Successfully.     \r\n\r\n"
                                        "Thanks for telling a friend about ") +
                                kAppTitle + kFive,
                            vbOKOnly | vbInformation, "Message Sent");
        if (!*alive)
            return;
        closeConnection();
        view_.closeWindow();
        return;
    }
    default:
        return;
    }
}

void TellAFriend::fail(const std::string& text) {
    step_ = Step::Ending;
    ticker_.stop();
    const auto alive = alive_;
    desktop_.messageBox("Server returned the following error:\r\n" + text, vbOKOnly, kAppTitle);
    if (*alive && step_ == Step::Ending)
        closeConnection();
}

void TellAFriend::tick() {
    if (!running())
        return;
    if (++ticks_ != kTickLimit)
        return;
    step_ = Step::Ending;
    closeConnection();
    desktop_.messageBox("Could not connect to host!     \r\nPlease try again later.     ", vbOKOnly, kAppTitle);
}

void TellAFriend::socketError() {
    if (!running())
        return;
    step_ = Step::Ending;
    ticker_.stop();
    const auto alive = alive_;
    desktop_.messageBox(socket_.errorText(), vbOKOnly, kAppTitle);
    if (*alive && step_ == Step::Ending)
        closeConnection();
}

void TellAFriend::socketClosed() {
    // The connection went away without an error report: the session ends where it is.
    if (!running())
        return;
    step_ = Step::Ending;
    closeConnection();
}

}  // namespace karvo::mailer
