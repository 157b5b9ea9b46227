// A mail server on 127.0.0.1 that answers from a script, for driving the tell-a-friend session
// through every turn of the dialogue.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

namespace karvo::test {

// One reply of the script: the pieces are written one after another with a pause between them,
// so the client sees them arrive separately. A piece equal to kHangUp closes the connection.
using Reply = QList<QByteArray>;
inline const QByteArray kHangUp = QByteArrayLiteral("<hang up>");

class ScriptedServer : public QObject {
public:
    // The first reply is the greeting; each later one answers the next command, the message
    // after DATA counting as one. When the script runs out the server stays silent.
    explicit ScriptedServer(QList<Reply> script);
    quint16 port() const { return server_.serverPort(); }

    QList<QByteArray> commands;  // command lines received, without their line end
    QByteArray message;          // what came between the DATA reply and the end marker
    // Called with each command line, and with "<message>" when the message is in, before the
    // server answers: lets a test see the client as the server sees it.
    std::function<void(const QByteArray&)> onReceived;
    int connections = 0;
    bool clientGone = false;

private:
    void accept();
    void readClient();
    void answer();
    void writePieces(const Reply& pieces, qsizetype from);

    QTcpServer server_;
    QPointer<QTcpSocket> client_;
    QList<Reply> script_;
    qsizetype next_ = 0;
    QByteArray inbox_;
    bool inData_ = false;
};

// A loopback port that nothing listens on.
quint16 closedPort();

}  // namespace karvo::test
