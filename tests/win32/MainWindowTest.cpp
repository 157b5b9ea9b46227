// The Win32 main window, made for real in this process and driven by window messages as a user's
// clicks and keys would arrive; its message boxes are recorded.
// The registry's headers name a kernel helper that <windows.h> makes a macro: they come first, and
// Winsock's before <windows.h>.
#include "registry/RegistryService.h"

#include <winsock2.h>

#include "TestSupport.h"
#include "tree/KeyPaths.h"
#include "ui/win32/frmRegEdit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace karvo::win32 {
namespace {

class Win32MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        // The editor writes its files in the working folder, which is the program folder.
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(tmp_.path());
        window_ = std::make_unique<frmRegEdit>(GetModuleHandleW(nullptr), tmp_.str());
        window_->desktop().setMessageBoxes([this](const std::string&, int style, const std::string& caption) {
            boxes_.push_back(caption + " " + std::to_string(style));
            return (style & 7) == platform::vbYesNo ? platform::vbYes : platform::vbOK;
        });
        window_->Form_Load();
    }
    void TearDown() override {
        window_.reset();
        std::filesystem::current_path(previous_);
    }
    static void pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    HWND tree() const { return window_->control("tvwReg"); }
    std::string text(HTREEITEM item) const {
        wchar_t buffer[512] = {};
        TVITEMW get{};
        get.mask = TVIF_TEXT | TVIF_HANDLE;
        get.hItem = item;
        get.pszText = buffer;
        get.cchTextMax = 512;
        TreeView_GetItem(tree(), &get);
        return utf8(buffer);
    }
    std::vector<HTREEITEM> children(HTREEITEM parent) const {
        std::vector<HTREEITEM> out;
        for (HTREEITEM at = parent ? TreeView_GetChild(tree(), parent) : TreeView_GetRoot(tree()); at;
             at = TreeView_GetNextSibling(tree(), at))
            out.push_back(at);
        return out;
    }
    std::vector<std::string> texts(HTREEITEM parent) const {
        std::vector<std::string> out;
        for (HTREEITEM at : children(parent))
            out.push_back(text(at));
        return out;
    }
    // A press and release of the left button on the item's label.
    void click(HTREEITEM item) {
        RECT r{};
        TreeView_GetItemRect(tree(), item, &r, TRUE);
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        PostMessageW(tree(), WM_LBUTTONUP, 0, at);
        SendMessageW(tree(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        pump();
    }
    // The keyboard's way to open a node: choose it, then the right arrow.
    void open(HTREEITEM item) {
        TreeView_SelectItem(tree(), item);
        SendMessageW(tree(), WM_KEYDOWN, VK_RIGHT, 0);
        pump();
    }
    void press(const char* button) {
        HWND w = window_->control(button);
        SendMessageW(window_->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED), reinterpret_cast<LPARAM>(w));
    }
    std::string controlText(const char* name) const { return windowText(window_->control(name)); }

    test::TempDir tmp_;
    std::filesystem::path previous_;
    std::unique_ptr<frmRegEdit> window_;
    std::vector<std::string> boxes_;
};

TEST_F(Win32MainWindow, BrowsesTheRegistryBacksUpTheClickedKeyAndRestoresIt) {
    const std::vector<std::string> roots{"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE",
                                         "HKEY_USERS",        "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
    ASSERT_TRUE(window_->hwnd()) << GetLastError();
    ASSERT_TRUE(tree());
    ASSERT_EQ(texts(nullptr), roots);
    EXPECT_TRUE(IsWindowVisible(window_->hwnd()));

    // Nothing marked yet: the backup says so and runs nothing.
    press("cmdBackup");
    EXPECT_EQ(boxes_, std::vector<std::string>{"Key Not Selected 64"});
    EXPECT_EQ(window_->logic().pendingEditorRuns(), 0);

    const HTREEITEM user = children(nullptr)[1];
    open(user);
    const std::vector<std::string> keys = texts(user);
    ASSERT_FALSE(keys.empty());
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end(), tree::lessIgnoringCase));
    EXPECT_NE(std::find(keys.begin(), keys.end(), "Software"), keys.end());
    EXPECT_TRUE(TreeView_GetItemState(tree(), user, TVIS_EXPANDED) & TVIS_EXPANDED);

    // A click marks the key and fills the name box and the status line.
    const HTREEITEM key = children(user).front();
    click(key);
    EXPECT_EQ(controlText("txtIndex"), "HKEY_CURRENT_USER\\" + keys.front());
    EXPECT_FALSE(controlText("txtFilename").empty());
    TVITEMW images{};
    images.mask = TVIF_HANDLE | TVIF_SELECTEDIMAGE;
    images.hItem = key;
    TreeView_GetItem(tree(), &images);
    EXPECT_EQ(images.iSelectedImage, static_cast<int>(tree::Image::Selected));

    // The backup runs the registry editor while the window keeps running, then lists the file.
    const std::wstring keyPath = wide(keys.front());
    const auto setCheck = [&](const wchar_t* data) {
        RegSetKeyValueW(HKEY_CURRENT_USER, keyPath.c_str(), L"KarvoCheck", REG_SZ, data,
                        static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
    };
    const auto editorDone = [&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (window_->logic().pendingEditorRuns() > 0 && std::chrono::steady_clock::now() < deadline) {
            pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return window_->logic().pendingEditorRuns() == 0;
    };
    setCheck(L"before");
    SetWindowTextW(window_->control("txtFilename"), L"first");
    press("cmdBackup");
    EXPECT_TRUE(IsWindowVisible(window_->control("lblMessage")));
    ASSERT_TRUE(editorDone());
    EXPECT_EQ(boxes_.size(), 1u) << boxes_.back();
    EXPECT_TRUE(std::filesystem::exists(tmp_ / controlText("Label1"))) << controlText("Label1");
    HWND list = window_->control("lstBack");
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0), 2 * MulDiv(3615, dpi, 1440));

    // Changed behind the program's back, the key comes back from the chosen backup, as Wine's reg sees it.
    setCheck(L"after");
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    SendMessageW(window_->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    press("cmdRestore");
    ASSERT_TRUE(editorDone());
    const std::string seen = (tmp_ / "reg.txt").string();
    std::system(("reg query \"HKCU\\" + keys.front() + "\" /v KarvoCheck > \"" + seen + "\"").c_str());
    EXPECT_NE(test::readFile(seen).find("before"), std::string::npos) << test::readFile(seen);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, keyPath.c_str(), L"KarvoCheck");

    // Help's last item opens the About box, loaded; closing it only hides it.
    HMENU help = GetSubMenu(GetMenu(window_->hwnd()), 3);
    SendMessageW(window_->hwnd(), WM_COMMAND, GetMenuItemID(help, GetMenuItemCount(help) - 1), 0);
    ASSERT_TRUE(window_->about());
    EXPECT_TRUE(IsWindowVisible(window_->about()->hwnd()));
    EXPECT_EQ(windowText(window_->about()->hwnd()), "About Karvo Backup");
    SendMessageW(window_->about()->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(window_->about()->hwnd()));
}

TEST_F(Win32MainWindow, ComparesRestoresExactlyAndUndoesThroughTheSystemsEditor) {
    const std::string sub = "Software\\Karvo Tests\\win32-" + std::to_string(GetCurrentProcessId());
    const std::wstring key = wide(sub);
    const auto set = [&](const wchar_t* name, const wchar_t* data) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, data,
                        static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
    };
    const auto state = [&] {
        std::string out;
        for (const wchar_t* name : {L"Colour", L"Shape", L"Added"}) {
            wchar_t data[64] = {};
            DWORD size = sizeof data;
            out += RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) == ERROR_SUCCESS
                       ? utf8(data) + "|"
                       : "-|";
        }
        return out;
    };
    const auto runs = [&] {
        for (int i = 0; i < 3000 && window_->logic().pendingEditorRuns() > 0; ++i) {
            pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return window_->logic().pendingEditorRuns() == 0;
    };
    set(L"Colour", L"Blue");
    set(L"Shape", L"Round");
    window_->logic().nodeClick(window_->logic().tree().openPath({"HKEY_CURRENT_USER", "Software", "Karvo Tests",
                                                                 "win32-" + std::to_string(GetCurrentProcessId())}));
    press("cmdBackup");
    ASSERT_TRUE(runs());
    const std::string backedUp = state();
    set(L"Colour", L"Red");
    set(L"Added", L"New");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Shape");
    const std::string changed = state();
    HWND list = window_->control("lstBack");
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    SendMessageW(window_->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    // Actions: the Compare, Restore Exactly and Undo items, each after a separator.
    HMENU actions = GetSubMenu(GetMenu(window_->hwnd()), 1);
    const auto choose = [&](int position) {
        SendMessageW(window_->hwnd(), WM_COMMAND, GetMenuItemID(actions, position), 0);
        return runs();
    };
    ASSERT_TRUE(choose(6));
    ASSERT_EQ(window_->comparisons().size(), 1u);
    EXPECT_EQ(windowText(window_->comparisons().front()->control("lblCounts")),
              "1 value changed, 1 only in the backup, 1 only in the registry; 0 keys only in the backup, 0 only in the "
              "registry");
    ASSERT_TRUE(choose(8));
    EXPECT_EQ(state(), backedUp);
    ASSERT_TRUE(choose(10));
    EXPECT_EQ(state(), changed);
    EXPECT_EQ(boxes_, (std::vector<std::string>{"Restore Exactly? 36", "Undo Last Restore? 36"}));
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}

// A mail server on 127.0.0.1 that accepts one session, answers it by script and records its commands.
class ScriptedServer {
public:
    ScriptedServer() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof at;
        bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at);
        listen(listener_, 1);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &length);
        port_ = ntohs(at.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedServer() {
        if (thread_.joinable())
            thread_.join();
        closesocket(listener_);
        WSACleanup();
    }
    int port() const { return port_; }
    // The commands, once the session is over.
    std::vector<std::string> commands() {
        thread_.join();
        return commands_;
    }

private:
    void serve() {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener_, &ready);
        timeval wait{20, 0};
        if (select(0, &ready, nullptr, nullptr, &wait) != 1)
            return;
        const SOCKET client = accept(listener_, nullptr, nullptr);
        const DWORD timeoutMs = 20000;
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
        const auto say = [client](const char* reply) { ::send(client, reply, static_cast<int>(std::strlen(reply)), 0); };
        say("220 test ready\r\n");
        std::string in;
        bool data = false;
        char buffer[4096];
        for (int got; (got = recv(client, buffer, sizeof buffer, 0)) > 0;) {
            in.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t end; (end = in.find(data ? "\r\n.\r\n" : "\r\n")) != std::string::npos;) {
                const std::string line = in.substr(0, end);
                in.erase(0, end + (data ? 5 : 2));
                if (data) {
                    data = false;
                    say("250 queued\r\n");
                    continue;
                }
                commands_.push_back(line);
                data = line == "DATA";
                say(data ? "354 go ahead\r\n" : line == "QUIT" ? "221 bye\r\n" : "250 ok\r\n");
            }
        }
        closesocket(client);
    }

    SOCKET listener_;
    int port_ = 0;
    std::vector<std::string> commands_;
    std::thread thread_;
};

TEST_F(Win32MainWindow, TellAFriendChecksTheEntriesAndMailsThroughTheServer) {
    // Help's "&Tell a Friend" opens the window, loaded.
    HMENU help = GetSubMenu(GetMenu(window_->hwnd()), 3);
    for (int i = 0; i < GetMenuItemCount(help); ++i) {
        wchar_t item[64] = {};
        GetMenuStringW(help, static_cast<UINT>(i), item, 64, MF_BYPOSITION);
        if (std::wstring(item) == L"&Tell a Friend")
            SendMessageW(window_->hwnd(), WM_COMMAND, GetMenuItemID(help, i), 0);
    }
    frmBugReport* mail = window_->mail();
    ASSERT_TRUE(mail);
    EXPECT_TRUE(IsWindowVisible(mail->hwnd()));
    EXPECT_EQ(windowText(mail->hwnd()), "Tell a Friend About Karvo Backup");
    EXPECT_EQ(windowText(mail->control("cmdSend")), "&Send");
    EXPECT_EQ(SendMessageW(mail->control("cboSubject"), CB_GETCOUNT, 0, 0), 5);
    EXPECT_TRUE(GetWindowLongW(mail->control("txtComments"), GWL_STYLE) & ES_MULTILINE);
    EXPECT_FALSE(IsWindowVisible(mail->control("txtMessage")));
    std::vector<std::string> boxes;
    mail->desktop().setMessageBoxes([&boxes](const std::string&, int style, const std::string& caption) {
        boxes.push_back(caption + " " + std::to_string(style));
        return platform::vbOK;
    });
    const auto press = [mail](const char* button) {
        HWND w = mail->control(button);
        SendMessageW(mail->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED), reinterpret_cast<LPARAM>(w));
    };
    press("cmdSend");
    EXPECT_EQ(boxes, std::vector<std::string>{"No Name 64"});

    // One session with the scripted server, through the window's own socket and timer.
    ScriptedServer server;
    mailer::TellAFriend::setTestServer("127.0.0.1", server.port(), 100);
    SetWindowTextW(mail->control("txtFriendsName"), L"Ann");
    SetWindowTextW(mail->control("txtFriend"), L"ann@example.com");
    SetWindowTextW(mail->control("txtName"), L"Bob");
    SetWindowTextW(mail->control("txtFrom"), L"bob@example.com");
    press("cmdSend");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (boxes.size() < 2 && std::chrono::steady_clock::now() < deadline) {
        pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    mailer::TellAFriend::clearTestServer();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes.back(), "Message Sent 64");
    EXPECT_FALSE(IsWindowVisible(mail->hwnd()));
    EXPECT_EQ(server.commands(), (std::vector<std::string>{"HELO [127.0.0.1]", "MAIL FROM:<bob@example.com>",
                                                           "RCPT TO:<ann@example.com>", "DATA", "QUIT"}));
}

}  // namespace
}  // namespace karvo::win32
