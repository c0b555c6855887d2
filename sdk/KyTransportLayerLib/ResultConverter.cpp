#include "KyTransportLayerLib/ResultConverter.h"

#include "KyTransportLayerLib/TransmitEngine.h"

namespace KyTransportLayerLib {

NzUtilsLib::Result ResultConverter::FromOSToNz(uint32_t status)
{
    // Indexed by TransmitEngine::Status.
    static const uint32_t kCodes[] = {
        0,     // StatusSuccess
        20,    // StatusTimeout: nothing completed within the time-out
        23,    // StatusNotOpen
        27,    // StatusFull: every slot holds a block
        16385, // StatusInvalidParameter
        256,   // StatusAlreadyOpen
        21,    // StatusNothingQueued
        24,    // StatusNoMemory
    };
    if (status >= sizeof kCodes / sizeof kCodes[0])
        return NzUtilsLib::Result(1);
    return NzUtilsLib::Result(kCodes[status]);
}

} // namespace KyTransportLayerLib
