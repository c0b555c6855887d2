#include "StationStatus.h"

namespace StationStatus {

Look look(const QString& status)
{
    Look result;
    result.shown = status;
    auto colour = [&](Qt::GlobalColor c) {
        result.coloured = true;
        result.colour = c;
    };
    if (status.contains(QLatin1String("Capture"))) {
        colour(Qt::red);
        result.available = true;
        result.capturing = true;
    }
    if (status.contains(QLatin1String("Ready"))) {
        colour(Qt::green);
        result.available = true;
        result.ready = true;
    }
    if (status.contains(QLatin1String("ReadyDone"))) {
        result.shown = QStringLiteral("Ready");
        result.captureDone = true;
    }
    if (status.contains(QLatin1String("Preview"))) {
        colour(Qt::yellow);
        result.available = true;
    }
    if (status.contains(QLatin1String("No Camera")))
        colour(Qt::gray);
    if (status.contains(QLatin1String(CantConnect)) || status.contains(QLatin1String(NotAnswering)))
        colour(Qt::darkGray);
    return result;
}

QString rowText(const QString& alias, const QString& shown)
{
    return QStringLiteral("%1 - %2").arg(alias, shown);
}

} // namespace StationStatus
