#include "MaintenanceTexts.h"

#include "StationTexts.h"
#include "base/NqGenParameters.h"
#include "camera/FeatureValues.h"

#include <QChar>

namespace MaintenanceTexts {

namespace {

QString version(NqGenParameterArray& params, const char* name)
{
    int64_t value = 0;
    return FeatureValues::readInteger(&params, name, value) ? QString::number(value) : QStringLiteral("?");
}

} // namespace

QString temperature(int celsius)
{
    return QStringLiteral("Camera: %1").arg(celsius) + QChar(0xB0) + QLatin1Char('C');
}

QString cameraInformation(NqGenParameterArray& params)
{
    return QStringLiteral("<b>Camera Information</b><br>Firmware Version: %1 (build %2)<br>XML Version: %3<br>"
                          "IPEngine Version: %4.%5.%6")
        .arg(version(params, "FirmwareVersion"), version(params, "FirmwareBuild"), version(params, "XmlVersion"),
             version(params, "IPEngineFirmwareVersionMajor"), version(params, "IPEngineFirmwareVersionMinor"),
             version(params, "IPEngineFirmwareVersionSubminor"));
}

QString about()
{
    return QStringLiteral("<b>Marrowind Inc.<br>Lumivar Tarnel (64-bit)</b><br>Version %1 (%2)")
        .arg(QLatin1String(StationTexts::Version), QLatin1String(BuildDate));
}

QString manualHint()
{
    return QStringLiteral("The latest manual of the camera is on the <b>Marrowind Inc.</b> web page.");
}

QString helpMissing(const QString& path)
{
    return QStringLiteral("The help file <b>%1</b> was not found.").arg(path.toHtmlEscaped());
}

QString helpNotOpened(const QString& path)
{
    return QStringLiteral("No program could open the help file <b>%1</b>.").arg(path.toHtmlEscaped());
}

QePicture qePicture(bool colourCamera, const QString& model)
{
    if (colourCamera)
        return {QStringLiteral("Color Quantum Efficiency"), QStringLiteral(":/Dravo_cam/QE_color_tarnel.png")};
    QePicture mono{QStringLiteral("Monochrome Quantum Efficiency "), QString()};
    if (model == QLatin1String("IGV_K3971M"))
        mono.picture = QStringLiteral(":/Dravo_cam/qe3971.png");
    else if (model == QLatin1String("GEV_K3370M"))
        mono.picture = QStringLiteral(":/Dravo_cam/QE_mono_tarnel.png");
    return mono;
}

} // namespace MaintenanceTexts
