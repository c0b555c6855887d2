#pragma once

#include "frames/PixelConversion.h"

#include <QRect>
#include <QSize>

#include <cstdint>

class NqGenParameterArray;
class QWidget;

// The camera's image area (Width, Height, OffsetX, OffsetY) and the sensor
// figures the station's buffers are sized from.
namespace CameraImageArea {

struct Area
{
    int64_t width = 0;
    int64_t height = 0;
    int64_t offsetX = 0;
    int64_t offsetY = 0;
    bool operator==(const Area& o) const
    {
        return width == o.width && height == o.height && offsetX == o.offsetX && offsetY == o.offsetY;
    }
};

// The area for an ROI drawn on the current image (corners inclusive, in
// image pixels): the width rounded up to a multiple of 8, the offsets added to
// the current ones, and the area moved left or up when the rounded size would
// pass the sensor's maximum (maxWidth / maxHeight, 0 when unknown).
// Returns an empty area for an empty ROI.
Area areaForRoi(const QRect& roi, int64_t currentOffsetX, int64_t currentOffsetY, int64_t maxWidth,
                int64_t maxHeight);

// Makes the ROI the camera's image area (Width, Height, OffsetX, OffsetY, in
// this order). False, with nothing written, for an empty ROI.
bool applyRoi(NqGenParameterArray* params, const QRect& roi);

// Back to the whole sensor: offsets 0, then WidthMax x HeightMax.
bool resetToFullFrame(NqGenParameterArray* params);

// The image size as the camera now reports it; an invalid size when unread.
QSize readImageSize(NqGenParameterArray* params);

// SensorWidth and SensorHeight; false when either cannot be read.
bool readSensorSize(NqGenParameterArray* params, int64_t& width, int64_t& height);

// The warning of a failed SensorWidth / SensorHeight read (the old buffers stay).
void warnSensorSizeUnreadable(QWidget* parent);

// Both sample depths by the camera's PixelFormat (an unreadable format counts
// as unknown: 16-bit samples with 12 significant bits).
SampleDepths readSampleDepths(NqGenParameterArray* params);

} // namespace CameraImageArea
