#include "frames/StatusTexts.h"

#include "runs/RunRules.h"

#include <QCoreApplication>

namespace StatusTexts {

namespace {
QString tr(const char* text)
{
    return QCoreApplication::translate("Lumi_cam", text);
}
} // namespace

QString runStatusText(const RunStatus& status)
{
    const unsigned long long counter =
        status.capturing ? RunRules::capturedFrames(status.counter, status.targetFrames) : status.counter;
    const QString fps = QString::number(status.framesPerSecond, 'f', 1);
    const QString bandwidth = QString::number(status.bandwidthMbps, 'f', 0);
    if (!status.capturing) {
        return tr("Preview: %1 images %3-bit, %2 FPS, %4Mbps")
            .arg(counter)
            .arg(fps)
            .arg(status.dataDepth)
            .arg(bandwidth);
    }
    if (status.radiometric) {
        return tr("Captured: %1/%5 images %3-bit, %2 FPS, %4Mbps")
            .arg(counter)
            .arg(fps)
            .arg(status.dataDepth)
            .arg(bandwidth)
            .arg(status.targetFrames);
    }
    return tr("Captured: %1/%5 pairs %3-bit, %2 FPS, %4Mbps")
        .arg(counter / 2)
        .arg(fps)
        .arg(status.dataDepth)
        .arg(bandwidth)
        .arg(status.targetFrames / 2);
}

QString streamErrorText(int64_t errorCount, const QString& lastError)
{
    return tr("Errors: %1  Last: %2").arg(errorCount).arg(lastError);
}

QString streamErrorStyle(int64_t errorCount)
{
    return errorCount < 1 ? QStringLiteral("QLabel{background: none;}") : QStringLiteral("QLabel{background: red;}");
}

} // namespace StatusTexts
