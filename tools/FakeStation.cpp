#include "FakeStation.h"

#include "remote/RemoteServer.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <utility>

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
    if (command.command == slow) {
        mostRunning = std::max(mostRunning, ++running);
        if (whileSlow)
            std::exchange(whileSlow, nullptr)();
        QEventLoop wait;
        QTimer::singleShot(slowMs, &wait, &QEventLoop::quit);
        wait.exec();
        --running;
    }
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
