#pragma once

#include <cstdint>
#include <string>

// The plain Aravis receive loop (pop a buffer, push it back) that the
// pipeline benchmark measures NqPipeline against. Lives here because only
// sdk/ includes Aravis headers; built for the benchmarks only.
struct NqAravisBaselineResult
{
    bool ok = false;
    std::string error;
    uint64_t frames = 0;       // complete frames
    uint64_t failedFrames = 0; // popped with a failure status
    uint64_t bytes = 0;        // payload bytes of the complete frames
    double seconds = 0.0;
};

// Connects to the camera at `cameraIp`, streams for `seconds` with
// `bufferCount` buffers of the camera's payload size, and disconnects.
NqAravisBaselineResult nqAravisBaseline(const std::string& cameraIp, uint32_t bufferCount, double seconds);
