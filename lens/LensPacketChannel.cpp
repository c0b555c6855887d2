#include "LensPacketChannel.h"

#include "Ipv4.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QTcpSocket>

Q_LOGGING_CATEGORY(lcLensPacket, "kessane.lens.packet")

LensPacketChannel::LensPacketChannel(PositionHandler onPosition) : onPosition_(std::move(onPosition)) {}

LensPacketChannel::~LensPacketChannel()
{
    if (socket_)
        socket_->abort();
}

void LensPacketChannel::setPeer(const QString& host, quint16 port)
{
    if (host == host_ && port == port_)
        return;
    if (socket_)
        socket_->abort();
    host_ = host;
    port_ = port;
}

bool LensPacketChannel::send(const QByteArray& packet)
{
    if (!Ipv4::isValid(host_)) {
        qCWarning(lcLensPacket) << "LensPacketChannel::send: no valid controller address:" << host_;
        return false;
    }
    if (!socket_)
        socket_ = std::make_unique<QTcpSocket>();
    if (socket_->state() != QAbstractSocket::ConnectedState) {
        socket_->abort();
        socket_->connectToHost(QHostAddress(Ipv4::normalized(host_)), port_, QIODevice::ReadWrite);
        if (!socket_->waitForConnected(ConnectWaitMs)) {
            qCWarning(lcLensPacket) << "LensPacketChannel::send: no connection to" << host_ << port_ << "within"
                                    << ConnectWaitMs << "ms; packet dropped:" << socket_->errorString();
            socket_->abort();
            return false;
        }
    }
    socket_->write(packet);
    if (!socket_->waitForBytesWritten(WriteWaitMs)) {
        qCWarning(lcLensPacket) << "LensPacketChannel::send: packet not written within" << WriteWaitMs
                                << "ms:" << socket_->errorString();
        return false;
    }
    return true;
}

bool LensPacketChannel::receive(int ms)
{
    if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState)
        return false;
    if (socket_->bytesAvailable() == 0)
        socket_->waitForReadyRead(ms);
    readStatusData();
    return true;
}

void LensPacketChannel::readStatusData()
{
    char piece[100];
    qint64 n = 0;
    bool got = false;
    while ((n = socket_->read(piece, sizeof piece)) > 0) {
        buffer_.append(piece, int(n));
        got = true;
    }
    if (!got)
        return;
    if (buffer_.size() > MaxBufferSize) {
        qCWarning(lcLensPacket) << "Dropped" << buffer_.size() << "bytes of unread packet replies";
        buffer_.clear();
        return;
    }
    const std::optional<int> position = LensProtocol::packetReplyPosition(buffer_);
    if (position && pending_)
        onPosition_(*pending_, *position);
}
