#pragma once

#include "RemoteProtocol.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpSocket>

// Talks to a station's remote-control server the way the console does:
// fixed words followed by NUL ("#nopreview" by three), parameter commands as
// their Latin-1 bytes without NUL. Replies are read as NUL-terminated texts.
// It works on the caller's thread and processes events while it waits, so
// the station may run in the same thread.
class RemoteClient : public QObject
{
    Q_OBJECT

public:
    explicit RemoteClient(QObject* parent = nullptr);

    bool connectTo(const QHostAddress& address, quint16 port, int timeoutMs = 2000);
    void disconnectFromStation();
    // False once the station has closed the connection (seen when events run).
    bool isConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
    quint16 localPort() const { return socket_.localPort(); }

    void sendFixed(RemoteProtocol::Command command);
    void sendParameter(RemoteProtocol::Command command, const QString& value);
    // Any bytes, as one write.
    void sendRaw(const QByteArray& bytes);

    // Waits, processing events, until `count` complete replies are in, the
    // station has closed the connection or the time is up, and hands over
    // every complete reply received so far.
    QList<QByteArray> waitForReplies(int count, int timeoutMs = 3000);
    // Every byte received since the last call, replies and tails alike.
    QByteArray takeReceivedBytes();

private:
    void readReplies();

    QTcpSocket socket_;
    QByteArray pending_;          // bytes of an unterminated reply
    QList<QByteArray> replies_;   // complete replies not yet handed over
    QByteArray received_;         // raw bytes not yet taken
};
