#pragma once

#include <cstdint>
#include <string>

// The plain Aravis receive loop (pop a buffer, push it back) that the receive
// benchmark measures our receive paths against. Lives here because only sdk/
// includes Aravis headers; built for the benchmarks only.
struct NqAravisBaselineResult
{
    bool ok = false;
    std::string error;
    uint64_t frames = 0;     // complete frames
    uint64_t incomplete = 0; // popped with a failure status (missing packets, time-out...)
    uint64_t bytes = 0;      // payload bytes of the complete frames
};

// Connects to the camera at `cameraIp` as the station does (packet size
// `packetSize`, `bufferCount` buffers of the camera's payload size, the same
// receiver tuning), streams for `seconds`, stops the camera's acquisition and
// goes on receiving until no frame came for `drainMs`, then disconnects.
NqAravisBaselineResult nqAravisBaseline(const std::string& cameraIp, uint32_t bufferCount, uint32_t packetSize,
                                        double seconds, uint32_t drainMs);
