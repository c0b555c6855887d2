#include "frames/StreamStatistics.h"

#include "base/NqGenParameters.h"
#include "camera/FeatureValues.h"

void StreamStatistics::update(NqGenParameterArray* streamParams)
{
    double bandwidth = 0;
    if (FeatureValues::readFloat(streamParams, "Bandwidth", bandwidth))
        bandwidthMbps = bandwidth / 1000000.0;

    NqGenParameter* parameter = streamParams ? streamParams->Get("LastError") : nullptr;
    if (!parameter || parameter->GetType() != NqGenType::Enum)
        return;
    auto* last = static_cast<NqGenEnum*>(parameter);
    int64_t code = 0;
    NqString text;
    if (!last->GetValue(code).IsOK())
        return;
    if (code == NqResult::Code::OK)
        lastError = QStringLiteral("N/A");
    else if (last->GetValue(text).IsOK())
        lastError = QString::fromUtf8(text.GetAscii());
}
