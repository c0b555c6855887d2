// The main window's frame slot and its display, view and capture-file slots.

#include "Lumi_cam.h"

#include "Prompt.h"
#include "SidePanel.h"
#include "StationTexts.h"
#include "camera/CameraConfig.h"
#include "camera/CameraImageArea.h"
#include "camera/Thread.h"
#include "capture/SettingsSidecar.h"
#include "frames/CustomScene.h"
#include "frames/MyGraphicsView.h"
#include "frames/StatusTexts.h"
#include "runs/TmxLink.h"
#include "ui_LUMI_camClass.h"

#include <QCheckBox>
#include <QGraphicsPixmapItem>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QSpinBox>

void Lumi_cam::showSignal(unsigned long long, FrameRef frame)
{
    if (m_silenceRefresh.hasExpired()) {
        m_silenceRefresh = QDeadlineTimer(QDeadlineTimer::Forever);
        updateSilenceLimit();
    }
    // The frame carries its own counter (frame->number), which is the signal's.
    if (frame && m_frames.offer(std::move(frame)))
        drainFrames();
}

void Lumi_cam::drainFrames()
{
    // The timer below may fire while a pass processes events.
    if (m_frames.passRunning())
        return;
    // A box must not hold the frames behind it (nor a console's run).
    const Prompt::NoWait noWait;
    for (size_t n = m_frames.beginPass(); n > 0; --n)
        if (FrameRef next = m_frames.next())
            handleFrame(next);
    // Frames left over go in the next pass: the next frame's call starts it,
    // or this timer when no frame comes. A timer, not a queued call:
    // destroyAcqThread removes the calls queued to this window.
    if (m_frames.endPass()) {
        m_nextDrainPass->start();
        return;
    }
    if (m_endCaptureAfterDrain) {
        m_endCaptureAfterDrain = false;
        m_writer.endRun();
    }
}

void Lumi_cam::handleFrame(const FrameRef& frame)
{
    const Frame& f = *frame;
    Ui::LUMI_camClass& form = *ui;
    showFrameSize(int64_t(f.width), int64_t(f.height));
    if (m_colourCamera)
        m_buffers.fillPlanes(f, m_depths.display, greenAveraging());

    // A frame of the capture is stored even when the capture ended while it
    // waited in the queue; those beyond the target are not, nor those of an
    // earlier run (a preview's) still queued when the capture started.
    const bool captured = m_writer.runOpen() && isCaptureFrame(f);
    if (captured)
        storeCaptureFrame(frame);

    // Double framing shows one gate's frames only; the other's are stored.
    if (!m_colourCamera && form.actionDouble_Framing_Mode->isChecked() && (f.number & 1) == (m_frameChoice ? 1u : 0u))
        return;

    if (!showFrame(frame))
        return; // does not fit the buffers: dropped and counted
    ++m_displayedFrames;

    QCoreApplication::processEvents();

    if (m_tmx->isControlling() && m_twoGate)
        sendTMXRun();

    m_streamStats.update(m_stream.IsOpen() ? m_stream.GetParameters() : nullptr);
    // A frame that came after its run ended (the camera stops a little
    // later) leaves the texts of that run.
    if (m_capturing || m_previewing || captured) {
        showRunErrors();
        StatusTexts::RunStatus status;
        status.capturing = m_capturing || captured;
        status.radiometric = form.actionRadiometric_Mode->isChecked();
        status.counter = f.number;
        status.framesPerSecond = m_thread ? m_thread->frameRate() : 0.0;
        status.bandwidthMbps = m_streamStats.bandwidthMbps;
        status.dataDepth = m_depths.data;
        status.targetFrames = m_captureTarget;
        m_statusLabel->setText(StatusTexts::runStatusText(status));
    }

    m_scene->updateIntesity();
    m_scene->updateSharpness();
    m_scene->setFrameShown();
    followCalibration();
    replotProfile();
}

void Lumi_cam::showFrameSize(int64_t width, int64_t height)
{
    const QSize size{int(width), int(height)};
    if (size == m_shownFrameSize)
        return; // a pixel readout stays until the size changes
    m_shownFrameSize = size;
    m_sizeLabel->setText(QStringLiteral("%1x%2").arg(width).arg(height));
}

// Neither is connected by the station: a picture or text of another source
// shown at once.
void Lumi_cam::showImage(QImage* image)
{
    if (image)
        m_scene->pixmapItem()->setPixmap(QPixmap::fromImage(*image));
    QCoreApplication::processEvents();
}

void Lumi_cam::showSize(QString text)
{
    m_statusLabel->setText(text);
    QCoreApplication::processEvents();
}

void Lumi_cam::showRunErrors()
{
    // Every frame of the run that did not reach the window or its file.
    const int64_t errors = int64_t((m_thread ? m_thread->errorCount() : 0)
                                   + (m_writer.runOpen() ? m_writer.lostFrames() : 0));
    m_temperatureLabel->setStyleSheet(StatusTexts::streamErrorStyle(errors));
    m_temperatureLabel->setText(StatusTexts::streamErrorText(errors, m_streamStats.lastError));
}

void Lumi_cam::updateDepth(int depth)
{
    m_depths.display = depth;
    NqGenParameterArray* params = cameraParameters();
    if (!params)
        return;
    int64_t width = 0;
    int64_t height = 0;
    if (CameraImageArea::readSensorSize(params, width, height))
        m_buffers.allocate(width, height, m_colourCamera);
    else
        CameraImageArea::warnSensorSizeUnreadable(this);
    m_depths = CameraImageArea::readSampleDepths(params);
}

void Lumi_cam::followImageSize()
{
    NqGenParameterArray* params = cameraParameters();
    if (!params)
        return;
    const QSize size = CameraImageArea::readImageSize(params);
    if (!size.isValid())
        return;
    m_imageWidth = size.width();
    m_imageHeight = size.height();
    showFrameSize(m_imageWidth, m_imageHeight);
    m_scene->setSceneSize(size.width(), size.height());
    updateDepth(m_depths.display);
}

void Lumi_cam::roiMode(bool on)
{
    m_scene->setRoiResizeMode(on);
    if (on)
        return;
    if (NqGenParameterArray* params = cameraParameters()) {
        CameraImageArea::resetToFullFrame(params);
        followImageSize();
    }
}

void Lumi_cam::changeImageSize(QRect rect)
{
    if (NqGenParameterArray* params = cameraParameters()) {
        CameraImageArea::applyRoi(params, rect);
        followImageSize();
    }
}

void Lumi_cam::zoomIn()
{
    m_view->zoomIn();
}

void Lumi_cam::zoomOut()
{
    m_view->zoomOut();
}

void Lumi_cam::zoomFit()
{
    const ImageSize scene = sceneSizeFor(ImageSize{m_imageWidth, m_imageHeight}, m_colourCamera);
    m_scene->setSceneRect(0, 0, double(scene.width), double(scene.height));
    m_view->zoomFit();
}

void Lumi_cam::applyScale(bool on)
{
    m_normalise = on;
}

void Lumi_cam::doSubFolder(bool on)
{
    m_subFolder = on;
}

// The run animations: their current picture is the run and capture icon.
void Lumi_cam::setButtonIcon(int)
{
    ui->actionRun->setIcon(QIcon(m_playMovie->currentPixmap()));
}

void Lumi_cam::setButtonIcon2(int)
{
    ui->actionCapture->setIcon(QIcon(m_recordMovie->currentPixmap()));
}

void Lumi_cam::storeCaptureFrame(const FrameRef& frame)
{
    m_writer.offer(frame, m_gate.number);
    // Two-gate captures alternate the gates frame by frame.
    if (m_captureRow == CaptureRow::MonoTwoGate) {
        ui->actionGates->setChecked((frame->number & 1) != 0);
        changeExposure(ExposureUnits::fromMicroseconds(m_gate.exposure, m_unit));
        sendTMXProgram();
    }
}

void Lumi_cam::captureWriteFailed(int run, WriteFailure failure)
{
    // The first failed write ends the capture as a user stop does (it is not
    // done); the box says which file and why, once per run.
    const Prompt::NoWait noWait;
    if (run == m_captureRun && m_capturing)
        ui->actionCapture->setChecked(false);
    const FailureBox box = failureBox(failure);
    Prompt::current().message(this, box.icon, box.title, box.text);
}

void Lumi_cam::captureRunEnded(CaptureQueue::Summary summary)
{
    if (summary.run != m_doneRun)
        return;
    if (summary.failed || summary.lost > 0 || m_doneLosses > 0) {
        qCWarning(lcShell) << "capture" << summary.run << "lost" << summary.lost << "frames in writing and"
                           << m_doneLosses << "from the camera: it is not reported done";
        m_doneRun = 0;
        return;
    }
    m_doneWritten = true;
    reportCaptureDone();
}

void Lumi_cam::reportCaptureDone()
{
    if (m_doneRun == 0 || !m_doneWritten)
        return;
    // The capture's last generator requests are answered, or given up,
    // within a second; those of a preview after it do not count.
    if (!m_tmx->settledUpTo(m_generatorLastRequest))
        return;
    const int run = m_doneRun;
    m_doneRun = 0;
    if (m_generatorFailed) {
        qCWarning(lcShell) << "capture" << run << "had generator requests without an answer: it is not reported done";
        return;
    }
    if (!m_capturing && m_connected)
        m_captureDone = true;
}

void Lumi_cam::generatorRequestFailed(quint64 request)
{
    if (request > m_generatorFirstRequest && request <= m_generatorLastRequest)
        m_generatorFailed = true;
}

void Lumi_cam::beginCaptureFiles()
{
    CaptureWriter::Run run;
    run.names = {m_workPath, m_panel->prefix->text(), m_panel->point->text()};
    run.mode.colour = m_colourCamera;
    run.mode.twoGate = m_twoGate;
    run.mode.doubleFraming = ui->actionDouble_Framing_Mode->isChecked();
    run.mode.multiPage = m_panel->multipage->isChecked();
    run.mode.splitColours = m_panel->splitColors->isChecked();
    run.format.displayDepth = m_depths.display;
    run.format.dataDepth = m_depths.data;
    run.averaging = int(m_averageCount);
    run.averageGreens = greenAveraging();
    run.targetFrames = m_captureTarget;
    // Not to this capture's files under the same numbers.
    storeQueuedCaptureFrames();
    m_endCaptureAfterDrain = false;
    m_captureLastFrame = m_captureTarget < 0 ? ~0ull : (unsigned long long)(m_captureTarget);
    m_captureRow = captureRowFor(run.mode);
    m_captureRun = m_writer.beginRun(run);
}

void Lumi_cam::storeQueuedCaptureFrames()
{
    // A capture that ended while the frame slot was processing events still
    // owns the frames queued meanwhile. They are stored now, before a new
    // capture or a disconnect would take them, and are not shown any more.
    if (!m_endCaptureAfterDrain)
        return;
    for (const FrameRef& frame : m_frames.takePending())
        if (isCaptureFrame(*frame))
            m_writer.offer(frame, m_gate.number);
}

bool Lumi_cam::isCaptureFrame(const Frame& frame) const
{
    return frame.run == m_captureFramesRun && frame.number <= m_captureLastFrame;
}

void Lumi_cam::endCaptureFiles()
{
    if (m_thread)
        m_captureLastFrame = std::min(m_captureLastFrame, m_thread->framesReceived());
    if (m_frames.busy())
        m_endCaptureAfterDrain = true;
    else
        m_writer.endRun();
}

WriteFailure Lumi_cam::writeSidecar()
{
    SidecarCamera camera;
    camera.model = m_connectionDescription;
    camera.colour = m_colourCamera;
    camera.serial = m_serialNumber;
    camera.temperature = m_thread ? m_thread->temperature() : m_cameraTemperature;
    camera.ipAddress = QHostAddress(StationTexts::fromSdk(m_device.GetIPAddress())).toIPv4Address();
    readSidecarFeatures(cameraParameters(), camera);
    SidecarCapture capture;
    capture.mode = captureModeName(ui->actionDouble_Framing_Mode->isChecked(),
                                   ui->actionFrame_Accumulation_Mode->isChecked(),
                                   ui->actionRadiometric_Mode->isChecked());
    capture.frames = m_panel->frames->value();
    capture.folder = m_panel->workFolder->text();
    capture.prefix = m_panel->prefix->text();
    capture.point = m_panel->point->text();
    capture.average = int(m_averageCount);
    const QString path = sidecarPath({m_workPath, capture.prefix, capture.point});
    if (writeSettingsFile(path, camera, capture, QDateTime::currentDateTime()))
        return {};
    WriteFailure failure{WriteFailure::Sidecar, path, probeWriteError(path)};
    qCWarning(lcShell).noquote() << "writeSidecar:" << path << "could not be written:"
                                 << writeFailureReason(failure.error);
    return failure;
}
