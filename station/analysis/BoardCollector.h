#pragma once

#include "analysis/LensCalibration.h"
#include "camera/Frame.h"
#include "frames/DisplayBuffers.h"

#include <QString>

#include <mutex>

#include <vector>

// Collects chessboard views for the lens calibration. The GUI thread arms it
// with the pattern and the display conversion; the acquisition thread shows
// it every frame, and while armed it converts the frame to 8 bits as the
// display does, searches the chessboard there and keeps the refined corners.
// Counts and corner lists cross between the threads under one mutex: copied
// under it, searched without it.
class BoardCollector
{
public:
    struct Views
    {
        std::vector<LensCalibration::ObjectPoints> objectPoints;
        std::vector<LensCalibration::ImagePoints> imagePoints;
        cv::Size imageSize; // of the last image searched
    };

    // GUI thread. Starts a collection of `wanted` boards of h x v inner
    // corners (at least 3 x 3), forgetting the views of the last one.
    void arm(int h, int v, int wanted, const DisplayBuffers::Options& conversion);
    // Ends the collection; the views stay until the next arm().
    void disarm();
    bool armed() const;
    int boardsFound() const;
    Views views() const;
    // Why the last search failed (empty when none did); the failure disarms.
    QString error() const;

    // Acquisition thread (one at a time): searches the frame while armed and
    // short of boards. Returns the boards found so far.
    int examine(const Frame& frame);

private:
    mutable std::mutex m_mutex;
    // Under m_mutex.
    bool m_armed = false;
    unsigned m_generation = 0; // a search of an earlier collection is not kept
    cv::Size m_pattern;
    int m_wanted = 0;
    DisplayBuffers::Options m_conversion;
    LensCalibration::ObjectPoints m_board;
    Views m_views;
    QString m_error;

    // The searching thread's own: the 8-bit image it searches, sized per
    // geometry, not per frame.
    DisplayBuffers m_image;
    uint32_t m_imageWidth = 0;
    uint32_t m_imageHeight = 0;
    bool m_imageColour = false;
};
