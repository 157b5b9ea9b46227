// The tell-a-friend window in Qt: it builds its controls from the window's table, and passes the
// clicks, the socket's events and the timer's ticks to TellAFriend, which decides what happens.
//
// A top-level, modeless window whatever its parent. Closing it ends any session and unloads the
// entries; showing it again loads it afresh, so one object can be kept and shown as often as the
// user asks.
#pragma once

#include "mailer/TellAFriend.h"
#include "ui/qt/QtDesktop.h"

#include <QWidget>

class QTcpSocket;
class QTimer;

class frmBugReport : public QWidget,
                     private karvo::mailer::MailerView,
                     private karvo::mailer::MailSocket,
                     private karvo::mailer::Ticker {
    Q_OBJECT

public:
    explicit frmBugReport(QWidget* parent = nullptr);
    ~frmBugReport() override;

    // For tests only: sessions connect to host:port instead of the maker's server, and a timer
    // tick lasts tickMs. The program never calls these.
    static void setTestServer(const QString& host, quint16 port, int tickMs);
    static void clearTestServer();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    using QWidget::setEnabled;
    using QWidget::setFocus;

    void build();
    int px(int twips, bool vertical = false) const;
    QWidget* control(std::string_view name) const;

    void setCaption(const std::string& text) override;
    std::string text(std::string_view control) const override;
    void setText(std::string_view control, const std::string& text) override;
    void setItems(std::string_view control, const std::vector<std::string>& items, int current) override;
    void setEnabled(std::string_view control, bool enabled) override;
    void setFocus(std::string_view control) override;
    void closeWindow() override;

    void connectTo(const std::string& host, int port) override;
    void send(const std::string& bytes) override;
    void hangUp() override;
    std::string localAddress() const override;
    std::string errorText() const override;

    void start(int intervalMs) override;
    void stop() override;

    QTimer* Timer1 = nullptr;
    QTcpSocket* Winsock1 = nullptr;
    karvo::ui::QtDesktop desktop_;
    karvo::mailer::TellAFriend logic_;
};
