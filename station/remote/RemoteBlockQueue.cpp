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

bool RemoteBlockQueue::add(const Block& commands)
{
    if (!blocks_.isEmpty() && onlySettings(blocks_.last()) && onlySettings(commands)) {
        // The joined block runs its settings in the order they last arrived,
        // as the blocks one after the other would, minus the values replaced.
        Block& last = blocks_.last();
        for (const RemoteCommand& c : commands) {
            last.erase(std::remove_if(last.begin(), last.end(),
                                      [&](const RemoteCommand& o) { return o.command == c.command; }),
                       last.end());
            last.append(c);
        }
        return true;
    }
    if (blocks_.size() >= MaxBlocks)
        return false;
    blocks_.enqueue(commands);
    return true;
}
