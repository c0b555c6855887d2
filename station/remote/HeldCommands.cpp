#include "remote/HeldCommands.h"

#include <algorithm>
#include <utility>

using RemoteProtocol::Command;
using RemoteProtocol::RemoteCommand;

namespace {

// A command and its opposite are one kind: the later one decides.
Command kind(Command command)
{
    switch (command) {
    case Command::NoOverclock: return Command::Overclock;
    case Command::NoPulseWidth: return Command::PulseWidth;
    case Command::NoTrigger: return Command::Trigger;
    default: return command;
    }
}

} // namespace

bool HeldCommands::waitsForCapture(Command command)
{
    switch (kind(command)) {
    case Command::Exposure:
    case Command::Overclock:
    case Command::PulseWidth:
    case Command::Trigger: return true;
    default: return false;
    }
}

bool HeldCommands::hold(const RemoteCommand& command)
{
    const Command k = kind(command.command);
    const auto replaced =
        std::remove_if(held_.begin(), held_.end(), [k](const RemoteCommand& c) { return kind(c.command) == k; });
    const bool first = replaced == held_.end();
    held_.erase(replaced, held_.end());
    held_.append(command);
    return first;
}

RemoteBlockQueue::Block HeldCommands::take()
{
    return std::exchange(held_, {});
}
