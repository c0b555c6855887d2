#pragma once

#include <cstdint>

class NqGenParameterArray;

// Bytes one frame of the camera needs: the larger of the camera's
// PayloadSize and bits per pixel x Height x Width / 8; 0 when that is not in
// 1 .. 2^32 - 2 or when `features` is null (no camera connected). Absent
// features count as 0.
uint32_t payloadSizeOf(NqGenParameterArray* features);
