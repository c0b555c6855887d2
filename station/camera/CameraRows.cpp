#include "camera/CameraRows.h"

#include <QRegularExpression>

namespace CameraRows {

QString displayModel(const QString& sdkModel)
{
    // The first code the model string contains wins.
    static const struct { const char* code; const char* name; } models[] = {
        {"GEV_K3370M", "Tarnel-M"},
        {"GEV_K3370C", "Tarnel-C"},
        {"GEV_K8870M", "Tarnel20-M"},
    };
    for (const auto& model : models) {
        if (sdkModel.contains(QLatin1String(model.code)))
            return QString::fromLatin1(model.name);
    }
    return sdkModel;
}

QString interfaceText(const QString& description, const QString& ip)
{
    return QStringLiteral("%1 [%2]").arg(description, ip);
}

QString cameraText(const QString& displayModel, const QString& ip, const QString& serial,
                   const QString& userName)
{
    return QStringLiteral("Cam: %1  [%2] #%3 (%4)").arg(displayModel, ip, serial, userName);
}

QString subnetProposal(const QString& ip)
{
    static const QRegularExpression lastPart(QStringLiteral("\\d{1,3}$"));
    QString proposal = ip;
    return proposal.remove(lastPart);
}

} // namespace CameraRows
