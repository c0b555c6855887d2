#pragma once

#include "remote/RemoteBlockQueue.h"

// The commands that would change how the camera acquires (exposure, trigger,
// pulse width, overclock) wait while a capture runs, so that every frame of
// the capture is taken as its settings file says; "#stop" still acts at once.
// Of each kind only the last one sent is kept, and they are carried out in the
// order they last came, as if they had come one after the other.
class HeldCommands
{
public:
    static bool waitsForCapture(RemoteProtocol::Command command);

    // True when no command of its kind was held yet.
    bool hold(const RemoteProtocol::RemoteCommand& command);
    bool isEmpty() const { return held_.isEmpty(); }
    RemoteBlockQueue::Block take();

private:
    RemoteBlockQueue::Block held_;
};
