#include "camera/PayloadSize.h"

#include "base/NqGenParameters.h"
#include "base/NqPixelType.h"

#include <algorithm>

namespace {

int64_t integerOrZero(NqGenInteger* feature)
{
    int64_t value = 0;
    if (feature && !feature->GetValue(value).IsOK())
        value = 0;
    return value;
}

} // namespace

uint32_t payloadSizeOf(NqGenParameterArray* features)
{
    if (!features)
        return 0;
    const int64_t payload = integerOrZero(features->GetInteger("PayloadSize"));

    // 128-bit product: a camera's width and height are not to be trusted not
    // to overflow 64 bits.
    __int128 computed = 0;
    NqGenInteger* width = features->GetInteger("Width");
    NqGenInteger* height = features->GetInteger("Height");
    NqGenEnum* pixelFormat = features->GetEnum("PixelFormat");
    if (width && height && pixelFormat) {
        int64_t format = 0;
        if (!pixelFormat->GetValue(format).IsOK())
            format = 0;
        const __int128 bits = NqPixelType::BitsPerPixel(uint32_t(format));
        // A negative size from the camera counts as none.
        computed = bits * std::max<int64_t>(0, integerOrZero(height))
                   * std::max<int64_t>(0, integerOrZero(width)) / 8;
    }

    const __int128 size = std::max<__int128>(payload, computed);
    return size >= 1 && size <= 4294967294LL ? uint32_t(size) : 0;
}
