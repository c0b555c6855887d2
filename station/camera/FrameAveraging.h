#pragma once

#include <cstddef>
#include <cstdint>

// Arithmetic of frame averaging: per-pixel sums in 32-bit integers (no overflow
// for 100 frames of 16-bit samples) and their truncated mean.
namespace FrameAveraging {

// Frames averaged at most.
constexpr unsigned maxCount = 100;

// A frame claiming more pixels than this is not an image we can take.
constexpr size_t maxPixels = size_t(1) << 27;

// Bytes of one stored sample of a GigE Vision pixel format: more than 8 bits
// per pixel are stored as 16-bit little-endian samples.
uint32_t bytesPerSample(uint32_t pixelFormat);

// Pixels that can be read from `availableBytes` of a frame of `framePixels`:
// a short or resized buffer is read only as far as it goes.
size_t coveredPixels(size_t framePixels, size_t availableBytes, uint32_t bytesPerSample);

// sum[i] += sample i of `data`, for i < pixels.
void accumulate(uint32_t* sum, const uint8_t* data, size_t pixels, uint32_t bytesPerSample);

// out sample i = sum[i] / count, truncated; `count` must be at least 1.
void average(const uint32_t* sum, uint8_t* out, size_t pixels, uint32_t count,
             uint32_t bytesPerSample);

} // namespace FrameAveraging
