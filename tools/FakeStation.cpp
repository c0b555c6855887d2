#include "FakeStation.h"

#include "remote/RemoteServer.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

using RemoteProtocol::Command;

FakeStation::FakeStation() = default;

FakeStation::~FakeStation()
{
    if (!m_frontThread)
        return;
    // Deleted on its thread, at the latest as the thread finishes.
    m_front->deleteLater();
    m_frontThread->quit();
    m_frontThread->wait();
}

bool FakeStation::listen(const QHostAddress& address, quint16 port)
{
    m_address = address;
    m_server = std::make_unique<RemoteServer>(this, this);
    m_server->setListenAddress(address, 0);
    if (!m_server->enableRemoteControl(true))
        return false;
    m_serverPort = m_server->serverPort();
    m_frontThread = std::make_unique<QThread>();
    m_frontThread->start();
    m_front = new QTcpServer;
    m_front->moveToThread(m_frontThread.get());
    bool listening = false;
    QMetaObject::invokeMethod(
        m_front,
        [this, address, port, &listening] {
            QObject::connect(m_front, &QTcpServer::newConnection, m_front, [this] { acceptClients(); });
            listening = m_front->listen(address, port);
        },
        Qt::BlockingQueuedConnection);
    return listening;
}

bool FakeStation::hangUp(QTcpSocket* client)
{
    if (fault == Fault::HangUp)
        client->disconnectFromHost();
    else if (fault == Fault::Reset)
        client->abort();
    else
        return false;
    return true;
}

void FakeStation::acceptClients()
{
    while (QTcpSocket* client = m_front->nextPendingConnection()) {
        client->setParent(m_front);
        QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        if (hangUp(client))
            continue;
        // The client's own connection to the station's server: it closes
        // once the client has closed and what it sent has reached the station.
        auto* link = new QTcpSocket(m_front);
        link->connectToHost(m_address, m_serverPort);
        const int generation = m_generation;
        // Whether the client's latest block was a status poll, and when a
        // late answer to it is due.
        auto polled = std::make_shared<bool>(false);
        auto answerAt = std::make_shared<QDeadlineTimer>();
        QObject::connect(client, &QTcpSocket::readyRead, link, [this, client, link, generation, polled, answerAt] {
            const QByteArray bytes = client->readAll();
            *polled = bytes == RemoteProtocol::StatusWord;
            *answerAt = QDeadlineTimer(lateMs, Qt::PreciseTimer);
            if (generation == m_generation && !hangUp(client) && fault != Fault::Silent)
                link->write(bytes);
        });
        QObject::connect(link, &QTcpSocket::readyRead, client, [this, client, link, generation, polled, answerAt] {
            const QByteArray reply = link->readAll();
            if (generation != m_generation)
                return;
            // Precise (a coarse timer may be 5 % off), and flushed at once,
            // not on another turn of the loop.
            if (fault == Fault::Late || (fault == Fault::LateCommands && !*polled))
                QTimer::singleShot(int(answerAt->remainingTime()), Qt::PreciseTimer, client, [client, reply] {
                    client->write(reply);
                    client->flush();
                });
            else if (fault != Fault::Silent)
                client->write(reply);
        });
        QObject::connect(client, &QTcpSocket::disconnected, link, &QTcpSocket::disconnectFromHost);
        QObject::connect(link, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        QObject::connect(link, &QTcpSocket::disconnected, link, &QObject::deleteLater);
    }
}

bool FakeStation::execute(const RemoteProtocol::RemoteCommand& command)
{
    executed.append(command);
    if (command.command == slow) {
        mostRunning = std::max(mostRunning, ++running);
        if (whileSlow)
            std::exchange(whileSlow, nullptr)();
        QEventLoop wait;
        QTimer::singleShot(slowMs, &wait, &QEventLoop::quit);
        wait.exec();
        --running;
    }
    switch (command.command) {
    case Command::Start:
        state.capturing = true;
        state.previewing = false;
        break;
    case Command::Stop: state.capturing = false; break;
    case Command::Preview: state.previewing = true; break;
    case Command::NoPreview: state.previewing = false; break;
    default: break;
    }
    return command.command != refuse;
}
