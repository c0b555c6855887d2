#pragma once

#include "LensReplyParser.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

class QUdpSocket;

// The one UDP socket of the lens-controller link. It is bound once to a
// random local port, sends every command (the workers' too: they post theirs
// through queued signals, so the socket is used only on this object's
// thread), and reads the controller's replies: every datagram of a batch, in
// order, from the controller's address only, each through the reply parser.
class LensLink : public QObject
{
    Q_OBJECT

public:
    // Local ports tried before the bind counts as failed.
    static constexpr int BindAttempts = 50;

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

    QUdpSocket* socket_;
    QHostAddress controllerAddress_;
    LensReplyParser parser_;
    QString error_;
};
