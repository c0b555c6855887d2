#include "camera/CameraImageArea.h"

#include "Prompt.h"
#include "camera/FeatureValues.h"

#include <QCoreApplication>

#include <algorithm>

namespace CameraImageArea {

using namespace FeatureValues;

Area areaForRoi(const QRect& roi, int64_t currentOffsetX, int64_t currentOffsetY, int64_t maxWidth,
                int64_t maxHeight)
{
    const int64_t width = int64_t(roi.right()) - roi.left() + 1;
    const int64_t height = int64_t(roi.bottom()) - roi.top() + 1;
    if (width < 1 || height < 1 || roi.left() < 0 || roi.top() < 0)
        return Area();
    Area area;
    area.width = ((width + 7) / 8) * 8;
    area.height = height;
    area.offsetX = currentOffsetX + roi.left();
    area.offsetY = currentOffsetY + roi.top();
    if (maxWidth > 0) {
        area.width = std::min(area.width, maxWidth);
        area.offsetX = std::min(area.offsetX, maxWidth - area.width);
    }
    if (maxHeight > 0) {
        area.height = std::min(area.height, maxHeight);
        area.offsetY = std::min(area.offsetY, maxHeight - area.height);
    }
    return area;
}

bool applyRoi(NqGenParameterArray* params, const QRect& roi)
{
    int64_t offsetX = 0, offsetY = 0, maxWidth = 0, maxHeight = 0;
    readInteger(params, "OffsetX", offsetX);
    readInteger(params, "OffsetY", offsetY);
    readInteger(params, "WidthMax", maxWidth);
    readInteger(params, "HeightMax", maxHeight);
    const Area area = areaForRoi(roi, offsetX, offsetY, maxWidth, maxHeight);
    if (area.width < 1)
        return false;
    // Each write is tried even when an earlier one failed; the caller reads
    // the size back either way.
    bool ok = writeInteger(params, "Width", area.width);
    ok = writeInteger(params, "Height", area.height) && ok;
    ok = writeInteger(params, "OffsetX", area.offsetX) && ok;
    return writeInteger(params, "OffsetY", area.offsetY) && ok;
}

bool resetToFullFrame(NqGenParameterArray* params)
{
    bool ok = writeInteger(params, "OffsetX", 0);
    ok = writeInteger(params, "OffsetY", 0) && ok;
    int64_t maxWidth = 0, maxHeight = 0;
    if (!readInteger(params, "WidthMax", maxWidth) || !readInteger(params, "HeightMax", maxHeight))
        return false;
    ok = writeInteger(params, "Width", maxWidth) && ok;
    return writeInteger(params, "Height", maxHeight) && ok;
}

QSize readImageSize(NqGenParameterArray* params)
{
    int64_t width = 0, height = 0;
    if (!readInteger(params, "Width", width) || !readInteger(params, "Height", height))
        return QSize();
    return QSize(int(width), int(height));
}

bool readSensorSize(NqGenParameterArray* params, int64_t& width, int64_t& height)
{
    int64_t w = 0, h = 0;
    if (!readInteger(params, "SensorWidth", w) || !readInteger(params, "SensorHeight", h))
        return false;
    width = w;
    height = h;
    return true;
}

void warnSensorSizeUnreadable(QWidget* parent)
{
    Prompt::current().message(parent, Prompt::Warning, QCoreApplication::translate("Lumi_cam", "Warning"),
                              QCoreApplication::translate("Lumi_cam", "Error in SensorHeight/SensorWidth function"));
}

SampleDepths readSampleDepths(NqGenParameterArray* params)
{
    int64_t format = 0;
    readInteger(params, "PixelFormat", format);
    return sampleDepthsFor(format);
}

} // namespace CameraImageArea
