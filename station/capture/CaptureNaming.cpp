#include "capture/CaptureNaming.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

CaptureRow captureRowFor(const CaptureModeFlags& mode)
{
    if (mode.colour)
        return mode.splitColours ? CaptureRow::ColourSplit : CaptureRow::ColourMosaic;
    if (mode.doubleFraming)
        return CaptureRow::MonoDoubleFraming;
    if (mode.twoGate)
        return CaptureRow::MonoTwoGate;
    return mode.multiPage ? CaptureRow::MonoMultiPage : CaptureRow::MonoStandard;
}

bool isFileNamePart(const QString& text)
{
    if (text.contains(QLatin1String("..")))
        return false;
    for (const QChar c : text) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QString pointTail(const QString& point)
{
    return point.isEmpty() ? QString() : QStringLiteral("_") + point;
}

QString frameNumberText(quint64 number)
{
    return QStringLiteral("%1").arg(number, 6, 10, QLatin1Char('0'));
}

quint64 fileFrameNumber(CaptureRow row, quint64 counter, int averaging)
{
    if (row == CaptureRow::MonoDoubleFraming || row == CaptureRow::MonoTwoGate)
        return counter;
    return averaging > 0 ? counter / quint64(averaging) : counter;
}

namespace {

QString stem(const CaptureNameParts& parts)
{
    return parts.folder + QLatin1Char('/') + parts.prefix + pointTail(parts.point);
}

} // namespace

QVector<CaptureFile> captureFiles(CaptureRow row, const CaptureNameParts& parts, quint64 counter,
                                  int averaging, int activeGate)
{
    const QString numbered = stem(parts) + QLatin1Char('_')
                             + frameNumberText(fileFrameNumber(row, counter, averaging));
    switch (row) {
    case CaptureRow::MonoStandard:
        return {{numbered + QStringLiteral(".tif"), CaptureFile::WholeFrame, 0, QStringLiteral("mono")}};
    case CaptureRow::MonoMultiPage:
        return {{numbered + QStringLiteral(".tif"), CaptureFile::Page, 0, QString()}};
    case CaptureRow::MonoDoubleFraming:
        return {{numbered + QStringLiteral("_dfm_g%1.tif").arg((counter & 1) + 1), CaptureFile::WholeFrame, 0,
                 QStringLiteral("mono")}};
    case CaptureRow::MonoTwoGate:
        return {{numbered + QStringLiteral("_g%1.tif").arg(activeGate), CaptureFile::WholeFrame, 0,
                 QStringLiteral("mono")}};
    case CaptureRow::ColourMosaic:
        return {{numbered + QStringLiteral(".tif"), CaptureFile::WholeFrame, 0, QStringLiteral("color")}};
    case CaptureRow::ColourSplit:
        return {{numbered + QStringLiteral("_p.tif"), CaptureFile::Plane, 1, QStringLiteral("p")},
                {numbered + QStringLiteral("_r.tif"), CaptureFile::Plane, 0, QStringLiteral("r")}};
    }
    return {};
}

QString workPathFor(const QString& workFolder, bool cameraSubFolder, const QString& cameraName)
{
    if (workFolder.isEmpty() || !cameraSubFolder)
        return workFolder;
    QString name = cameraName.toUpper();
    name.replace(QLatin1Char(' '), QLatin1Char('.'));
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    return workFolder + QStringLiteral("/CAM_") + name;
}

QString sidecarPath(const CaptureNameParts& parts)
{
    return stem(parts) + QStringLiteral(".settings");
}

QString multiPagePath(const CaptureNameParts& parts)
{
    return stem(parts) + QStringLiteral(".tif");
}

QString listFilePath(const QString& tiffPath, const QString& channel)
{
    const int slash = tiffPath.lastIndexOf(QLatin1Char('/'));
    const QString folder = tiffPath.left(slash + 1);
    QString name = tiffPath.mid(slash + 1);

    // The frame number (six digits or more) with any plane suffix; every match
    // goes, as list names have always been made.
    static const QRegularExpression frameNumber(QStringLiteral("_\\d{6,}(_p)?(_r)?"));
    name.remove(frameNumber);
    if (name.endsWith(QLatin1String(".tif")))
        name.chop(4);

    const QString suffix = channel == QLatin1String("mono")
                               ? QCoreApplication::translate("Lumi_cam", ".lst")
                               : QCoreApplication::translate("Lumi_cam", "_%1.lst").arg(channel);
    return folder + name + suffix;
}

QByteArray listFileLine(const QString& tiffPath)
{
    return (QFileInfo(tiffPath).completeBaseName() + QStringLiteral(".tif")).toLocal8Bit() + "\r\n";
}
