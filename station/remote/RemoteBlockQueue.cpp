#include "remote/RemoteBlockQueue.h"

#include <algorithm>

using RemoteProtocol::Command;
using RemoteProtocol::RemoteCommand;

namespace {

bool onlySettings(const QList<RemoteCommand>& commands)
{
    return std::all_of(commands.begin(), commands.end(),
                       [](const RemoteCommand& c) { return RemoteBlockQueue::isSetting(c.command); });
}

} // namespace

bool RemoteBlockQueue::isSetting(Command command)
{
    switch (command) {
    case Command::Exposure:
    case Command::Average:
    case Command::Frames:
    case Command::Prefix:
    case Command::Point: return true;
    default: return false;
    }
}

bool RemoteBlockQueue::add(quint64 number, const QList<RemoteCommand>& commands)
{
    if (!blocks_.isEmpty() && onlySettings(blocks_.last().commands) && onlySettings(commands)) {
        // The joined block runs its settings in the order they last arrived,
        // as the blocks one after the other would, minus the values replaced.
        Block& last = blocks_.last();
        for (const RemoteCommand& c : commands) {
            last.commands.erase(std::remove_if(last.commands.begin(), last.commands.end(),
                                               [&](const RemoteCommand& o) { return o.command == c.command; }),
                                last.commands.end());
            last.commands.append(c);
        }
        last.number = number;
        return true;
    }
    if (blocks_.size() >= MaxBlocks)
        return false;
    blocks_.enqueue({number, commands});
    return true;
}
