#pragma once

#include "RemoteProtocol.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;
class QWidget;
class RemoteHandler;
class RemoteStatusProvider;

// The station's remote-control server. While enabled it listens on port 1910
// (any IPv4 address); every client connection stays open until the peer
// closes it. Each block a client sends is answered with the status reply (or
// the ROI value for "#getroi") and then its commands are handed to the
// handler, in table order. Everything runs on the GUI thread.
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

private:
    void acceptConnection();
    void readCommand(QTcpSocket* socket);
    void runCommands(const QList<RemoteProtocol::RemoteCommand>& commands);
    void sendStatusReply(QTcpSocket* socket);
    static void write(QTcpSocket* socket, const QByteArray& bytes);

    RemoteStatusProvider* status_;
    RemoteHandler* handler_;
    QTcpServer server_;
    QHostAddress address_ = QHostAddress::AnyIPv4;
    quint16 port_ = RemoteProtocol::DefaultPort;
    QWidget* boxParent_ = nullptr;
    bool roiRequested_ = false; // the next status reply is the ROI value
};
