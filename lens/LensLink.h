#pragma once

#include "LensReplyParser.h"

#include "RepeatedFailure.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

class QUdpSocket;

// The one UDP socket of the lens-controller link. It is bound once to a
// random local port, sends every command (the workers' too: they post theirs
// through queued signals, so the socket is used only on this object's
// thread), and reads the controller's replies: from the controller's address
// only, in order, each through the reply parser. It reads in bounded passes,
// so a flood never holds the event loop: what a pass leaves waits for the
// next one, and replies beyond a pass's share are dropped and counted. Sends
// that fail, dropped replies and datagrams from elsewhere are logged as
// repeated failures (the first, then a count a minute): the pinger sends
// every 600 ms whether or not anybody is at the station.
class LensLink : public QObject
{
    Q_OBJECT

public:
    // Local ports tried before the bind counts as failed.
    static constexpr int BindAttempts = 50;
    // Datagrams taken from the socket in one pass of the event loop.
    static constexpr int MaxDatagramsPerPass = 64;
    // Replies parsed in one pass; the controller's further datagrams of the
    // pass are dropped. It answers a few commands a second: more is a flood.
    static constexpr int MaxRepliesPerPass = 16;

    explicit LensLink(QObject* parent = nullptr);

    // Binds to a random port of LocalPortBase..+LocalPortSpan-1, drawing
    // again while a port is taken. False, with errorString(), when no port
    // could be bound.
    bool bind(const QHostAddress& address = QHostAddress::AnyIPv4);
    bool isBound() const;
    quint16 localPort() const;
    QString errorString() const { return error_; }

    // The controller replies are taken from (and `send` goes to). False, and
    // no reply is taken until a valid one is set, when `address` is not a
    // dotted-quad IPv4 address.
    bool setController(const QString& address);
    QString controller() const { return parser_.state().address; }

    const LensState& state() const { return parser_.state(); }
    // The controller's datagrams dropped so far: beyond a pass's replies, or
    // too long for a reply.
    quint64 droppedDatagrams() const { return dropped_; }

public slots:
    // Sends one command to the controller, port 1339.
    void send(const QByteArray& command);
    // Sends one command to port 1339 of `host`. Callable from any thread:
    // a call from another thread is carried out on this object's thread, in
    // the order of that thread's calls.
    void sendTo(const QString& host, const QByteArray& command);

signals:
    // One per datagram taken in, in the order they arrived, from the socket's
    // handler: a receiver runs no event loop (a box, a wait) in its slot but
    // queues such work.
    void replyReceived(const QString& text, const LensReplyEffects& effects);

private:
    void readUDPDatagrams();
    // Sends `command` to `host`; empty when it went out, else why not.
    QString sendDatagram(const QString& host, const QByteArray& command);
    void logDrops(const RepeatedFailure::Line& line) const;

    QUdpSocket* socket_;
    QHostAddress controllerAddress_;
    LensReplyParser parser_;
    QString error_;
    quint64 dropped_ = 0;
    RepeatedFailure sendsFailed_;
    RepeatedFailure drops_;     // the controller's datagrams dropped
    RepeatedFailure strangers_; // datagrams from elsewhere; they never end
};
