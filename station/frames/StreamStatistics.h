#pragma once

#include <QString>

#include <cstdint>

class NqGenParameterArray;

// The stream figures shown under the image, refreshed from the stream's
// parameters after each shown frame. An absent parameter keeps its last value.
// (The error figure beside them is the acquisition thread's count of lost
// frames, which knows the run's frames from the previous acquisition's.)
struct StreamStatistics
{
    double bandwidthMbps = 0;
    QString lastError = QStringLiteral("N/A");

    void update(NqGenParameterArray* streamParams);
};
