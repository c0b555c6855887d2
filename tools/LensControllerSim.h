#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;
class QUdpSocket;

// A network lens controller for tests: answers the UDP commands on port 1339
// of one loopback address as a controller with a zoom lens does, records
// every command it receives with its arrival time, and can serve the packet
// channel on TCP. Replies go to the sender of the last command.
class LensControllerSim : public QObject
{
    Q_OBJECT

public:
    struct Lens
    {
        QByteArray identity = "Kessane Brevan=2.1d4";
        QByteArray apertureRange = "1.4,22"; // "aRange=" fields
        QByteArray zoomRange = "24,70";      // "zRange=" fields
        QByteArray focusRange = "0,1000";    // "fRange=" fields
        bool af = true;
        QByteArray name = "bench";
        int zoom = 35;
        int focus = 500;
        double aperture = 4;
    };

    struct Command
    {
        QByteArray text;
        qint64 ms; // since start()
    };

    explicit LensControllerSim(QObject* parent = nullptr);
    ~LensControllerSim() override;

    // Listens on `address` (a 127.x.y.z of the test's own), port 1339.
    bool start(const QString& address);
    QString address() const { return address_.toString(); }
    // The packet channel on TCP at the same address; 0 picks a free port.
    bool startPacketPeer(quint16 port = 0);
    quint16 packetPort() const;

    Lens& lens() { return lens_; }
    // Silent: records commands and answers nothing.
    void setSilent(bool silent) { silent_ = silent; }
    // Batched: replies are held until flushBatch() sends them back to back,
    // so that they arrive together.
    void setBatched(bool batched) { batched_ = batched; }
    void flushBatch();
    // Sends one reply datagram to the last client (held when batched).
    void reply(const QByteArray& datagram);

    const QList<Command>& commands() const { return commands_; }
    QList<QByteArray> commandTexts() const;
    void clearCommands() { commands_.clear(); }
    // Every 15-byte packet received on the packet channel.
    const QList<QByteArray>& packets() const { return packets_; }

signals:
    void commandReceived(const QByteArray& text);
    void packetReceived(const QByteArray& packet);

private:
    void readCommands();
    void answer(const QByteArray& command);
    void acceptPacketClients();
    void readPackets(QTcpSocket* client);

    QUdpSocket* socket_;
    QTcpServer* packetServer_ = nullptr;
    QHostAddress address_;
    QHostAddress client_;
    quint16 clientPort_ = 0;
    QElapsedTimer clock_;
    Lens lens_;
    bool silent_ = false;
    bool batched_ = false;
    QList<QByteArray> held_;
    QList<Command> commands_;
    QList<QByteArray> packets_;
};
