#include "ScriptedServer.h"

#include <QTimer>

namespace karvo::test {

ScriptedServer::ScriptedServer(QList<Reply> script) : script_(std::move(script))
{
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, &ScriptedServer::accept);
}

void ScriptedServer::accept()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        ++connections;
        client_ = socket;
        connect(socket, &QTcpSocket::readyRead, this, &ScriptedServer::readClient);
        connect(socket, &QTcpSocket::disconnected, this, [this] { clientGone = true; });
        answer();
    }
}

void ScriptedServer::readClient()
{
    if (!client_)
        return;
    inbox_ += client_->readAll();
    for (;;) {
        if (inData_) {
            const qsizetype end = inbox_.indexOf("\r\n.\r\n");
            if (end < 0)
                return;
            message = inbox_.left(end + 2);
            inbox_.remove(0, end + 5);
            inData_ = false;
            if (onReceived)
                onReceived("<message>");
        } else {
            const qsizetype end = inbox_.indexOf("\r\n");
            if (end < 0)
                return;
            const QByteArray line = inbox_.left(end);
            inbox_.remove(0, end + 2);
            commands << line;
            if (onReceived)
                onReceived(line);
            inData_ = line == "DATA" && next_ < script_.size() && !script_[next_].isEmpty() &&
                      script_[next_].first().startsWith("354");
        }
        answer();
    }
}

void ScriptedServer::answer()
{
    if (next_ < script_.size())
        writePieces(script_[next_++], 0);
}

void ScriptedServer::writePieces(const Reply& pieces, qsizetype from)
{
    if (!client_ || from >= pieces.size())
        return;
    if (pieces[from] == kHangUp) {
        client_->disconnectFromHost();
        return;
    }
    client_->write(pieces[from]);
    client_->flush();
    if (from + 1 < pieces.size())
        QTimer::singleShot(40, this, [this, pieces, from] { writePieces(pieces, from + 1); });
}

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

}  // namespace karvo::test
