#include "OperationResultConverter.h"

#include "ResultCodes.h"

namespace NqTransmitterRawLib {

const NzUtilsLib::Result OperationResultConverter::s_results[4] = {
    NzUtilsLib::Result(Code::Success),
    NzUtilsLib::Result(Code::Failed),
    NzUtilsLib::Result(Code::NetworkError),
    NzUtilsLib::Result(Code::Failed),
};

NzUtilsLib::Result OperationResultConverter::Convert(uint32_t status) const
{
    if (status >= sizeof s_results / sizeof s_results[0])
        return NzUtilsLib::Result(Code::Failed);
    return s_results[status];
}

} // namespace NqTransmitterRawLib
