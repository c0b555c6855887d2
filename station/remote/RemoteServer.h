#pragma once

#include "RemoteProtocol.h"
#include "RepeatedFailure.h"
#include "remote/HeldCommands.h"
#include "remote/RemoteBlockQueue.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;
class QWidget;
class RemoteHandler;
class RemoteStatusProvider;

// The station's remote-control server. While enabled it listens on port 1910
// (any IPv4 address) and serves up to MaxClients connections at once. When
// every place is taken, the connection silent the longest (nothing received
// since it was accepted or since its last block) gives way to the newcomer,
// so idle connections never lock a console out; one silent for less than a
// second never does (a console's status connection speaks ten times a
// second, and one just accepted has had no time to): while none has been
// silent that long, newcomers are refused. A served connection stays open
// until the peer closes it, it gives way, or TCP keepalive finds its peer
// gone (a PC that lost its power). Each block a
// client sends is answered at once with the status reply (or the ROI value
// for "#getroi"), even while a command waits; its commands are queued and
// handed to the handler later, in table order, one block at a time in the
// order of arrival. A block is never answered unless its commands are
// queued: when the queue is full, its client is closed unanswered, so the
// sender knows it was not carried out. A command's boxes wait for nobody,
// but a command may run events (waits), so it never runs inside a socket's
// handler and never touches a socket: a client may leave at any moment.
// While a capture runs, the commands that would change how the camera
// acquires wait for its end (HeldCommands). What a peer can repeat at will
// (evictions, refusals, closed connections) is logged once, then as a count
// (RepeatedFailure). Everything runs on the GUI thread.
class RemoteServer : public QObject
{
    Q_OBJECT

public:
    // `status` and `handler` are not owned and must outlive the server.
    RemoteServer(RemoteStatusProvider* status, RemoteHandler* handler, QObject* parent = nullptr);

    // Where to listen; tests use 127.0.0.1 and port 0 (an ephemeral port).
    void setListenAddress(const QHostAddress& address, quint16 port);
    // Parent of the boxes shown by enableRemoteControl.
    void setBoxParent(QWidget* parent);

    // Listens (true) or stops listening (false); accepted connections stay
    // open. A failure to listen is shown in a critical box and returns false;
    // success shows the station's IPv4 addresses.
    bool enableRemoteControl(bool on);
    bool isListening() const;
    quint16 serverPort() const;

    // The text of the box that lists the addresses a console can use.
    static QString addressListText(const QList<QHostAddress>& addresses);

    // Clients served at once. A console keeps one status connection per
    // station and opens its command connections one at a time, so a station
    // sees about two per console; up to 50 more may wait in the system's
    // accept queue (the listen backlog) and all come in when the GUI thread
    // returns from a long operation. 128 holds both for dozens of consoles
    // and stays far below the 1,024 descriptors of a desktop's usual soft
    // limit, which the capture files, the camera and the display connection
    // need too (with the table full, a box waits forever on the display).
    static constexpr int MaxClients = 128;
    // What one client may have unread in the station, or not yet taken from
    // it, before the station stops reading or drops the connection.
    static constexpr qint64 MaxClientBuffer = 64 * 1024;
    // Keepalive of accepted connections: probes after a minute without
    // traffic, one every 10 s, six unanswered close the connection (about
    // two minutes in all).
    static constexpr int KeepAliveIdleS = 60;
    static constexpr int KeepAliveIntervalS = 10;
    static constexpr int KeepAliveProbes = 6;
    // A connection gives way only once it has been silent this long.
    static constexpr qint64 MinSilenceToGiveWayMs = 1000;

    // Clients connected now.
    int clientCount() const { return clients_.size(); }

    // The capture ended: the commands held for it are carried out next.
    // They also run first whenever a command comes once the capture no longer
    // acquires, even before it is told ended, so a held value never replaces
    // one sent after the end.
    void captureEnded();

private:
    void acceptConnection();
    // A place for `newcomer`: a free one, or that of the client silent the
    // longest, closed, if it has been silent long enough; false when none is.
    bool makeRoom(const QString& newcomer);
    // Queues the commands of the block that arrived and answers it.
    void readCommand(QTcpSocket* socket);
    void sendStatusReply(QTcpSocket* socket);
    void write(QTcpSocket* socket, const QByteArray& bytes);
    // Closes the connection now, unanswered.
    void closeClient(QTcpSocket* socket);
    void scheduleNextBlock();
    void runNextBlock();
    // Carries out the commands held for the capture once it no longer acquires.
    void releaseHeld();
    // Carries out, holds or skips one command; false drops the rest of its block.
    bool run(const RemoteProtocol::RemoteCommand& command);

    RemoteStatusProvider* status_;
    RemoteHandler* handler_;
    QTcpServer server_;
    QHostAddress address_ = QHostAddress::AnyIPv4;
    quint16 port_ = RemoteProtocol::DefaultPort;
    QWidget* boxParent_ = nullptr;
    bool roiRequested_ = false; // the next status reply is the ROI value
    struct Client
    {
        // "address:port", taken when it connected: a socket whose peer has
        // gone no longer knows it.
        QString peer;
        QElapsedTimer silent; // since its accept or its latest block
    };
    // Each client until its socket is deleted or it gives way.
    QHash<QTcpSocket*, Client> clients_;
    RepeatedFailure evictions_;
    RepeatedFailure refusals_;
    RepeatedFailure queueFull_;
    RepeatedFailure unread_; // clients closed for not reading their replies
    RemoteBlockQueue queue_;
    HeldCommands held_;
    bool running_ = false;      // a block's commands are being carried out
    quint64 arrived_ = 0;       // blocks with commands received so far
};
