// The tell-a-friend window: the user's entries and the SMTP session that delivers the
// recommendation to the maker's mail server.
#pragma once

#include <QByteArray>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTcpSocket;
class QTimer;

// A top-level, modeless window whatever its parent. Closing it ("&Cancel", the close box, or
// the end of a delivery) ends any session and unloads the entries; showing it again loads it
// afresh, so one object can be kept and shown as often as the user asks.
//
// The session is driven by the socket's signals and the one-second timer: the window stays
// responsive throughout, and closing it ends the session at any point without a message.
class frmBugReport : public QWidget {
    Q_OBJECT

public:
    explicit frmBugReport(QWidget* parent = nullptr);
    ~frmBugReport() override;

    // Closes the socket, shows the outcome in the status line and enables "&Send".
    void CloseConnection();

    // For tests only: sessions connect to host:port instead of the maker's server, and a
    // timer tick lasts tickMs. The program never calls these.
    static void setTestServer(const QString& host, quint16 port, int tickMs);
    static void clearTestServer();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Step { Ready, Connecting, Greeting, Helo, MailFrom, RcptTo, Data, Delivery, Ending, Delivered };

    void buildControls();
    void Form_Load();
    void Form_Unload();
    void cmdSend_Click();
    bool checkEntry(bool failed, const QString& text, const QString& caption, QWidget* focus);

    void Winsock1_Connect();
    void Winsock1_DataArrival();
    void Winsock1_Error();
    void Winsock1_Closed();
    void Timer1_Timer();

    bool awaiting() const;
    void await(Step next);
    void takeReplies();
    void onReply(const QByteArray& reply);
    void fail(const QByteArray& reply);
    void sendData(const QByteArray& text);

    int twipsX(int twips) const;
    int twipsY(int twips) const;
    void placeTwips(QWidget* w, int left, int top, int width, int height) const;

    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Image1 = nullptr;
    QComboBox* cboSubject = nullptr;
    QLineEdit* txtFriendsName = nullptr;
    QLineEdit* txtFriend = nullptr;
    QLineEdit* txtName = nullptr;
    QLineEdit* txtFrom = nullptr;
    QPlainTextEdit* txtComments = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* cmdSend = nullptr;
    QPushButton* cmdExit = nullptr;
    QLineEdit* txtUrl = nullptr;
    QPlainTextEdit* txtMessage = nullptr;
    QTimer* Timer1 = nullptr;
    QTcpSocket* Winsock1 = nullptr;

    QByteArray sResponse;  // reply bytes received and not yet taken
    int lTicks = 0;        // ticks since the current wait began
    Step step = Step::Ready;
    bool bSent = false;    // the server accepted the message in this session
    bool bLoaded = false;
};
