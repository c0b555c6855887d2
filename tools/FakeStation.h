#pragma once

#include "RemoteProtocol.h"
#include "remote/RemoteHandler.h"
#include "remote/RemoteStatusProvider.h"

#include <QHostAddress>
#include <QList>

#include <functional>
#include <memory>

class RemoteServer;

// A station for tests: keeps the state that the remote replies report,
// records every command it is handed, and lets preview and capture commands
// change the state as the real ones do. Hand it to a RemoteServer, or let it
// listen itself, as a station does, on an address of its own (127.0.0.x) at
// the remote-control port.
class FakeStation : public RemoteStatusProvider, public RemoteHandler
{
public:
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

    // Listens with a server of its own; false when the address or port is taken.
    bool listen(const QHostAddress& address, quint16 port = RemoteProtocol::DefaultPort);

    RemoteProtocol::StationState stationState() const override { return state; }
    void clearCaptureDone() override { state.captureDone = false; }
    int roiValue() const override { return roi; }
    bool execute(const RemoteProtocol::RemoteCommand& command) override;
    void executeLens(const RemoteProtocol::RemoteCommand& command) override { lens.append(command); }

private:
    std::unique_ptr<RemoteServer> m_server;
};
