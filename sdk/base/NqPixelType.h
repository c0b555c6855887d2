#pragma once

#include <cstdint>

// GigE Vision pixel format codes used by the station and the simulated
// camera. Bits 16..23 of a code hold the bits per pixel.
namespace NqPixelType {
enum : uint32_t {
    Mono8 = 0x01080001,
    Mono10 = 0x01100003,
    Mono12 = 0x01100005,
    Mono14 = 0x01100025,
    Mono16 = 0x01100007,
    Mono12Packed = 0x010C0006,
    BayerGR8 = 0x01080008,
    BayerRG8 = 0x01080009,
    BayerGB8 = 0x0108000A,
    BayerBG8 = 0x0108000B,
    BayerGR12 = 0x01100010,
    BayerRG12 = 0x01100011,
    BayerGB12 = 0x01100012,
    BayerBG12 = 0x01100013,
    BayerGR16 = 0x0110002E,
    BayerRG16 = 0x0110002F,
    BayerGB16 = 0x01100030,
    BayerBG16 = 0x01100031,
};

inline uint32_t BitsPerPixel(uint32_t pixelType) { return (pixelType >> 16) & 0xFF; }
} // namespace NqPixelType
