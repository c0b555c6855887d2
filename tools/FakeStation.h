#pragma once

#include "RemoteProtocol.h"
#include "remote/RemoteHandler.h"
#include "remote/RemoteStatusProvider.h"

#include <QHostAddress>
#include <QList>

#include <atomic>
#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QThread;
class RemoteServer;

// A station for tests: keeps the state that the remote replies report,
// records every command it is handed, and lets preview and capture commands
// change the state as the real ones do. Hand it to a RemoteServer, or let it
// listen itself, as a station does, on an address of its own (127.0.0.x) at
// the remote-control port; a station that listens itself can be made to fail
// as a station's network or program does (see Fault). What a client meets
// there runs on a thread of its own, so a fault's timing counts from the
// client's bytes, however long the caller's thread is held.
class FakeStation : public RemoteStatusProvider, public RemoteHandler
{
public:
    // How a listening station treats its clients; it may change at any time
    // and applies to open connections from their next bytes on.
    enum class Fault {
        None,         // as a station does
        Silent,       // takes every byte, acts on none and answers nothing
        Late,         // acts at once and answers lateMs after the block came in
        LateCommands, // as Late, but answers "#status" polls at once
        HangUp,       // closes every connection (new ones at once)
        Reset,        // resets every connection (new ones at once)
    };

    FakeStation();
    ~FakeStation() override;

    RemoteProtocol::StationState state;
    int roi = 0;
    QList<RemoteProtocol::RemoteCommand> executed;
    QList<RemoteProtocol::RemoteCommand> lens;
    RemoteProtocol::Command refuse = RemoteProtocol::Command(-1); // execute() answers false for this one
    // execute() runs events for this command, as a run's wait does: first
    // whileSlow (once), then for slowMs.
    RemoteProtocol::Command slow = RemoteProtocol::Command(-1);
    std::function<void()> whileSlow;
    int slowMs = 100;
    int running = 0; // commands inside execute() now
    int mostRunning = 0;
    std::atomic<Fault> fault{Fault::None};
    std::atomic<int> lateMs{1500};

    // Listens with a server of its own; false when the address or port is
    // taken. Clients reach the station's server through a front on `address`
    // and `port` that carries out the fault.
    bool listen(const QHostAddress& address, quint16 port = RemoteProtocol::DefaultPort);
    // As a station whose host went off and came back: the connections open
    // now stay silent for good, without closing; later ones are served.
    void forgetConnections() { ++m_generation; }

    RemoteProtocol::StationState stationState() const override { return state; }
    void clearCaptureDone() override { state.captureDone = false; }
    int roiValue() const override { return roi; }
    bool execute(const RemoteProtocol::RemoteCommand& command) override;
    void executeLens(const RemoteProtocol::RemoteCommand& command) override { lens.append(command); }
    bool isAcquiringCapture() const override { return state.capturing; }

private:
    void acceptClients();
    // Closes or resets `client` when the fault says so; true when it did.
    bool hangUp(QTcpSocket* client);

    QHostAddress m_address;
    quint16 m_serverPort = 0;
    std::atomic<int> m_generation{0}; // of the connections served; older ones are forgotten
    std::unique_ptr<RemoteServer> m_server;
    // The front and every connection through it live on m_frontThread and go
    // with it, before the station's server.
    std::unique_ptr<QThread> m_frontThread;
    QTcpServer* m_front = nullptr;
};
