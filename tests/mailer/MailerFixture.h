// What the mailer suites share: a mail server on 127.0.0.1 that answers from a script, and a
// tell-a-friend window on screen whose sessions never reach the maker's real server.
#pragma once

#include "WindowChecks.h"
#include "mailer/frmBugReport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace karvo::test {

// One reply: its pieces are written 40 ms apart, so the client sees them arrive separately;
// the piece kHangUp closes the connection instead.
using Reply = QList<QByteArray>;
inline const QByteArray kHangUp = QByteArrayLiteral("<hang up>");

// The first reply is the greeting, each later one answers the next command, the message after a
// 354 reply to DATA counting as one. When the script runs out the server stays silent.
class ScriptedServer : public QObject {
public:
    explicit ScriptedServer(QList<Reply> script) : script_(std::move(script)) {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ++connections;
                client_ = socket;
                connect(socket, &QTcpSocket::readyRead, this, &ScriptedServer::read);
                connect(socket, &QTcpSocket::disconnected, this, [this] { clientGone = true; });
                answer();
            }
        });
    }
    quint16 port() const { return server_.serverPort(); }

    QList<QByteArray> commands;  // command lines received, without their line end
    QByteArray message;          // what came between the DATA reply and the end marker
    // Called with each command, and with "<message>", before the server answers.
    std::function<void(const QByteArray&)> onReceived;
    int connections = 0;
    bool clientGone = false;

private:
    void read() {
        inbox_ += client_->readAll();
        for (qsizetype end; (end = inbox_.indexOf(inData_ ? "\r\n.\r\n" : "\r\n")) >= 0; answer()) {
            const QByteArray got = inbox_.left(end);
            inbox_.remove(0, end + (inData_ ? 5 : 2));
            if (inData_)
                message = got + "\r\n";
            else
                commands << got;
            if (onReceived)
                onReceived(inData_ ? QByteArray("<message>") : got);
            inData_ = !inData_ && got == "DATA" && script_.value(next_).value(0).startsWith("354");
        }
    }
    void answer() {
        if (next_ < script_.size())
            write(script_[next_++], 0);
    }
    void write(const Reply& pieces, qsizetype i) {
        if (!client_ || i >= pieces.size())
            return;
        if (pieces[i] == kHangUp)
            return client_->disconnectFromHost();
        client_->write(pieces[i]);
        client_->flush();
        QTimer::singleShot(40, this, [this, pieces, i] { write(pieces, i + 1); });
    }

    QTcpServer server_;
    QPointer<QTcpSocket> client_;
    QList<Reply> script_;
    qsizetype next_ = 0;
    QByteArray inbox_;
    bool inData_ = false;
};

inline QByteArray unstuff(const QByteArray& line) { return line.startsWith('.') ? line.mid(1) : line; }

// A decoder of our own for a quoted-printable body as sent: dots undone line by line, soft
// breaks joined, "=XX" decoded, CR LF back to LF.
inline QByteArray decodeQuotedPrintable(const QByteArray& wire) {
    QByteArrayList lines = wire.split('\n');
    for (QByteArray& line : lines)
        line = unstuff(line);
    return QByteArray::fromPercentEncoding(lines.join('\n').replace("=\r\n", "").replace("\r\n", "\n"), '=');
}

// A loopback port that nothing listens on.
inline quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class MailerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        useServer(closedPort());
        form = std::make_unique<frmBugReport>();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override {
        form.reset();
        frmBugReport::clearTestServer();
    }

    // Sessions go to this loopback port; a tick of the reply timer lasts tickMs.
    static void useServer(quint16 port, int tickMs = 60000) {
        frmBugReport::setTestServer(QStringLiteral("127.0.0.1"), port, tickMs);
    }

    template <class T = QLineEdit>
    T* control(const char* name) const { return child<T>(form.get(), name); }
    QString status() const { return control<QLabel>("lblStatus")->text(); }
    bool sendEnabled() const { return control<QPushButton>("cmdSend")->isEnabled(); }
    bool finished() const { return sendEnabled() || !form->isVisible(); }

    static constexpr const char* kEntries[] = {"txtFriendsName", "txtFriend", "txtName", "txtFrom"};
    // Types the friend's name and address, then the sender's.
    void fill(const QStringList& texts = {"Bob", "bob@b.example", "Ann", "ann@a.example"}) const {
        for (int i = 0; i < 4; ++i)
            QTest::keyClicks(control(kEntries[i]), texts[i]);
    }
    void click(const char* button) const { QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton); }
    static bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 15000); }

    platform::RecordingMessageBoxes boxes;
    std::unique_ptr<frmBugReport> form;
};

}  // namespace karvo::test
