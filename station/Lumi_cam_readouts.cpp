// The main window's readouts: the pixel under the cursor, the ROI's mean
// intensity and sharpness, and the line profile with its plot window.

#include "Lumi_cam.h"

#include "focusDlg.h"
#include "frames/CustomScene.h"
#include "frames/FrameCheck.h"
#include "frames/MyGraphicsView.h"
#include "ui_LUMI_camClass.h"

#include <QLabel>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>

#include <algorithm>
#include <climits>

namespace {

RoiCorners cornersOf(const QRect& roi)
{
    // The scene's corners as stored (QRect(QPoint, QPoint) keeps them as given).
    return {roi.left(), roi.top(), roi.right(), roi.bottom()};
}

} // namespace

void Lumi_cam::buildProfilePlot()
{
    // Above every other window, but showing it does not take the focus.
    m_plot->setWindowFlags(m_plot->windowFlags() | Qt::WindowStaysOnTopHint);
    m_plot->setAttribute(Qt::WA_ShowWithoutActivating);
    m_plot->setWindowTitle(QStringLiteral("Plot Profile"));
    m_plot->setMinimumSize(500, 240);
    m_plot->setAxisTitle(QwtPlot::yLeft, QStringLiteral("Value (%)"));
    m_plot->setAxisTitle(QwtPlot::xBottom, QStringLiteral("Distance (pixels)"));
    for (int axis : {int(QwtPlot::xBottom), int(QwtPlot::yLeft)}) {
        QFont font = m_plot->axisFont(axis);
        font.setPointSize(8);
        m_plot->setAxisFont(axis, font);
    }
    auto* grid = new QwtPlotGrid;
    grid->enableXMin(true);
    grid->setMajorPen(QPen(Qt::black, 0, Qt::DotLine));
    grid->setMinorPen(QPen(Qt::gray, 0, Qt::DotLine));
    grid->attach(m_plot.get());
    m_curve->setPen(QPen(Qt::blue, 0.5, Qt::SolidLine));
    m_curve->setStyle(QwtPlotCurve::Lines);
    m_curve->setRenderHint(QwtPlotItem::RenderAntialiased, true);
    m_curve->attach(m_plot.get());
}

PixelSource Lumi_cam::pixelSource() const
{
    PixelSource source;
    if (!m_connected || !m_lastFrame)
        return source;
    source.displayDepth = m_depths.display;
    source.dataDepth = m_depths.data;
    if (m_colourCamera) {
        // The planes the frame slot filled from the kept frame.
        source.samples16 = ui->actionSChannel->isChecked() ? m_buffers.planeA() : m_buffers.planeB();
        source.width = m_buffers.planeWidth();
        source.height = m_buffers.planeHeight();
        return source;
    }
    const Frame& frame = *m_lastFrame;
    if (!frameIsComplete(frame, m_depths.display))
        return source;
    if (frame.bytesPerSample == 1)
        source.samples8 = frame.data;
    else
        source.samples16 = reinterpret_cast<const uint16_t*>(frame.data);
    source.width = int(frame.width);
    source.height = int(frame.height);
    return source;
}

void Lumi_cam::showCoord(int x, int y)
{
    const PixelSource source = pixelSource();
    if (!source.valid())
        return;
    const QString text = RoiStatistics::pixelReadout(source, x, y, int(m_lastFrame->width), int(m_lastFrame->height));
    if (!text.isEmpty())
        m_sizeLabel->setText(text);
}

void Lumi_cam::calcROIIntensity(QRect)
{
    const PixelSource source = pixelSource();
    if (!source.valid())
        return;
    const RoiStatistics::Intensity intensity =
        RoiStatistics::roiIntensity(source, cornersOf(m_scene->roi()), ui->actionIntensity->isChecked());
    m_scene->setIntensityValue(intensity.value);
    if (intensity.measured)
        m_scene->setPercentDisplay(intensity.percent);
}

void Lumi_cam::calcROISharpness(QRect)
{
    if (!m_connected || m_buffers.renderedWidth() == 0)
        return;
    const std::optional<double> score = RoiStatistics::roiSharpness(
        m_buffers.display(), m_buffers.renderedWidth(), m_buffers.renderedHeight(), cornersOf(m_scene->roi()));
    if (!score)
        return;
    m_sharpness = *score;
    emit currentSHARPNESS(m_sharpness);
    m_scene->setSharpnessValue(int(std::min(m_sharpness, double(INT_MAX))));
    m_focusDlg->setWaitForScore(false); // the autofocus waits for a fresh score
}

void Lumi_cam::showProfilePlot(int x1, int y1, int x2, int y2)
{
    const QLine line(x1, y1, x2, y2);
    const RoiStatistics::Profile profile = RoiStatistics::lineProfile(pixelSource(), line);
    if (profile.step == RoiStatistics::Profile::Close) {
        if (m_plot->isVisible())
            m_plot->close();
        ui->actionPlotProfile->setChecked(false);
        return;
    }
    if (profile.step != RoiStatistics::Profile::Plot)
        return;
    m_profileX = profile.x;
    m_profileY = profile.y;
    m_plot->setAxisTitle(QwtPlot::xBottom, QStringLiteral("Distance, px"));
    m_plot->setAxisTitle(QwtPlot::yLeft, QStringLiteral("%"));
    m_curve->setSamples(m_profileX, m_profileY);
    m_plot->replot();
    if (!m_plot->isVisible())
        m_plot->show();
    m_profileLine = line;
}

void Lumi_cam::plotProfileMode(bool on)
{
    m_view->setDragMode(on ? QGraphicsView::NoDrag : QGraphicsView::RubberBandDrag);
    m_scene->setLineMode(on);
    if (on)
        return;
    if (m_plot->isVisible())
        m_plot->hide();
    m_profileLine = QLine();
}

void Lumi_cam::replotProfile()
{
    // The line last plotted, not the scene's: once the profile tool is off
    // the plot stays hidden.
    if (m_scene->hasProfileLine())
        showProfilePlot(m_profileLine.x1(), m_profileLine.y1(), m_profileLine.x2(), m_profileLine.y2());
}
