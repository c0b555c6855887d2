#pragma once

#include <QString>

#include <cstdint>

// The texts and styles the frame slot puts on the status labels.
namespace StatusTexts {

struct RunStatus
{
    bool capturing = false;
    bool radiometric = true; // actionRadiometric_Mode; otherwise a capture counts pairs
    unsigned long long counter = 0;
    double framesPerSecond = 0;
    double bandwidthMbps = 0;
    int dataDepth = 12;
    int targetFrames = -1;
};

// "Preview: ..." or "Captured: ..." with images or pairs.
QString runStatusText(const RunStatus& status);
// "Errors: %1  Last: %2"
QString streamErrorText(int64_t errorCount, const QString& lastError);
// Red background once the stream has counted an error.
QString streamErrorStyle(int64_t errorCount);

} // namespace StatusTexts
