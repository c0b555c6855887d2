#pragma once

#include "NzUtilsLib/Result.h"

#include <cstdint>

namespace NqTransmitterRawLib {

// Completion status of a block (engine or driver) to the result stored in
// its buffer: 0 success, 1 and 3 failure (1), 2 network error (19).
class OperationResultConverter
{
public:
    virtual ~OperationResultConverter() = default;
    // A status outside 0..3 comes from outside the library: failure (1).
    NzUtilsLib::Result Convert(uint32_t status) const;

private:
    static const NzUtilsLib::Result s_results[4];
};

} // namespace NqTransmitterRawLib
