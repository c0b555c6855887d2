#include "camera/FrameAveraging.h"

#include "base/NqPixelType.h"

#include <algorithm>

namespace FrameAveraging {

uint32_t bytesPerSample(uint32_t pixelFormat)
{
    return NqPixelType::BitsPerPixel(pixelFormat) > 8 ? 2 : 1;
}

size_t coveredPixels(size_t framePixels, size_t availableBytes, uint32_t bytesPerSample)
{
    return std::min(framePixels, availableBytes / bytesPerSample);
}

void accumulate(uint32_t* sum, const uint8_t* data, size_t pixels, uint32_t bytesPerSample)
{
    if (bytesPerSample == 1) {
        for (size_t i = 0; i < pixels; ++i)
            sum[i] += data[i];
        return;
    }
    for (size_t i = 0; i < pixels; ++i)
        sum[i] += uint32_t(data[2 * i]) | uint32_t(data[2 * i + 1]) << 8;
}

void average(const uint32_t* sum, uint8_t* out, size_t pixels, uint32_t count,
             uint32_t bytesPerSample)
{
    if (bytesPerSample == 1) {
        for (size_t i = 0; i < pixels; ++i)
            out[i] = uint8_t(sum[i] / count);
        return;
    }
    for (size_t i = 0; i < pixels; ++i) {
        const uint32_t value = sum[i] / count;
        out[2 * i] = uint8_t(value);
        out[2 * i + 1] = uint8_t(value >> 8);
    }
}

} // namespace FrameAveraging
