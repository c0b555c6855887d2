#include "statusWorker.h"

#include "AddressList.h"
#include "RemoteProtocol.h"
#include "StationStatus.h"

#include <QLoggingCategory>
#include <QTcpSocket>
#include <QTimer>

Q_LOGGING_CATEGORY(lcStatus, "kessane.console.status")

statusWorker::statusWorker(const QString& ip, QObject* parent) : QThread(parent), m_ip(ip) {}

statusWorker::~statusWorker()
{
    stop();
}

void statusWorker::stop()
{
    quit(); // an event loop not yet entered returns at once
    wait();
}

void statusWorker::run()
{
    const QString address = AddressList::connectable(m_ip);
    QTcpSocket socket;
    socket.setReadBufferSize(4 * MaxPendingBytes);
    QTimer pause;
    pause.setSingleShot(true);
    QTimer connectWait;
    connectWait.setSingleShot(true);
    // Runs while connected; every reply starts it again.
    QTimer silence;
    silence.setSingleShot(true);
    QByteArray pending;

    auto report = [&](const char* text) { emit answerStatus(m_ip, {QString::fromLatin1(text)}); };
    const QByteArray poll(RemoteProtocol::StatusWord); // 7 bytes, no NUL
    auto cycle = [&] {
        switch (socket.state()) {
        case QAbstractSocket::ConnectedState:
            if (socket.bytesToWrite() == 0) // a station that does not read gets no pile
                socket.write(poll);
            pause.start(PauseMs);
            break;
        case QAbstractSocket::UnconnectedState:
            pending.clear();
            socket.connectToHost(address, RemoteProtocol::DefaultPort);
            connectWait.start(ConnectWaitMs);
            break;
        default: // closing: the next cycle reconnects
            pause.start(PauseMs);
            break;
        }
    };
    auto cantConnect = [&] {
        connectWait.stop();
        socket.abort();
        report(StationStatus::CantConnect);
        pause.start(PauseMs);
    };
    connect(&pause, &QTimer::timeout, cycle);
    connect(&connectWait, &QTimer::timeout, cantConnect);
    connect(&silence, &QTimer::timeout, [&] {
        // A host that went off keeps its connection open until TCP gives up,
        // minutes later: drop it, so the next cycle finds the station anew.
        // The disconnected handler reports it.
        qCInfo(lcStatus) << "statusWorker: station" << m_ip << "has not answered for" << SilenceMs
                         << "ms; connecting again";
        socket.abort();
    });
    connect(&socket, &QTcpSocket::connected, [&] {
        connectWait.stop();
        silence.start(SilenceMs);
        cycle();
    });
    connect(&socket, &QTcpSocket::disconnected, [&] {
        // Closed or reset by the station, or dropped for its silence; the
        // running pause leads to a reconnect.
        silence.stop();
        report(StationStatus::NotAnswering);
    });
    connect(&socket, &QAbstractSocket::errorOccurred, [&] {
        if (connectWait.isActive())
            cantConnect();
    });
    connect(&socket, &QTcpSocket::readyRead, [&] {
        pending += socket.readAll();
        QList<QByteArray> texts = RemoteProtocol::takeReplies(&pending);
        if (pending.size() > MaxPendingBytes) {
            qCWarning(lcStatus) << "statusWorker: station" << m_ip << "sent" << pending.size()
                                << "bytes without a terminator; dropped";
            pending.clear();
        }
        if (texts.isEmpty())
            return;
        silence.start(SilenceMs);
        if (texts.size() > MaxTextsPerRead) {
            qCWarning(lcStatus) << "statusWorker: station" << m_ip << "sent" << texts.size()
                                << "replies at once; the oldest" << texts.size() - MaxTextsPerRead << "dropped";
            texts = texts.mid(texts.size() - MaxTextsPerRead);
        }
        QStringList read;
        for (const QByteArray& text : qAsConst(texts))
            read << QString::fromLatin1(text);
        emit answerStatus(m_ip, read);
    });

    cycle();
    exec();
    // Ending: nothing is reported any more.
    socket.disconnect();
    socket.abort();
}
