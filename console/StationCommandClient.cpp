#include "StationCommandClient.h"

#include "AddressList.h"
#include "RemoteProtocol.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QSignalBlocker>
#include <QTcpSocket>
#include <QTimer>

Q_LOGGING_CATEGORY(lcCommands, "kessane.console.commands")

// One command on its way to one station: the socket, the reply bound, and
// the outcome, settled once. It owns the socket, so when it goes (settled,
// or with the client) its handlers are gone before the socket closes.
class StationCommandClient::Pending : public QObject
{
public:
    Pending(QTcpSocket* socket, const Delivery& delivery, std::function<void(bool)> settled, QObject* parent)
        : QObject(parent), m_socket(socket), m_delivery(delivery), m_settled(std::move(settled))
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, &Pending::read);
        // A station that closes or resets the connection unanswered is an
        // error too (the remote host closed it), said before the disconnection.
        connect(socket, &QAbstractSocket::errorOccurred, this, [this] { settle(false, m_socket->errorString()); });
        // A coarse timer may fire 5 % early: this one is precise, and the
        // clock has the last word.
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &Pending::replyWaitOver);
        m_timer.start(ReplyWaitMs);
    }

private:
    void replyWaitOver()
    {
        if (!m_replyDeadline.hasExpired()) {
            m_timer.start(int(m_replyDeadline.remainingTime()));
            return;
        }
        // A reply that came in time may still wait in the socket, behind this
        // timer on a busy event loop: it counts. The zero wait's time-out is
        // no fault of the station's, hence no signals.
        {
            const QSignalBlocker quiet(m_socket);
            m_socket->waitForReadyRead(0);
        }
        read();
        settle(false, QStringLiteral("no reply within %1 ms").arg(ReplyWaitMs));
    }

    void read()
    {
        m_reply += m_socket->readAll();
        if (m_reply.contains('\0'))
            settle(true, {});
        else if (m_reply.size() > MaxReplyBytes)
            settle(false, QStringLiteral("%1 bytes without a reply's end").arg(m_reply.size()));
    }

    void settle(bool delivered, const QString& why)
    {
        if (m_done)
            return;
        m_done = true;
        m_timer.stop();
        if (delivered)
            qCDebug(lcCommands).nospace() << "sent " << m_delivery.bytes << " to " << m_delivery.address;
        else
            qCWarning(lcCommands).nospace() << "StationCommandClient: " << m_delivery.bytes << " not delivered to "
                                            << m_delivery.address << ": " << why;
        m_socket->disconnect(this);
        if (delivered)
            m_socket->close();
        else
            m_socket->abort();
        deleteLater(); // and the socket with it
        m_settled(delivered);
    }

    QTcpSocket* m_socket;
    const Delivery m_delivery;
    const std::function<void(bool)> m_settled;
    QByteArray m_reply;
    // Made once the command is written: the bound counts from there.
    const QDeadlineTimer m_replyDeadline{ReplyWaitMs, Qt::PreciseTimer};
    QTimer m_timer;
    bool m_done = false;
};

StationCommandClient::StationCommandClient(QObject* parent) : QObject(parent) {}

void StationCommandClient::send(const QVector<Delivery>& deliveries, const Outcome& outcome)
{
    struct Started
    {
        QTcpSocket* socket;
        QDeadlineTimer connectBound;
    };
    QVector<Started> started;
    for (const Delivery& d : deliveries) {
        auto* socket = new QTcpSocket(this);
        socket->setReadBufferSize(MaxReplyBytes + 1);
        socket->connectToHost(AddressList::connectable(d.address), RemoteProtocol::DefaultPort, QIODevice::ReadWrite);
        started.append({socket, QDeadlineTimer(ConnectWaitMs)});
    }
    // The connections proceed side by side, each bound from its own start:
    // a station that is off uses up its bound, and one that completed in the
    // meantime still counts. A timed-out wait aborts the connection, and a
    // zero wait gives up without looking, so a bound already passed gets one
    // last look of a millisecond.
    for (int i = 0; i < started.size(); ++i) {
        QTcpSocket* socket = started.at(i).socket;
        const Delivery& d = deliveries.at(i);
        const int waitMs = int(qMax<qint64>(1, started.at(i).connectBound.remainingTime()));
        const bool connected =
            socket->state() == QAbstractSocket::ConnectedState || socket->waitForConnected(waitMs);
        if (!connected || socket->write(d.bytes) != d.bytes.size()) {
            qCWarning(lcCommands).nospace() << "StationCommandClient: " << d.bytes << " not delivered to " << d.address
                                            << ": " << socket->errorString();
            socket->abort();
            socket->deleteLater();
            outcome(i, false);
            continue;
        }
        socket->flush();
        new Pending(socket, d, [outcome, i](bool delivered) { outcome(i, delivered); }, this);
    }
}
