#pragma once

#include "NzUtilsLib/Result.h"

#include <cstdint>

namespace KyTransportLayerLib {

// Status of the transmit engine (and of a driver) to internal result.
class ResultConverter
{
public:
    // Unknown statuses become code 1 (failure).
    static NzUtilsLib::Result FromOSToNz(uint32_t status);
};

} // namespace KyTransportLayerLib
