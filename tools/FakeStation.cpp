#include "FakeStation.h"

#include "remote/RemoteServer.h"

using RemoteProtocol::Command;

FakeStation::FakeStation() = default;

FakeStation::~FakeStation() = default;

bool FakeStation::listen(const QHostAddress& address, quint16 port)
{
    m_server = std::make_unique<RemoteServer>(this, this);
    m_server->setListenAddress(address, port);
    return m_server->enableRemoteControl(true);
}

bool FakeStation::execute(const RemoteProtocol::RemoteCommand& command)
{
    executed.append(command);
    switch (command.command) {
    case Command::Start:
        state.capturing = true;
        state.previewing = false;
        break;
    case Command::Preview: state.previewing = true; break;
    case Command::NoPreview: state.previewing = false; break;
    default: break;
    }
    return command.command != refuse;
}
