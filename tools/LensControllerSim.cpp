#include "LensControllerSim.h"

#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

namespace {

constexpr quint16 ControllerPort = 1339;
constexpr int PacketSize = 15;
const char* const ClientBuffer = "lenssim.buffer";

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 6);
}

} // namespace

LensControllerSim::LensControllerSim(QObject* parent) : QObject(parent), socket_(new QUdpSocket(this))
{
    connect(socket_, &QUdpSocket::readyRead, this, &LensControllerSim::readCommands);
}

LensControllerSim::~LensControllerSim() = default;

bool LensControllerSim::start(const QString& address)
{
    address_ = QHostAddress(address);
    clock_.start();
    return socket_->bind(address_, ControllerPort);
}

bool LensControllerSim::startPacketPeer(quint16 port)
{
    packetServer_ = new QTcpServer(this);
    connect(packetServer_, &QTcpServer::newConnection, this, &LensControllerSim::acceptPacketClients);
    return packetServer_->listen(address_, port);
}

quint16 LensControllerSim::packetPort() const
{
    return packetServer_ ? packetServer_->serverPort() : 0;
}

QList<QByteArray> LensControllerSim::commandTexts() const
{
    QList<QByteArray> texts;
    for (const Command& c : commands_)
        texts.append(c.text);
    return texts;
}

void LensControllerSim::reply(const QByteArray& datagram)
{
    if (batched_)
        held_.append(datagram);
    else
        socket_->writeDatagram(datagram, client_, clientPort_);
}

void LensControllerSim::flushBatch()
{
    for (const QByteArray& datagram : qAsConst(held_))
        socket_->writeDatagram(datagram, client_, clientPort_);
    held_.clear();
}

void LensControllerSim::readCommands()
{
    while (socket_->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_->receiveDatagram(1024);
        client_ = datagram.senderAddress();
        clientPort_ = quint16(datagram.senderPort());
        commands_.append({datagram.data(), clock_.elapsed()});
        emit commandReceived(datagram.data());
        if (!silent_)
            answer(datagram.data());
    }
}

void LensControllerSim::answer(const QByteArray& command)
{
    const int equals = command.indexOf('=');
    const QByteArray word = equals < 0 ? command : command.left(equals);
    const QByteArray value = equals < 0 ? QByteArray() : command.mid(equals + 1);
    if (word == "ver") {
        reply(lens_.identity);
        reply("aRange=" + lens_.apertureRange);
        reply("zRange=" + lens_.zoomRange);
        reply("fRange=" + lens_.focusRange);
        reply(lens_.af ? "AF=1" : "AF=0");
        reply("NAME=" + lens_.name);
    } else if (word == "ping") {
        reply("Current=" + QByteArray::number(lens_.zoom) + ',' + QByteArray::number(lens_.focus) + ','
              + number(lens_.aperture));
    } else if (word == "setFocus") {
        lens_.focus = value.toInt();
        reply("Focus=" + QByteArray::number(lens_.focus));
        reply("focusDone");
    } else if (word == "moveFocus") {
        lens_.focus += value.toInt();
        reply("Focus=" + QByteArray::number(lens_.focus));
    } else if (word == "setAper") {
        lens_.aperture = value.toDouble();
        reply("irisDone");
    } else if (word == "moveAper") {
        lens_.aperture += value.toInt();
        reply("Iris=" + number(lens_.aperture));
    }
}

void LensControllerSim::acceptPacketClients()
{
    while (QTcpSocket* client = packetServer_->nextPendingConnection()) {
        client->setParent(this);
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QTcpSocket::readyRead, this, [this, client] { readPackets(client); });
        if (client->bytesAvailable() > 0)
            readPackets(client);
    }
}

void LensControllerSim::readPackets(QTcpSocket* client)
{
    QByteArray buffer = client->property(ClientBuffer).toByteArray() + client->readAll();
    while (buffer.size() >= PacketSize) {
        const QByteArray packet = buffer.left(PacketSize);
        buffer.remove(0, PacketSize);
        packets_.append(packet);
        emit packetReceived(packet);
        // A position query (group 8) is answered with 3 bytes: the axis,
        // then the position big-endian.
        if (quint8(packet.at(1)) == 8) {
            const int axis = quint8(packet.at(2));
            const int position = axis == 0 ? lens_.zoom : axis == 1 ? lens_.focus : int(lens_.aperture);
            const char answer[3] = {char(axis), char((position >> 8) & 0xff), char(position & 0xff)};
            client->write(answer, 3);
        }
    }
    client->setProperty(ClientBuffer, buffer);
}
