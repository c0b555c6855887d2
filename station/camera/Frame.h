#pragma once

#include <QMetaType>

#include <cstdint>
#include <memory>

// One image handed from the acquisition thread to the GUI thread. It carries
// its own geometry and format; the memory stays valid, and is not refilled,
// until the last FrameRef to it is gone (then it returns to the pipeline or to
// the averaging pool).
struct Frame
{
    const uint8_t* data = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t pixelFormat = 0;
    uint32_t bytesPerSample = 1; // 1 (8-bit) or 2 (16-bit little-endian)
    uint32_t size = 0;           // bytes readable at data
    uint64_t blockId = 0;
    uint64_t timestamp = 0;
    unsigned long long number = 0; // frames received in the run when it was made
    // The acquisition thread's run it was made in (Thread::resetRun): a frame
    // still on its way when a new run starts is not that run's.
    unsigned run = 0;
};

using FrameRef = std::shared_ptr<const Frame>;
Q_DECLARE_METATYPE(FrameRef)
