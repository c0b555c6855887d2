#include "analysis/RoiStatistics.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdlib>

namespace RoiStatistics {

QString pixelReadout(const PixelSource& source, int x, int y, int frameWidth, int frameHeight)
{
    if (!source.valid() || !source.contains(x, y))
        return QString();
    const uint32_t v = source.value(x, y);
    const int64_t percent = int64_t(v) * 100 / source.fullScale();
    return QStringLiteral("%5x%6, %1x%2  Image=%3%(%4)")
        .arg(x)
        .arg(y)
        .arg(percent)
        .arg(v)
        .arg(frameWidth)
        .arg(frameHeight);
}

Intensity roiIntensity(const PixelSource& source, const RoiCorners& roi, bool raw)
{
    Intensity result;
    if (roi.x2 - roi.x1 + 1 == 0 && roi.y2 - roi.y1 + 1 == 0)
        return result; // no ROI drawn yet
    result.measured = true;
    result.percent = !raw;
    if (!source.valid())
        return result;

    // Only the pixels inside the image count; a camera ROI or binning may
    // have left the drawn ROI partly or wholly outside.
    const int left = std::max(std::min(roi.x1, roi.x2), 0);
    const int right = std::min(std::max(roi.x1, roi.x2), source.width - 1);
    const int top = std::max(std::min(roi.y1, roi.y2), 0);
    const int bottom = std::min(std::max(roi.y1, roi.y2), source.height - 1);
    if (left > right || top > bottom)
        return result;

    uint64_t sum = 0;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            sum += source.raw(x, y);
    const uint64_t n = uint64_t(right - left + 1) * uint64_t(bottom - top + 1);

    const bool deep14 = source.displayDepth > 8 && source.dataDepth == 14;
    if (raw) {
        result.value = int((deep14 ? sum >> 2 : sum) / n);
        return result;
    }
    const double fraction = deep14 ? double(sum >> 2) / (16383.0 * double(n))
                                   : double(sum) / (double(source.fullScale()) * double(n));
    result.value = std::min(100, int(fraction * 100.0));
    return result;
}

std::optional<double> roiSharpness(const uint8_t* image, int width, int height, const RoiCorners& roi)
{
    if (!image || width <= 0 || height <= 0)
        return std::nullopt;
    // Right and bottom exclusive.
    const int left = std::min(roi.x1, roi.x2 + 1);
    const int top = std::min(roi.y1, roi.y2 + 1);
    const int right = std::max(roi.x1, roi.x2 + 1);
    const int bottom = std::max(roi.y1, roi.y2 + 1);
    if (right <= left || bottom <= top || left < 0 || top < 0 || right > width || bottom > height)
        return std::nullopt;

    try {
        const cv::Mat whole(height, width, CV_8UC1, const_cast<uint8_t*>(image), size_t(width));
        const cv::Mat area = whole(cv::Rect(left, top, right - left, bottom - top)).clone();
        cv::Mat gx;
        cv::Mat gy;
        cv::Sobel(area, gx, CV_32F, 2, 0, 3);
        cv::Sobel(area, gy, CV_32F, 0, 2, 3);
        const double nx = cv::norm(gx, cv::NORM_L2);
        const double ny = cv::norm(gy, cv::NORM_L2);
        return (ny * ny + nx * nx) / double(area.rows * area.cols);
    } catch (const cv::Exception&) {
        return std::nullopt;
    }
}

Profile lineProfile(const PixelSource& source, const QLine& line)
{
    Profile profile;
    const int x1 = line.x1();
    const int y1 = line.y1();
    const int x2 = line.x2();
    const int y2 = line.y2();
    if (x1 == -10 || y1 == -10 || x2 == -10 || y2 == -10) {
        profile.step = Profile::Close;
        return profile;
    }
    // All zero: the scene's end-of-drag notice. A line of no length, or with
    // an end outside the image, has nothing to show either.
    if (!source.valid() || !source.contains(x1, y1) || !source.contains(x2, y2) || (x1 == x2 && y1 == y2))
        return profile;

    const double scale = 100.0 / double(1u << (source.displayDepth <= 8 ? 8 : 16));
    auto sample = [&](int c, int r) {
        c = std::clamp(c, 0, source.width - 1);
        r = std::clamp(r, 0, source.height - 1);
        return double(source.raw(c, r)) * scale;
    };
    if (std::abs(y2 - y1) < std::abs(x2 - x1)) {
        const float slope = float(y2 - y1) / float(x2 - x1);
        const int first = std::min(x1, x2);
        for (int c = first; c < std::max(x1, x2); ++c) {
            profile.x.append(c - first);
            profile.y.append(sample(c, int(float(c - x1) * slope + float(y1))));
        }
    } else {
        const float slope = float(x2 - x1) / float(y2 - y1);
        const int first = std::min(y1, y2);
        for (int r = first; r < std::max(y1, y2); ++r) {
            profile.x.append(r - first);
            profile.y.append(sample(int(float(r - y1) * slope + float(x1)), r));
        }
    }
    profile.step = Profile::Plot;
    return profile;
}

} // namespace RoiStatistics
