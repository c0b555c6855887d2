// The images of the simulated camera: a gradient that moves with the frame id
// or a fixed chessboard, at the bit depth the pixel format gives.

#include "SimulatedCamera.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t Mono16 = 0x01100007;

uint32_t bitsPerPixel(uint32_t pixelFormat) { return (pixelFormat >> 16) & 0xFF; }

// Significant bits of a sample and how far they sit from bit 0. Mono16 of
// these cameras carries 14 bits in the upper part of the word.
void sampleLayout(uint32_t pixelFormat, uint32_t& bits, uint32_t& shift)
{
    shift = 0;
    if (bitsPerPixel(pixelFormat) == 8) {
        bits = 8;
    } else if (pixelFormat == Mono16) {
        bits = 14;
        shift = 2;
    } else if (pixelFormat == 0x01100005 || pixelFormat == 0x01100010) { // Mono12, BayerGR12
        bits = 12;
    } else {
        bits = 16;
    }
}

void store(uint8_t* data, size_t index, bool wide, uint32_t sample)
{
    if (wide) {
        data[2 * index] = uint8_t(sample);
        data[2 * index + 1] = uint8_t(sample >> 8);
    } else {
        data[index] = uint8_t(sample);
    }
}

// Gradient: the coarse part runs along x + y and moves 4 steps per frame;
// the bits below the top eight hold a fine x ^ y pattern so a receiver that
// loses or swaps low bits is caught too. Only the low bits of the sums reach
// the sample, so 32-bit arithmetic gives the same values as wider. The rows
// are plain loops over samples so that the camera fills frames at link rate.
template <typename Sample>
void gradient(uint8_t* data, uint32_t width, uint32_t height, uint64_t frameId, uint32_t bits, uint32_t mask,
              uint32_t shift)
{
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "samples are stored little-endian");
    const uint32_t fineBits = bits - 8;
    const uint32_t fineMask = (1u << fineBits) - 1;
    const uint32_t id = uint32_t(frameId);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = data + size_t(y) * width * sizeof(Sample);
        const uint32_t start = y + 4 * id;
        const uint32_t fine = y ^ id;
        for (uint32_t x = 0; x < width; ++x) {
            const Sample sample = Sample(((((x + start) << fineBits) | ((x ^ fine) & fineMask)) & mask) << shift);
            std::memcpy(row + size_t(x) * sizeof(Sample), &sample, sizeof sample);
        }
    }
}

} // namespace

size_t SimulatedCamera::frameBytes(uint32_t width, uint32_t height, uint32_t pixelFormat)
{
    const uint32_t bpp = bitsPerPixel(pixelFormat);
    if (bpp != 8 && bpp != 16)
        return 0;
    return size_t(width) * height * (bpp / 8);
}

void SimulatedCamera::fillFrame(uint8_t* data, uint32_t width, uint32_t height, uint32_t pixelFormat,
                                uint64_t frameId, SimulatedCameraOptions::Pattern pattern)
{
    if (data == nullptr || frameBytes(width, height, pixelFormat) == 0)
        return;
    const bool wide = bitsPerPixel(pixelFormat) == 16;
    uint32_t bits;
    uint32_t shift;
    sampleLayout(pixelFormat, bits, shift);
    const uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;

    if (pattern == SimulatedCameraOptions::Pattern::Chessboard) {
        // ChessboardCornersX x ChessboardCornersY inner corners, so one more
        // square each way, centred with at least a square of light margin
        // (corner finders need the light border).
        const uint32_t columns = ChessboardCornersX + 1;
        const uint32_t rows = ChessboardCornersY + 1;
        const uint32_t square = std::max(2u, std::min(width / (columns + 2), height / (rows + 2)));
        const int64_t x0 = (int64_t(width) - int64_t(columns * square)) / 2;
        const int64_t y0 = (int64_t(height) - int64_t(rows * square)) / 2;
        const uint32_t dark = (mask / 10) << shift;
        const uint32_t light = (mask - mask / 10) << shift;
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const int64_t bx = int64_t(x) - x0;
                const int64_t by = int64_t(y) - y0;
                uint32_t sample = light;
                if (bx >= 0 && by >= 0 && bx < int64_t(columns * square) && by < int64_t(rows * square)
                    && ((bx / square + by / square) % 2) == 0)
                    sample = dark;
                store(data, size_t(y) * width + x, wide, sample);
            }
        }
        return;
    }

    if (wide)
        gradient<uint16_t>(data, width, height, frameId, bits, mask, shift);
    else
        gradient<uint8_t>(data, width, height, frameId, bits, mask, shift);
}
