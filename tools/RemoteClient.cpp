#include "RemoteClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

RemoteClient::RemoteClient(QObject* parent) : QObject(parent)
{
    connect(&socket_, &QTcpSocket::readyRead, this, &RemoteClient::readReplies);
}

bool RemoteClient::connectTo(const QHostAddress& address, quint16 port, int timeoutMs)
{
    socket_.connectToHost(address, port);
    return socket_.waitForConnected(timeoutMs);
}

void RemoteClient::disconnectFromStation()
{
    socket_.disconnectFromHost();
}

void RemoteClient::sendFixed(RemoteProtocol::Command command)
{
    sendRaw(RemoteProtocol::fixedCommandBytes(command));
}

void RemoteClient::sendParameter(RemoteProtocol::Command command, const QString& value)
{
    sendRaw(RemoteProtocol::parameterCommandBytes(command, value));
}

void RemoteClient::sendRaw(const QByteArray& bytes)
{
    socket_.write(bytes);
    socket_.flush();
}

QList<QByteArray> RemoteClient::waitForReplies(int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (replies_.size() < count && isConnected() && !deadline.hasExpired()) {
        // Wait in an event loop, so a station in this thread can answer.
        QEventLoop loop;
        QTimer::singleShot(qMax<qint64>(1, qMin<qint64>(20, deadline.remainingTime())), &loop,
                           &QEventLoop::quit);
        connect(&socket_, &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
        loop.exec();
        readReplies();
    }
    const QList<QByteArray> replies = replies_;
    replies_.clear();
    return replies;
}

QByteArray RemoteClient::takeReceivedBytes()
{
    QCoreApplication::processEvents();
    readReplies();
    const QByteArray bytes = received_;
    received_.clear();
    return bytes;
}

void RemoteClient::readReplies()
{
    if (!socket_.isOpen())
        return;
    const QByteArray bytes = socket_.readAll();
    received_ += bytes;
    pending_ += bytes;
    replies_ += RemoteProtocol::takeReplies(&pending_);
}
