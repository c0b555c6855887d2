#pragma once

#include "RemoteProtocol.h"

// Where the remote-control server reads the station's state for its replies
// and for the conditions of the commands. Called on the GUI thread, once
// before every command of a block, so each command sees what the previous
// ones changed.
class RemoteStatusProvider
{
public:
    virtual ~RemoteStatusProvider() = default;

    virtual RemoteProtocol::StationState stationState() const = 0;
    // The capture-done flag was reported; lower it.
    virtual void clearCaptureDone() = 0;
    // The value "#getroi" asks for (0 while there is no ROI measurement).
    virtual int roiValue() const = 0;
};
