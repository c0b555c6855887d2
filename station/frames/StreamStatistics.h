#pragma once

#include <QString>

#include <cstdint>

class NqGenParameterArray;

// The stream figures shown under the image, refreshed from the stream's
// parameters after each shown frame. An absent parameter keeps its last value.
struct StreamStatistics
{
    double bandwidthMbps = 0;
    int64_t errorCount = 0;
    QString lastError = QStringLiteral("N/A");

    void update(NqGenParameterArray* streamParams);
};
