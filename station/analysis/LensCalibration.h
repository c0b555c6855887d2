#pragma once

#include <opencv2/core.hpp>

#include <QDateTime>
#include <QString>

#include <vector>

// Lens calibration from chessboard views: the board's object points, the
// computation of the camera matrix and distortion coefficients (kept from one
// computation to the next, whose input they are) and the calibration file.
class LensCalibration
{
public:
    using ImagePoints = std::vector<cv::Point2f>;
    using ObjectPoints = std::vector<cv::Point3f>;

    // One board of h x v inner corners in units of one square: point i is
    // (i / h, i mod h, 0).
    static ObjectPoints boardObjectPoints(int h, int v);
    // The corner search needs at least 3 x 3 inner corners.
    static bool patternUsable(int h, int v) { return h >= 3 && v >= 3; }
    // "distortion<serial>_<date>_<time>.xml", with no blank and no colon.
    static QString suggestedFileName(const QString& serial, const QDateTime& when);

    struct Result
    {
        bool ok = false;
        double rms = 0;  // reprojection error, pixels
        QString error;   // why it failed
    };
    // Computes from the views (one object-point and one image-point list per
    // board) of images of `imageSize`. On failure the kept matrices stay.
    Result compute(const std::vector<ObjectPoints>& objectPoints, const std::vector<ImagePoints>& imagePoints,
                   cv::Size imageSize);

    bool hasResult() const { return !m_cameraMatrix.empty(); }
    const cv::Mat& cameraMatrix() const { return m_cameraMatrix; }
    const cv::Mat& distortion() const { return m_distortion; }

    // Writes "Intrinsic_Matrix" and "Distortion" as XML to `path`; the
    // reason when it cannot, else an empty text.
    QString save(const QString& path) const;

private:
    cv::Mat m_cameraMatrix;
    cv::Mat m_distortion;
};
