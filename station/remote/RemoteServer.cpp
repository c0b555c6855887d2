#include "remote/RemoteServer.h"

#include "Prompt.h"
#include "remote/RemoteHandler.h"
#include "remote/RemoteStatusProvider.h"
#include "remote/TcpKeepAlive.h"

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

namespace {

// The peer as "address:port" for the log; a peer that has already gone may
// have left no address behind.
QString peerText(const QTcpSocket& socket)
{
    if (socket.peerAddress().isNull())
        return QStringLiteral("(unknown: gone before it was accepted)");
    return QStringLiteral("%1:%2").arg(socket.peerAddress().toString()).arg(socket.peerPort());
}

} // namespace

void RemoteServer::acceptConnection()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        const QString peer = peerText(*socket);
        if (!makeRoom(peer)) {
            closeClient(socket);
            continue;
        }
        QString why;
        if (!TcpKeepAlive::enable(socket->socketDescriptor(), KeepAliveIdleS, KeepAliveIntervalS, KeepAliveProbes,
                                  &why))
            qCWarning(lcRemote).noquote() << "acceptConnection: no keepalive for" << peer << "-" << why;
        socket->setParent(this);
        socket->setReadBufferSize(MaxClientBuffer);
        Client& client = clients_[socket];
        client.peer = peer;
        client.silent.start();
        // It counts until it is gone, so a place is free only with its descriptor.
        connect(socket, &QObject::destroyed, this, [this, socket] { clients_.remove(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readCommand(socket); });
    }
}

bool RemoteServer::makeRoom(const QString& newcomer)
{
    if (clients_.size() < MaxClients) {
        if (const RepeatedFailure::Line line = evictions_.ended())
            evictions_.log(lcRemote(), QStringLiteral("acceptConnection: connections closed to make room"), line);
        if (const RepeatedFailure::Line line = refusals_.ended())
            refusals_.log(lcRemote(), QStringLiteral("acceptConnection: newcomers refused"), line);
        return true;
    }
    auto silent = clients_.end();
    for (auto it = clients_.begin(); it != clients_.end(); ++it)
        if (it->silent.hasExpired(MinSilenceToGiveWayMs) && (silent == clients_.end() || it->silent < silent->silent))
            silent = it; // started earlier (nanoseconds apart tell)
    if (silent == clients_.end()) {
        if (const RepeatedFailure::Line line = refusals_.occurred())
            refusals_.log(lcRemote(),
                          QStringLiteral("acceptConnection: refused %1: none of the %2 clients has been silent for "
                                         "a second")
                              .arg(newcomer)
                              .arg(MaxClients),
                          line);
        return false;
    }
    if (const RepeatedFailure::Line line = refusals_.ended())
        refusals_.log(lcRemote(), QStringLiteral("acceptConnection: newcomers refused"), line);
    if (const RepeatedFailure::Line line = evictions_.occurred())
        evictions_.log(lcRemote(),
                       QStringLiteral("acceptConnection: closed %1, silent for %2 s, to make room for %3 (%4 clients "
                                      "were connected)")
                           .arg(silent->peer, QString::number(silent->silent.elapsed() / 1000.0, 'f', 1), newcomer)
                           .arg(MaxClients),
                       line);
    // Aborted, it holds no descriptor: its place is free at once.
    QTcpSocket* socket = silent.key();
    clients_.erase(silent);
    closeClient(socket);
    return true;
}

void RemoteServer::closeClient(QTcpSocket* socket)
{
    socket->abort();
    socket->deleteLater();
}

void RemoteServer::readCommand(QTcpSocket* socket)
{
    // Everything that has arrived is one block; what lies beyond its first
    // MaxBlockSize bytes is dropped rather than taken for a new block.
    const QByteArray block = socket->readAll();
    if (block.isEmpty())
        return;
    const auto client = clients_.find(socket);
    if (client != clients_.end()) {
        client->silent.restart();
    }
    const RemoteProtocol::ParsedBlock parsed = RemoteProtocol::parseBlock(block);
    if (parsed.roiRequest) {
        roiRequested_ = true;
        write(socket, RemoteProtocol::roiReply(status_->roiValue()));
        return;
    }
    if (!parsed.commands.isEmpty()) {
        ++arrived_;
        if (!queue_.add(parsed.commands)) {
            if (const RepeatedFailure::Line line = queueFull_.occurred())
                queueFull_.log(lcRemote(),
                               QStringLiteral("readCommand: closed the connection of %1 unanswered: block %2 finds %3 "
                                              "blocks waiting: %4")
                                   .arg(clients_.value(socket).peer)
                                   .arg(arrived_)
                                   .arg(queue_.size())
                                   .arg(RemoteProtocol::blockText(block)),
                               line);
            closeClient(socket);
            return;
        }
        if (const RepeatedFailure::Line line = queueFull_.ended())
            queueFull_.log(lcRemote(), QStringLiteral("readCommand: connections closed unanswered, the queue full"),
                           line);
        scheduleNextBlock();
    }
    // The reply tells the state from before the block's commands run.
    sendStatusReply(socket);
}

void RemoteServer::scheduleNextBlock()
{
    QMetaObject::invokeMethod(this, &RemoteServer::runNextBlock, Qt::QueuedConnection);
}

void RemoteServer::runNextBlock()
{
    // Called again from a wait of the block in progress, it leaves
    // the next one queued: no command runs inside another.
    if (running_)
        return;
    running_ = true;
    {
        // Nobody may be at the station: no box holds a command.
        const Prompt::NoWait noWait;
        releaseHeld();
        if (!queue_.isEmpty()) {
            for (const RemoteProtocol::RemoteCommand& c : queue_.take()) {
                // A capture that an earlier command ended ("#stop") hands on
                // its held values before this one runs.
                releaseHeld();
                if (!run(c))
                    break;
            }
            // Or one that ended during the block's last command.
            releaseHeld();
        }
    }
    running_ = false;
    if (!queue_.isEmpty())
        scheduleNextBlock();
}

void RemoteServer::releaseHeld()
{
    if (held_.isEmpty() || handler_->isAcquiringCapture())
        return;
    for (const RemoteProtocol::RemoteCommand& c : held_.take())
        if (!run(c))
            break;
}

bool RemoteServer::run(const RemoteProtocol::RemoteCommand& c)
{
    // The state is read afresh for every command: the earlier ones may have
    // changed it.
    if (!RemoteProtocol::appliesTo(c.command, status_->stationState()))
        return true;
    if (HeldCommands::waitsForCapture(c.command) && handler_->isAcquiringCapture()) {
        // A console may send values at will: the later ones of a kind
        // replace the held one without a line each.
        if (held_.hold(c)) {
            const QString text = QString::fromLatin1(RemoteProtocol::word(c.command)) + c.value;
            qCInfo(lcRemote).noquote() << "runNextBlock:" << text << "waits for the end of the capture";
        }
        return true;
    }
    if (RemoteProtocol::isLensCommand(c.command)) {
        handler_->executeLens(c);
        return true;
    }
    return handler_->execute(c);
}

void RemoteServer::captureEnded()
{
    if (!held_.isEmpty())
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
        if (const RepeatedFailure::Line line = unread_.occurred())
            unread_.log(lcRemote(),
                        QStringLiteral("write: closing the connection of %1 (it does not read its replies)")
                            .arg(clients_.value(socket).peer),
                        line);
        closeClient(socket);
        return;
    }
    if (const RepeatedFailure::Line line = unread_.ended())
        unread_.log(lcRemote(), QStringLiteral("write: connections closed for not reading their replies"), line);
    // Queued in order and pushed out at once; the event loop sends the rest,
    // so a slow client never blocks the GUI thread.
    socket->write(bytes);
    socket->flush();
}
