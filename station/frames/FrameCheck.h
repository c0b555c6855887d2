#pragma once

#include "camera/Frame.h"
#include "frames/PixelConversion.h"

// True when the frame's samples are stored at the given display depth and all
// width x height of them are readable; anything else is dropped by the frame
// consumers instead of being read past its end.
inline bool frameIsComplete(const Frame& frame, int displayDepth)
{
    const uint64_t needed = uint64_t(frame.width) * frame.height * uint64_t(bytesPerSample(displayDepth));
    return frame.data && frame.width > 0 && frame.height > 0
           && frame.bytesPerSample == uint32_t(bytesPerSample(displayDepth)) && frame.size >= needed;
}
