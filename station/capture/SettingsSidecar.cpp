#include "capture/SettingsSidecar.h"

#include "camera/FeatureValues.h"

#include <QRegularExpression>
#include <QSettings>

void readSidecarFeatures(NqGenParameterArray* params, SidecarCamera& camera)
{
    using namespace FeatureValues;
    readExposure(params, camera.exposureUs);
    readEnum(params, "TriggerMode", camera.triggerMode);
    readEnum(params, "ExposureMode", camera.exposureMode);
    readBoolean(params, "FlatFieldCorrection", camera.flatFieldCorrection);
    readBoolean(params, "BlackLevelCorrection", camera.blackLevelCorrection);
    readInteger(params, "BinningVertical", camera.binningVertical);
    readInteger(params, "SensorDigitizationTaps", camera.digitizationTaps);
    readInteger(params, "VerticalSmearCorrection", camera.verticalSmearCorrection);
    readInteger(params, "CameraSpeed", camera.cameraSpeed);
}

QString captureModeName(bool doubleFraming, bool frameAccumulation, bool radiometric)
{
    if (radiometric)
        return QStringLiteral("Radiometric_Mode");
    if (frameAccumulation)
        return QStringLiteral("Frame_Accumulation_Mode");
    if (doubleFraming)
        return QStringLiteral("Double_Frame_Mode");
    return QString();
}

QString ipAddressText(int64_t address)
{
    const auto ip = uint32_t(address);
    return QStringLiteral("%1.%2.%3.%4").arg(ip >> 24).arg((ip >> 16) & 0xFF).arg((ip >> 8) & 0xFF).arg(ip & 0xFF);
}

QString sidecarTimeText(const QDateTime& now)
{
    static const QRegularExpression whitespace(QStringLiteral("\\s"));
    QString text = QStringLiteral("%1 %2").arg(now.date().toString(Qt::TextDate), now.time().toString(Qt::TextDate));
    return text.replace(whitespace, QStringLiteral("_"));
}

bool writeSettingsFile(const QString& path, const SidecarCamera& camera, const SidecarCapture& capture,
                       const QDateTime& now)
{
    QSettings file(path, QSettings::IniFormat);
    QString model = camera.model;
    if (model.startsWith(QLatin1String("Connected: ")))
        model.remove(0, 11);

    file.beginGroup(QStringLiteral("Camera"));
    file.setValue(QStringLiteral("Model"), model + (camera.colour ? "(color)" : "(mono)"));
    file.setValue(QStringLiteral("SN"), camera.serial);
    file.setValue(QStringLiteral("Connection"), QStringLiteral("GigE"));
    file.setValue(QStringLiteral("Cam_IP"), ipAddressText(camera.ipAddress));
    file.setValue(QStringLiteral("CCD_Temp"), QStringLiteral("%1C").arg(camera.temperature));
    file.setValue(QStringLiteral("Exposure"), QStringLiteral("%1us").arg(camera.exposureUs, 0, 'g', 6));
    file.setValue(QStringLiteral("FlatFieldCorrection"), camera.flatFieldCorrection ? "1" : "0");
    file.setValue(QStringLiteral("BlackLevelCorrection"), camera.blackLevelCorrection ? "1" : "0");
    file.setValue(QStringLiteral("Binning"), QString::number(camera.binningVertical));
    file.setValue(QStringLiteral("SensorDigitizationTaps"), QString::number(camera.digitizationTaps));
    file.setValue(QStringLiteral("VerticalSmearCorrection"), QString::number(camera.verticalSmearCorrection));
    file.setValue(QStringLiteral("Exposure_Mode"), camera.exposureMode == 1 ? "Internal" : "TriggerWidth");
    file.setValue(QStringLiteral("Ext_Trigger"), camera.triggerMode != 0 ? "1" : "0");
    file.setValue(QStringLiteral("Over_Clocked"), QString::number(camera.cameraSpeed));
    file.endGroup();

    file.beginGroup(QStringLiteral("Capture"));
    file.setValue(QStringLiteral("Mode"), capture.mode);
    file.setValue(QStringLiteral("Frames"), QString::number(capture.frames));
    file.setValue(QStringLiteral("Folder"), capture.folder);
    file.setValue(QStringLiteral("Prefix"), capture.prefix);
    file.setValue(QStringLiteral("Point"), capture.point);
    file.setValue(QStringLiteral("Average"), QString::number(capture.average));
    file.setValue(QStringLiteral("Time"), sidecarTimeText(now));
    file.endGroup();

    file.sync();
    return file.status() == QSettings::NoError;
}
