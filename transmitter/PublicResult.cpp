#include "PublicResult.h"

namespace NqTransmitterRawLib {

NqResult ToNqResult(const NzUtilsLib::Result& result)
{
    const uint32_t code = result.GetPublicCode();
    return NqResult(code, code, NqString(result.GetDescription()));
}

} // namespace NqTransmitterRawLib
