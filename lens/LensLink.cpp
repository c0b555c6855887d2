#include "LensLink.h"

#include "LensProtocol.h"

#include "Ipv4.h"

#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QThread>
#include <QUdpSocket>

Q_LOGGING_CATEGORY(lcLensLink, "kessane.lens.link")

LensLink::LensLink(QObject* parent) : QObject(parent), socket_(new QUdpSocket(this))
{
    qRegisterMetaType<LensReplyEffects>();
    connect(socket_, &QUdpSocket::readyRead, this, &LensLink::readUDPDatagrams);
    dropReport_.setSingleShot(true);
    dropReport_.setInterval(DropReportMs);
    connect(&dropReport_, &QTimer::timeout, this, &LensLink::reportDropped);
}

bool LensLink::bind(const QHostAddress& address)
{
    for (int attempt = 0; attempt < BindAttempts; ++attempt) {
        const quint16 port =
            LensProtocol::LocalPortBase + quint16(QRandomGenerator::global()->bounded(LensProtocol::LocalPortSpan));
        if (socket_->bind(address, port)) {
            error_.clear();
            return true;
        }
    }
    error_ = tr("No local UDP port of %1..%2 could be bound on %3 (%4 attempts): %5")
                 .arg(LensProtocol::LocalPortBase)
                 .arg(LensProtocol::LocalPortBase + LensProtocol::LocalPortSpan - 1)
                 .arg(address.toString())
                 .arg(BindAttempts)
                 .arg(socket_->errorString());
    qCWarning(lcLensLink) << "LensLink::bind:" << error_;
    return false;
}

bool LensLink::isBound() const
{
    return socket_->state() == QAbstractSocket::BoundState;
}

quint16 LensLink::localPort() const
{
    return socket_->localPort();
}

bool LensLink::setController(const QString& address)
{
    if (!Ipv4::isValid(address)) {
        controllerAddress_.clear();
        parser_.setAddress(QString());
        return false;
    }
    const QString normal = Ipv4::normalized(address);
    controllerAddress_.setAddress(normal);
    parser_.setAddress(normal);
    return true;
}

void LensLink::send(const QByteArray& command)
{
    sendTo(controller(), command);
}

void LensLink::sendTo(const QString& host, const QByteArray& command)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this, host, command] { sendTo(host, command); }, Qt::QueuedConnection);
        return;
    }
    if (!Ipv4::isValid(host)) {
        qCWarning(lcLensLink) << "LensLink::sendTo: not sent, no valid controller address:" << host << command;
        return;
    }
    if (!isBound()) {
        qCWarning(lcLensLink) << "LensLink::sendTo: not sent, the socket is not bound:" << command;
        return;
    }
    const QHostAddress to(Ipv4::normalized(host));
    if (socket_->writeDatagram(command, to, LensProtocol::ControllerPort) != command.size())
        qCWarning(lcLensLink) << "LensLink::sendTo:" << command << "to" << host << "failed:" << socket_->errorString();
}

void LensLink::readUDPDatagrams()
{
    // The socket signals again in the next pass while datagrams are left.
    int replies = 0;
    for (int taken = 0; taken < MaxDatagramsPerPass && socket_->hasPendingDatagrams(); ++taken) {
        const qint64 size = socket_->pendingDatagramSize();
        const QNetworkDatagram datagram = socket_->receiveDatagram(qMin<qint64>(size, LensProtocol::MaxReplySize));
        if (controllerAddress_.isNull()
            || !datagram.senderAddress().isEqual(controllerAddress_, QHostAddress::ConvertV4MappedToIPv4)) {
            qCDebug(lcLensLink) << "Ignored a datagram from" << datagram.senderAddress().toString();
            continue;
        }
        if (size > LensProtocol::MaxReplySize || replies == MaxRepliesPerPass) {
            countDropped();
            continue;
        }
        ++replies;
        const QString text = LensProtocol::replyText(datagram.data());
        emit replyReceived(text, parser_.parse(text));
    }
}

void LensLink::countDropped()
{
    ++dropped_;
    ++droppedUnreported_;
    if (!dropReport_.isActive())
        dropReport_.start();
}

void LensLink::reportDropped()
{
    qCWarning(lcLensLink).noquote() << "readUDPDatagrams: dropped" << droppedUnreported_ << "datagrams of the controller"
                                    << controllerAddress_.toString() << "within" << DropReportMs << "ms (more than"
                                    << MaxRepliesPerPass << "in one pass, or longer than" << LensProtocol::MaxReplySize
                                    << "bytes)";
    droppedUnreported_ = 0;
}
