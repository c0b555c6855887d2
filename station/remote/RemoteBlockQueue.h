#pragma once

#include "RemoteProtocol.h"

#include <QList>
#include <QQueue>

// The blocks of remote commands that wait for the one being carried out, in
// order of arrival. It is bounded, so a flood cannot take the station's
// memory: a block that finds it full is refused, and the server closes that
// client's connection unanswered. A block of setting commands only (exposure,
// averaging, frames, prefix, point) joins a last waiting block of settings
// only, in place of the earlier values of the same commands: however many
// arrive while the station is busy, it ends on the last value sent.
class RemoteBlockQueue
{
public:
    static constexpr int MaxBlocks = 256;

    using Block = QList<RemoteProtocol::RemoteCommand>;

    // False, and nothing is taken, when the queue is full and the block
    // cannot join the last one.
    bool add(const Block& commands);
    bool isEmpty() const { return blocks_.isEmpty(); }
    int size() const { return blocks_.size(); }
    Block take() { return blocks_.dequeue(); }

    // Commands whose only effect is the value they leave behind.
    static bool isSetting(RemoteProtocol::Command command);

private:
    QQueue<Block> blocks_;
};
