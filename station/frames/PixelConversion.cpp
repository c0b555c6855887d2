#include "frames/PixelConversion.h"

#include <algorithm>
#include <atomic>
#include <cmath>

SampleDepths sampleDepthsFor(int64_t pixelFormat)
{
    switch (pixelFormat) {
    case 0x01080001: // Mono8
    case 0x01080008: // BayerGR8
        return {8, 8};
    case 0x01100007: // Mono16
        return {16, 14};
    default:
        return {16, 12};
    }
}

namespace {

std::atomic<bool> greensAveraged{false};

// One extractor for every sample type: `map` turns a source sample into the
// destination's value before picking or averaging. (a + b) >> 1 equals
// trunc(a * 0.5 + b * 0.5) for the non-negative values we handle.
template <typename Dst, typename Src, typename Map>
void extractPlane(Dst* dst, const Src* mosaic, int w, int h, ptrdiff_t stride, int flags,
                  bool averageGreens, Map map)
{
    if (flags == 0 && averageGreens) {
        for (int i = 0; i < h; ++i) {
            const Src* top = mosaic + 2 * i * stride;
            const Src* bottom = top + stride;
            Dst* out = dst + static_cast<ptrdiff_t>(i) * w;
            for (int j = 0; j < w; ++j)
                out[j] = static_cast<Dst>((unsigned(map(top[2 * j])) + unsigned(map(bottom[2 * j + 1]))) >> 1);
        }
        return;
    }
    const int row = (flags >> 1) & 1;
    const int column = flags & 1;
    for (int i = 0; i < h; ++i) {
        const Src* in = mosaic + (2 * i + row) * stride + column;
        Dst* out = dst + static_cast<ptrdiff_t>(i) * w;
        for (int j = 0; j < w; ++j)
            out[j] = static_cast<Dst>(map(in[2 * j]));
    }
}

template <typename Dst, typename Src, typename Map>
void convertFrame(Dst* dst, const Src* src, int w, int h, ptrdiff_t stride, Map map)
{
    for (int r = 0; r < h; ++r) {
        const Src* in = src + r * stride;
        Dst* out = dst + static_cast<ptrdiff_t>(r) * w;
        for (int c = 0; c < w; ++c)
            out[c] = static_cast<Dst>(map(in[c]));
    }
}

} // namespace

void setGreenAveraging(bool on)
{
    greensAveraged.store(on, std::memory_order_relaxed);
}

bool greenAveraging()
{
    return greensAveraged.load(std::memory_order_relaxed);
}

void extractPlane16Shr2(uint16_t* dst, const uint16_t* mosaic, int w, int h, ptrdiff_t stride,
                        int flags, bool averageGreens)
{
    extractPlane(dst, mosaic, w, h, stride, flags, averageGreens, [](uint16_t s) { return s >> 2; });
}

void extractPlane16(uint16_t* dst, const uint16_t* mosaic, int w, int h, ptrdiff_t stride,
                    int flags, bool averageGreens)
{
    extractPlane(dst, mosaic, w, h, stride, flags, averageGreens, [](uint16_t s) { return s; });
}

void extractPlane8(uint8_t* dst, const uint8_t* mosaic, int w, int h, ptrdiff_t stride,
                   int flags, bool averageGreens)
{
    extractPlane(dst, mosaic, w, h, stride, flags, averageGreens, [](uint8_t s) { return s; });
}

void extractPlane8To16(uint16_t* dst, const uint8_t* mosaic, int w, int h, ptrdiff_t stride,
                       int flags, bool averageGreens)
{
    extractPlane(dst, mosaic, w, h, stride, flags, averageGreens, [](uint8_t s) { return s; });
}

void extractPlane16To8Shr4(uint8_t* dst, const uint16_t* mosaic, int w, int h, ptrdiff_t stride,
                           int flags, bool averageGreens)
{
    // The low 8 bits of s >> 4 are kept before averaging, as the display shows them.
    extractPlane(dst, mosaic, w, h, stride, flags, averageGreens,
                 [](uint16_t s) { return uint8_t(s >> 4); });
}

void extractPlane16To8Hi(uint8_t* dst, const uint16_t* mosaic, int w, int h, ptrdiff_t stride,
                         int flags, bool averageGreens)
{
    extractPlane(dst, mosaic, w, h, stride, flags, averageGreens,
                 [](uint16_t s) { return uint8_t(s >> 8); });
}

void convert16To8Shr4(uint8_t* dst, const uint16_t* src, int w, int h, ptrdiff_t stride)
{
    convertFrame(dst, src, w, h, stride, [](uint16_t s) { return uint8_t(s >> 4); });
}

void convert16To8Hi(uint8_t* dst, const uint16_t* src, int w, int h, ptrdiff_t stride)
{
    convertFrame(dst, src, w, h, stride, [](uint16_t s) { return uint8_t(s >> 8); });
}

void copy8(uint8_t* dst, const uint8_t* src, int w, int h, ptrdiff_t stride)
{
    for (int r = 0; r < h; ++r)
        std::copy_n(src + r * stride, w, dst + static_cast<ptrdiff_t>(r) * w);
}

void shift14Bit(uint16_t* dst, const uint16_t* src, int w, int h, ptrdiff_t stride)
{
    convertFrame(dst, src, w, h, stride, [](uint16_t s) { return uint16_t(s >> 2); });
}

float displayMax(const uint8_t* display, size_t count)
{
    if (!display || count == 0)
        return -1.0f;
    uint8_t best = 0;
    for (size_t i = 0; i < count; ++i)
        best = std::max(best, display[i]);
    return best;
}

float displayMin(const uint8_t* display, size_t count)
{
    if (!display)
        return -1.0f;
    if (count == 0)
        return 1000000.0f;
    uint8_t best = 255;
    for (size_t i = 0; i < count; ++i)
        best = std::min(best, display[i]);
    return best;
}

DisplayRange displayRange(const uint8_t* display, size_t count)
{
    if (!display)
        return {-1.0f, -1.0f};
    if (count == 0)
        return {};
    uint8_t lo = 255;
    uint8_t hi = 0;
    for (size_t i = 0; i < count; ++i) {
        lo = std::min(lo, display[i]);
        hi = std::max(hi, display[i]);
    }
    return {float(lo), float(hi)};
}

void stretchDisplay(uint8_t* display, size_t count, int min, int max)
{
    // The float formula runs once per byte value; the frame goes through the table.
    uint8_t table[256];
    if (max <= min) {
        std::fill_n(table, 256, uint8_t(0));
    } else {
        const float gain = 255.0f / float(max - min);
        for (int v = 0; v < 256; ++v) {
            const float mapped = std::trunc(float(v - min) * gain);
            table[v] = uint8_t(std::clamp(mapped, 0.0f, 255.0f));
        }
    }
    for (size_t i = 0; i < count; ++i)
        display[i] = table[display[i]];
}
