#pragma once

#include "camera/NqBufferResult.h"
#include "camera/NqDeviceCore.h"

#include <arv.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// What a stream shares with its pipelines and parameters: the Aravis stream
// (null while closed) and the wake-up that Aravis's receiving thread gives
// when it completes a buffer.
//
// Lock order: a pipeline's own mutex, then `mutex`, then the device mutex.
// `wakeMutex` is only ever held for a moment and never while calling Aravis,
// so Aravis's thread can always deliver its wake-up (closing the stream joins
// that thread while holding `mutex`).
struct NqStreamCore
{
    std::mutex mutex;
    ArvStream* stream = nullptr;         // guarded by mutex
    ArvDevice* device = nullptr;         // our reference while open; guarded by mutex
    std::shared_ptr<NqDeviceCore> deviceCore;
    uint64_t generation = 0;             // changes at every open and close; guarded by mutex
    bool threadRunning = false;          // the receiving thread; guarded by mutex
    uint32_t queuedMaximum = 64;
    gulong signalHandler = 0;

    // Statistics (guarded by mutex): the baselines taken by the "Reset" command.
    struct Counters
    {
        uint64_t failures = 0;
        uint64_t bytes = 0;
    };
    Counters baseline;
    NqFrameLossCounter losses;
    uint32_t lastErrorCode = 0;
    std::string lastErrorText;
    std::chrono::steady_clock::time_point bandwidthTime;
    uint64_t bandwidthBytes = 0;
    double bandwidthBitsPerSecond = 0.0;

    std::mutex wakeMutex;
    std::condition_variable wake;
    uint64_t wakeSequence = 0; // guarded by wakeMutex

    void wakeAll();
    // Counters since the stream opened (mutex held).
    Counters readCounters() const;
    // Every completed buffer not yet popped goes back to the input queue (mutex held).
    // The block-id gap this leaves is not counted as lost frames.
    void requeueCompleted();
    // The last failed buffer's result, for "LastError" (mutex held).
    void recordFailure(uint32_t code, const std::string& text);
};
