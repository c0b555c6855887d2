#include "analysis/LensCalibration.h"

#include <opencv2/calib3d.hpp>

#include <QFile>
#include <QRegularExpression>

#include <cfloat>
#include <cmath>

LensCalibration::ObjectPoints LensCalibration::boardObjectPoints(int h, int v)
{
    ObjectPoints points;
    if (h <= 0 || v <= 0)
        return points;
    points.reserve(size_t(h) * size_t(v));
    for (int i = 0; i < h * v; ++i)
        points.emplace_back(float(i / h), float(i % h), 0.0f);
    return points;
}

QString LensCalibration::suggestedFileName(const QString& serial, const QDateTime& when)
{
    QString time = QStringLiteral("%1 %2").arg(when.date().toString(Qt::TextDate), when.time().toString(Qt::TextDate));
    time.replace(QRegularExpression(QStringLiteral("\\s")), QStringLiteral("_"));
    time.replace(QLatin1Char(':'), QLatin1Char('.'));
    return QStringLiteral("distortion%1_%2.xml").arg(serial, time);
}

namespace {

// Views that give OpenCV nothing to work with come back as not-a-number
// matrices; kept, they would turn every later computation into the same.
bool usableResult(double rms, const cv::Mat& camera, const cv::Mat& distortion)
{
    return std::isfinite(rms) && cv::checkRange(camera) && cv::checkRange(distortion)
           && camera.at<double>(0, 0) > 0 && camera.at<double>(1, 1) > 0;
}

} // namespace

LensCalibration::Result LensCalibration::compute(const std::vector<ObjectPoints>& objectPoints,
                                                 const std::vector<ImagePoints>& imagePoints, cv::Size imageSize)
{
    Result result;
    // Copies in, so that a failure leaves the kept matrices as they were.
    cv::Mat camera = m_cameraMatrix.clone();
    cv::Mat distortion = m_distortion.clone();
    std::vector<cv::Mat> rotations;
    std::vector<cv::Mat> translations;
    try {
        result.rms = cv::calibrateCamera(objectPoints, imagePoints, imageSize, camera, distortion, rotations,
                                         translations, cv::CALIB_FIX_ASPECT_RATIO,
                                         cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 30,
                                                          DBL_EPSILON));
    } catch (const cv::Exception& e) {
        result.error = QString::fromStdString(e.err);
        return result;
    }
    if (!usableResult(result.rms, camera, distortion)) {
        result.error = QStringLiteral("the views do not determine the camera (RMS = %1 px)").arg(result.rms, 0, 'g', 6);
        return result;
    }
    m_cameraMatrix = camera;
    m_distortion = distortion;
    result.ok = true;
    return result;
}

QString LensCalibration::save(const QString& path) const
{
    if (!hasResult())
        return QStringLiteral("No calibration has been computed yet.");
    try {
        cv::FileStorage storage(QFile::encodeName(path).toStdString(),
                                cv::FileStorage::WRITE | cv::FileStorage::FORMAT_XML);
        if (!storage.isOpened())
            return QStringLiteral("Unable to write file <b>%1</b>").arg(path.toHtmlEscaped());
        storage << "Intrinsic_Matrix" << m_cameraMatrix;
        storage << "Distortion" << m_distortion;
        storage.release();
    } catch (const cv::Exception& e) {
        return QStringLiteral("Unable to write file <b>%1</b>: %2")
            .arg(path.toHtmlEscaped(), QString::fromStdString(e.err).toHtmlEscaped());
    }
    return QString();
}
