#include "StationTexts.h"

#include <QCoreApplication>

namespace StationTexts {

QString windowTitle()
{
    return QCoreApplication::translate("LUMI_camClass", "Lumivar Tarnel v.%1 (64-bit) %2 ::  Marrowind Inc. ")
        .arg(QLatin1String(Version), QString());
}

QString connectedWindowTitle(const QString& cameraName)
{
    // One multi-argument arg(): a '%' in the camera's name stays as it is.
    return QCoreApplication::translate("LUMI_camClass",
                                       "[%3] - Lumivar Tarnel v.%1 (64-bit) %2 ::  Marrowind Inc. ")
        .arg(QLatin1String(Version), QString(), cameraName);
}

QString connectionLabel(bool colourCamera, const QString& cameraName)
{
    return QStringLiteral("%1  [%2]").arg(connectionDescription(colourCamera), cameraName);
}

QString connectionDescription(bool colourCamera)
{
    return colourCamera ? QStringLiteral("Connected: Tarnel-C") : QStringLiteral("Connected: Tarnel-M");
}

QString fromSdk(const NqString& text)
{
    return QString::fromUtf8(text.GetAscii());
}

} // namespace StationTexts
