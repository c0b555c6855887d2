#pragma once

#include "camera/Frame.h"

#include <cstring>
#include <memory>
#include <vector>

// Frames built by tests: the samples live as long as the FrameRef.
inline FrameRef makeFrame16(uint32_t width, uint32_t height, const std::vector<uint16_t>& samples,
                            unsigned long long number = 1)
{
    struct Owned : Frame
    {
        std::vector<uint16_t> storage;
    };
    auto frame = std::make_shared<Owned>();
    frame->storage = samples;
    frame->data = reinterpret_cast<const uint8_t*>(frame->storage.data());
    frame->width = width;
    frame->height = height;
    frame->bytesPerSample = 2;
    frame->pixelFormat = 0x01100005;
    frame->size = uint32_t(samples.size() * 2);
    frame->number = number;
    return frame;
}

inline FrameRef makeFrame8(uint32_t width, uint32_t height, const std::vector<uint8_t>& samples,
                           unsigned long long number = 1)
{
    struct Owned : Frame
    {
        std::vector<uint8_t> storage;
    };
    auto frame = std::make_shared<Owned>();
    frame->storage = samples;
    frame->data = frame->storage.data();
    frame->width = width;
    frame->height = height;
    frame->bytesPerSample = 1;
    frame->pixelFormat = 0x01080001;
    frame->size = uint32_t(samples.size());
    frame->number = number;
    return frame;
}

// A copy of `frame` carrying another frame number (same samples).
inline FrameRef renumbered(const FrameRef& frame, unsigned long long number)
{
    struct Alias : Frame
    {
        FrameRef keep;
    };
    auto copy = std::make_shared<Alias>();
    static_cast<Frame&>(*copy) = *frame;
    copy->keep = frame;
    copy->number = number;
    return copy;
}
