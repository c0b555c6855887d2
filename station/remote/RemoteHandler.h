#pragma once

#include "RemoteProtocol.h"

// What the remote-control server calls for each command of a block, on the
// GUI thread, in the order of the command table. The server only passes a
// command that applies to the station's state at that moment
// (RemoteProtocol::appliesTo): without a camera "#camname=" and the run
// commands never arrive here, while "#folder=" still does.
class RemoteHandler
{
public:
    virtual ~RemoteHandler() = default;

    // Every command but the lens ones. Returns false to drop the rest of the
    // block (a work folder that cannot be created).
    virtual bool execute(const RemoteProtocol::RemoteCommand& command) = 0;

    // The lens-controller commands; nothing happens until the station has a
    // lens-controller link to hand them to.
    virtual void executeLens(const RemoteProtocol::RemoteCommand&) {}

    // The camera acquires the frames of a capture: the commands that would
    // change how it acquires wait (the server holds them until told that the
    // capture ended). The capture may still be writing its files after.
    virtual bool isAcquiringCapture() const = 0;
};
