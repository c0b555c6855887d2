#include "analysis/BoardCollector.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

void BoardCollector::arm(int h, int v, int wanted, const DisplayBuffers::Options& conversion)
{
    LensCalibration::ObjectPoints board = LensCalibration::boardObjectPoints(h, v);
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_generation;
    m_armed = LensCalibration::patternUsable(h, v);
    m_pattern = cv::Size(h, v);
    m_wanted = wanted;
    m_conversion = conversion;
    m_conversion.colourTable.clear();
    m_board = std::move(board);
    m_views = Views();
    m_error.clear();
}

void BoardCollector::disarm()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_generation;
    m_armed = false;
}

bool BoardCollector::armed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_armed;
}

int BoardCollector::boardsFound() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_views.imagePoints.size());
}

BoardCollector::Views BoardCollector::views() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_views;
}

QString BoardCollector::error() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

int BoardCollector::examine(const Frame& frame)
{
    cv::Size pattern;
    DisplayBuffers::Options conversion;
    unsigned generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const int found = int(m_views.imagePoints.size());
        if (!m_armed || found >= m_wanted)
            return found;
        pattern = m_pattern;
        conversion = m_conversion;
        generation = m_generation;
    }

    if (frame.width != m_imageWidth || frame.height != m_imageHeight || conversion.colour != m_imageColour) {
        m_image.allocate(frame.width, frame.height, conversion.colour);
        m_imageWidth = frame.width;
        m_imageHeight = frame.height;
        m_imageColour = conversion.colour;
    }
    const QImage image = m_image.render(frame, conversion);
    if (image.isNull())
        return boardsFound();

    const cv::Mat gray(image.height(), image.width(), CV_8UC1, const_cast<uchar*>(image.constBits()),
                       size_t(image.bytesPerLine()));
    LensCalibration::ImagePoints corners;
    bool found = false;
    QString error;
    try {
        found = cv::findChessboardCorners(gray, pattern, corners,
                                          cv::CALIB_CB_ADAPTIVE_THRESH | cv::CALIB_CB_FAST_CHECK);
        if (found)
            cv::cornerSubPix(gray, corners, cv::Size(11, 11), cv::Size(-1, -1),
                             cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 100, 0.01));
    } catch (const cv::Exception& e) {
        found = false;
        error = QString::fromStdString(e.err);
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    if (generation == m_generation) {
        m_views.imageSize = gray.size();
        if (!error.isEmpty()) {
            m_error = error;
            m_armed = false;
        } else if (found && int(m_views.imagePoints.size()) < m_wanted) {
            m_views.imagePoints.push_back(std::move(corners));
            m_views.objectPoints.push_back(m_board);
        }
    }
    return int(m_views.imagePoints.size());
}
