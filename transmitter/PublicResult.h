#pragma once

#include "base/NqResult.h"
#include "NzUtilsLib/Result.h"

namespace NqTransmitterRawLib {

// The exported form of an internal result: the folded 16-bit code in both
// numeric fields, and the description.
NqResult ToNqResult(const NzUtilsLib::Result& result);

} // namespace NqTransmitterRawLib
