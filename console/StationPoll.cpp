#include "StationPoll.h"

#include "AddressList.h"
#include "RemoteProtocol.h"
#include "StationStatus.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcStatus)

StationPoll::StationPoll(const QString& ip, QObject* parent)
    : QObject(parent), m_ip(ip), m_address(AddressList::connectable(ip))
{
    m_socket.setReadBufferSize(4 * MaxPendingBytes);
    m_connectWait.setSingleShot(true);
    connect(&m_connectWait, &QTimer::timeout, this, &StationPoll::cantConnect);
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_connectWait.stop();
        m_sinceAnswer.start();
        poll();
    });
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        // Closed or reset by the station, or dropped for its silence.
        hand({QString::fromLatin1(StationStatus::NotAnswering)});
    });
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, [this] {
        if (m_connectWait.isActive())
            cantConnect();
    });
    connect(&m_socket, &QTcpSocket::readyRead, this, &StationPoll::read);
}

StationPoll::~StationPoll()
{
    // Ending: nothing is reported any more.
    m_socket.disconnect(this);
    m_socket.abort();
}

void StationPoll::beat()
{
    switch (m_socket.state()) {
    case QAbstractSocket::ConnectedState:
        if (m_sinceAnswer.hasExpired(SilenceMs)) {
            // A host that went off keeps its connection open until TCP gives
            // up, minutes later: drop it, so the next beat finds the station
            // anew. The disconnected handler reports it.
            qCInfo(lcStatus) << "statusWorker: station" << m_ip << "has not answered for" << SilenceMs
                             << "ms; connecting again";
            m_socket.abort();
            break;
        }
        poll();
        break;
    case QAbstractSocket::UnconnectedState:
        m_pending.clear();
        m_socket.connectToHost(m_address, RemoteProtocol::DefaultPort);
        m_connectWait.start(ConnectWaitMs);
        break;
    default: // connecting, or closing: a later beat goes on
        break;
    }
}

void StationPoll::poll()
{
    if (m_socket.bytesToWrite() > 0)
        return; // a station that does not read gets no pile
    m_socket.write(RemoteProtocol::StatusWord); // 7 bytes, no NUL
    m_socket.flush(); // now, not on another turn of the loop
}

void StationPoll::cantConnect()
{
    m_connectWait.stop();
    m_socket.abort();
    hand({QString::fromLatin1(StationStatus::CantConnect)});
}

void StationPoll::read()
{
    m_pending += m_socket.readAll();
    QList<QByteArray> texts = RemoteProtocol::takeReplies(&m_pending);
    if (m_pending.size() > MaxPendingBytes) {
        qCWarning(lcStatus) << "statusWorker: station" << m_ip << "sent" << m_pending.size()
                            << "bytes without a terminator; dropped";
        m_pending.clear();
    }
    if (texts.isEmpty())
        return;
    m_sinceAnswer.start();
    if (texts.size() > MaxTextsPerRead) {
        qCWarning(lcStatus) << "statusWorker: station" << m_ip << "sent" << texts.size()
                            << "replies at once; the oldest" << texts.size() - MaxTextsPerRead << "dropped";
        texts = texts.mid(texts.size() - MaxTextsPerRead);
    }
    QStringList read;
    for (const QByteArray& text : qAsConst(texts))
        read << QString::fromLatin1(text);
    hand(read);
}

void StationPoll::hand(const QStringList& texts)
{
    // A station says the same every beat while nothing happens: the GUI
    // thread hears only what changed.
    if (texts == m_handed)
        return;
    m_handed = texts;
    emit status(m_ip, texts);
}
