#include "remote/RemoteServer.h"

#include "Prompt.h"
#include "remote/RemoteHandler.h"
#include "remote/RemoteStatusProvider.h"

#include <QLoggingCategory>
#include <QNetworkInterface>
#include <QTcpSocket>

Q_LOGGING_CATEGORY(lcRemote, "kessane.station.remote")

RemoteServer::RemoteServer(RemoteStatusProvider* status, RemoteHandler* handler, QObject* parent)
    : QObject(parent), status_(status), handler_(handler)
{
    connect(&server_, &QTcpServer::newConnection, this, &RemoteServer::acceptConnection);
}

void RemoteServer::setListenAddress(const QHostAddress& address, quint16 port)
{
    address_ = address;
    port_ = port;
}

void RemoteServer::setBoxParent(QWidget* parent)
{
    boxParent_ = parent;
}

QString RemoteServer::addressListText(const QList<QHostAddress>& addresses)
{
    QString text = QStringLiteral("Remote Control available for IP's:<br> <br>");
    for (const QHostAddress& a : addresses) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && a.toString() != QLatin1String("127.0.0.1"))
            text += QStringLiteral("<b>%1</b><br>").arg(a.toString());
    }
    return text;
}

bool RemoteServer::enableRemoteControl(bool on)
{
    if (!on) {
        server_.close();
        return true;
    }
    if (server_.isListening())
        return true;
    if (!server_.listen(address_, port_)) {
        const QString error = server_.errorString();
        qCWarning(lcRemote) << "enableRemoteControl: listen on port" << port_ << "failed:" << error;
        Prompt::current().message(boxParent_, Prompt::Critical, tr("Lumivar Server"),
                                  tr("Unable to start the server: %1.").arg(error));
        server_.close();
        return false;
    }
    Prompt::current().message(boxParent_, Prompt::Information, tr("Remote Control Network's"),
                              addressListText(QNetworkInterface::allAddresses()));
    return true;
}

bool RemoteServer::isListening() const
{
    return server_.isListening();
}

quint16 RemoteServer::serverPort() const
{
    return server_.serverPort();
}

void RemoteServer::acceptConnection()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        socket->setReadBufferSize(MaxClientBuffer);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readCommand(socket); });
    }
}

void RemoteServer::readCommand(QTcpSocket* socket)
{
    // Everything that has arrived is one block; what lies beyond its first
    // MaxBlockSize bytes is dropped rather than taken for a new block.
    const QByteArray block = socket->readAll();
    if (block.isEmpty())
        return;
    const RemoteProtocol::ParsedBlock parsed = RemoteProtocol::parseBlock(block);
    if (parsed.roiRequest) {
        roiRequested_ = true;
        write(socket, RemoteProtocol::roiReply(status_->roiValue()));
        return;
    }
    sendStatusReply(socket);
    if (parsed.commands.isEmpty())
        return;
    ++arrived_;
    if (queue_.size() >= MaxQueuedBlocks) {
        qCWarning(lcRemote) << "readCommand: dropped block" << arrived_ << "from" << socket->peerAddress().toString()
                            << "(" << queue_.size() << "blocks wait already):" << RemoteProtocol::blockText(block);
        return;
    }
    queue_.enqueue(parsed.commands);
    scheduleNextBlock();
}

void RemoteServer::scheduleNextBlock()
{
    QMetaObject::invokeMethod(this, &RemoteServer::runNextBlock, Qt::QueuedConnection);
}

void RemoteServer::runNextBlock()
{
    // Called again from a wait or a box of the block in progress, it leaves
    // the next one queued: no command runs inside another.
    if (running_ || queue_.isEmpty())
        return;
    const QueuedBlock block = queue_.dequeue();
    running_ = true;
    {
        // Nobody may be at the station: no box holds a command.
        const Prompt::NoWait noWait;
        // The state is read afresh for every command: the earlier ones of
        // the block may have changed it.
        for (const RemoteProtocol::RemoteCommand& c : block) {
            if (!RemoteProtocol::appliesTo(c.command, status_->stationState()))
                continue;
            if (RemoteProtocol::isLensCommand(c.command))
                handler_->executeLens(c);
            else if (!handler_->execute(c))
                break;
        }
    }
    running_ = false;
    if (!queue_.isEmpty())
        scheduleNextBlock();
}

void RemoteServer::sendStatusReply(QTcpSocket* socket)
{
    if (roiRequested_) {
        roiRequested_ = false;
        write(socket, RemoteProtocol::roiReply(status_->roiValue()));
        return;
    }
    const RemoteProtocol::StationState state = status_->stationState();
    write(socket, RemoteProtocol::statusReply(state));
    if (state.connected && state.captureDone)
        status_->clearCaptureDone();
}

void RemoteServer::write(QTcpSocket* socket, const QByteArray& bytes)
{
    // A client that sends but never reads would make the replies pile up.
    if (socket->bytesToWrite() > MaxClientBuffer) {
        qCWarning(lcRemote) << "write: closing the connection of" << socket->peerAddress().toString()
                            << "(it does not read its replies)";
        socket->abort();
        return;
    }
    // Queued in order and pushed out at once; the event loop sends the rest,
    // so a slow client never blocks the GUI thread.
    socket->write(bytes);
    socket->flush();
}
