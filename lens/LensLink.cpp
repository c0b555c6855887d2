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
    const QString failure = sendDatagram(host, command);
    if (failure.isEmpty()) {
        if (const RepeatedFailure::Line line = sendsFailed_.ended())
            sendsFailed_.log(lcLensLink(), QStringLiteral("LensLink::sendTo: commands not sent"), line);
    } else if (const RepeatedFailure::Line line = sendsFailed_.occurred()) {
        const QString what = QStringLiteral("LensLink::sendTo: \"%1\" %2").arg(QString::fromLatin1(command), failure);
        sendsFailed_.log(lcLensLink(), what, line);
    }
}

QString LensLink::sendDatagram(const QString& host, const QByteArray& command)
{
    if (!Ipv4::isValid(host))
        return QStringLiteral("not sent, no valid controller address: \"%1\"").arg(host);
    if (!isBound())
        return QStringLiteral("not sent, the socket is not bound");
    const QHostAddress to(Ipv4::normalized(host));
    if (socket_->writeDatagram(command, to, LensProtocol::ControllerPort) != command.size())
        return QStringLiteral("to %1 failed: %2").arg(host, socket_->errorString());
    return {};
}

void LensLink::readUDPDatagrams()
{
    // The socket signals again in the next pass while datagrams are left.
    int replies = 0;
    bool dropped = false;
    for (int taken = 0; taken < MaxDatagramsPerPass && socket_->hasPendingDatagrams(); ++taken) {
        const qint64 size = socket_->pendingDatagramSize();
        const QNetworkDatagram datagram = socket_->receiveDatagram(qMin<qint64>(size, LensProtocol::MaxReplySize));
        if (controllerAddress_.isNull()
            || !datagram.senderAddress().isEqual(controllerAddress_, QHostAddress::ConvertV4MappedToIPv4)) {
            if (const RepeatedFailure::Line line = strangers_.occurred())
                strangers_.log(lcLensLink(),
                               QStringLiteral("readUDPDatagrams: ignored a datagram from %1")
                                   .arg(datagram.senderAddress().toString()),
                               line, QtDebugMsg);
            continue;
        }
        if (size > LensProtocol::MaxReplySize || replies == MaxRepliesPerPass) {
            ++dropped_;
            dropped = true;
            logDrops(drops_.occurred());
            continue;
        }
        ++replies;
        const QString text = LensProtocol::replyText(datagram.data());
        emit replyReceived(text, parser_.parse(text));
    }
    // A pass that parsed every reply of the controller ends the drops.
    if (replies > 0 && !dropped)
        logDrops(drops_.ended());
}

void LensLink::logDrops(const RepeatedFailure::Line& line) const
{
    if (!line)
        return;
    drops_.log(lcLensLink(),
               QStringLiteral("readUDPDatagrams: dropped datagrams of the controller %1 (more than %2 in one pass, "
                              "or longer than %3 bytes)")
                   .arg(controllerAddress_.toString())
                   .arg(MaxRepliesPerPass)
                   .arg(LensProtocol::MaxReplySize),
               line);
}
