#pragma once

#include <QByteArray>
#include <QString>

class QObject;
class QTcpSocket;

// The one connection object through which the console sends every station
// command: connect to the station's remote-control port, write the bytes,
// close. Nothing is read. The waits block the calling (GUI) thread without
// running events, each bounded.
class StationCommandSocket
{
public:
    static constexpr int ConnectWaitMs = 2000;
    static constexpr int WriteWaitMs = 2000;

    explicit StationCommandSocket(QObject* parent);

    // True when the station took every byte. After a failure the socket is
    // aborted, so the next station starts from a clean state.
    bool send(const QString& address, const QByteArray& bytes, int writeWaitMs = WriteWaitMs);

private:
    QTcpSocket* m_socket; // owned by the parent
};
