#pragma once

#include "LensProtocol.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;

// The motor worker's second command channel: 15-byte packets over TCP to the
// controller. It uses the socket's blocking calls with short bounds, so it
// is made, used and destroyed on the worker's thread, which runs no event
// loop. Query replies are read while the worker waits (receive()).
class LensPacketChannel
{
public:
    // A connection or a write that takes longer drops the packet.
    static constexpr int ConnectWaitMs = 200;
    static constexpr int WriteWaitMs = 200;
    // Replies that pile up beyond this are not a controller's; they are dropped.
    static constexpr int MaxBufferSize = 256;

    using PositionHandler = std::function<void(LensProtocol::PacketQuery, int)>;

    explicit LensPacketChannel(PositionHandler onPosition);
    ~LensPacketChannel(); // closes the connection

    // A peer other than the present one closes the connection first.
    void setPeer(const QString& host, quint16 port);
    // Connects when not connected, then writes. False when the packet was dropped.
    bool send(const QByteArray& packet);
    void clearBuffer() { buffer_.clear(); }
    // Which position the next 3-byte reply reports.
    void setPendingQuery(LensProtocol::PacketQuery query) { pending_ = query; }
    // Waits up to `ms` for reply bytes and reads them. False at once when
    // not connected (nothing to wait on).
    bool receive(int ms);

private:
    void readStatusData();

    PositionHandler onPosition_;
    std::unique_ptr<QTcpSocket> socket_;
    QString host_;
    quint16 port_ = LensProtocol::PacketPort;
    QByteArray buffer_;
    std::optional<LensProtocol::PacketQuery> pending_;
};
