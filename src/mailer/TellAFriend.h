// What the tell-a-friend window does, without a window: its controls as one table, the checks of
// the entries and the SMTP session that delivers the recommendation. A front end creates the
// controls from the table, passes on the clicks, the socket's events and the timer's ticks, and
// carries out what MailerView, MailSocket, Ticker and the Desktop are told.
#pragma once

#include "platform/Desktop.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace karvo::mailer {

enum class Kind {
    Frame,    // a frame that holds controls
    Label,
    Combo,    // a drop-down list with an editable field
    Edit,     // a one-line text box
    Memo,     // a multi-line text box with a vertical scroll bar
    Picture,  // the information icon
    Button,
};

struct Control {
    const char* name;
    Kind kind;
    const char* frame;  // the frame that holds it, "" for the window itself
    const char* text;
    int left, top, width, height;  // twips, from the top left of its frame or of the window
    bool hidden;                   // a working field the session reads, never shown
};

inline constexpr int kFormWidth = 6840;  // twips, the inner size of the window
inline constexpr int kFormHeight = 5820;

// The window's controls, a frame before what it holds.
std::span<const Control> controls();
// The controls the Tab key walks, in order; the focus starts on the first.
std::span<const char* const> tabOrder();

// What the session asks of the window itself. Controls are named as in the table.
class MailerView {
public:
    virtual void setCaption(const std::string& text) = 0;
    virtual std::string text(std::string_view control) const = 0;
    virtual void setText(std::string_view control, const std::string& text) = 0;
    // The drop-down entries of a combo, with the entry current chosen (its text shown).
    virtual void setItems(std::string_view control, const std::vector<std::string>& items, int current) = 0;
    virtual void setEnabled(std::string_view control, bool enabled) = 0;
    virtual void setFocus(std::string_view control) = 0;
    virtual void closeWindow() = 0;

protected:
    ~MailerView() = default;
};

// The connection to the mail server. Its events come back through TellAFriend.
class MailSocket {
public:
    // Any earlier connection is dropped first, with whatever it had not read.
    virtual void connectTo(const std::string& host, int port) = 0;
    // Handed to the system at once, so a window closed right after a send still sends it.
    virtual void send(const std::string& bytes) = 0;
    // Ends the connection once what was sent has gone out; unread bytes are dropped.
    virtual void hangUp() = 0;
    // The connection's local address as text, for HELO.
    virtual std::string localAddress() const = 0;
    // Why the connection failed, in the system's words.
    virtual std::string errorText() const = 0;

protected:
    ~MailSocket() = default;
};

// The one-second timer that counts towards the session's limits.
class Ticker {
public:
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;

protected:
    ~Ticker() = default;
};

inline constexpr int kTickMs = 1000;
inline constexpr int kTickLimit = 30;  // ticks the connection, and then each reply, may take

class TellAFriend {
public:
    TellAFriend(MailerView& view, MailSocket& socket, Ticker& ticker, platform::Desktop& desktop);
    ~TellAFriend();
    TellAFriend(const TellAFriend&) = delete;
    TellAFriend& operator=(const TellAFriend&) = delete;

    // Opening the window: every entry as designed, the subjects, the ready state.
    void load();
    // Closing it ("&Cancel", the close box, the end of a delivery): any session ends quietly and the
    // next showing loads afresh.
    void unload();
    bool loaded() const { return loaded_; }

    void send();  // "&Send"
    void connected();
    void received(std::string_view bytes);
    void socketError();
    void socketClosed();
    void tick();

    // For tests only: sessions go to host:port instead of the maker's server, and a tick of the
    // timer lasts tickMs. The program never calls these.
    static void setTestServer(const std::string& host, int port, int tickMs);
    static void clearTestServer();

private:
    enum class Step { Ready, Connecting, Greeting, Helo, MailFrom, RcptTo, Data, Delivery, Ending, Delivered };

    bool checkEntry(bool failed, const std::string& text, const std::string& caption, std::string_view focus);
    bool running() const { return step_ == Step::Connecting || awaiting(); }
    bool awaiting() const { return step_ >= Step::Greeting && step_ <= Step::Delivery; }
    void await(Step next);
    void takeReplies();
    void onReply(const std::string& reply);
    void fail(const std::string& text);
    void closeConnection();
    int tickMs() const;

    MailerView& view_;
    MailSocket& socket_;
    Ticker& ticker_;
    platform::Desktop& desktop_;
    // Cleared when this object goes, which a message box's own event loop may bring about: a
    // handler that showed one returns at once then.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    std::string response_;  // reply bytes received and not yet taken
    int ticks_ = 0;         // ticks since the current wait began
    Step step_ = Step::Ready;
    bool sent_ = false;  // the server accepted the message in this session
    bool loaded_ = false;
};

}  // namespace karvo::mailer
