// The main window's camera slots: search, connection, controls, the camera's
// settings dialogs, acquisition thread and acquisition start and stop.

#include "Lumi_cam.h"

#include "ModeToolBar.h"
#include "Prompt.h"
#include "SidePanel.h"
#include "StationTexts.h"
#include "analysis/calDlg.h"
#include "camera/camSearchDlg.h"
#include "camera/PayloadSize.h"
#include "camera/FeatureValues.h"
#include "camera/Thread.h"
#include "runs/RunRules.h"
#include "dialogs/ioSettingsDlg.h"
#include "dialogs/sensorSettingsDlg.h"
#include "ui_LUMI_camClass.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>

#include <cstring>

namespace {

// A camera that cannot give us its stream within this many one-second tries
// is given up (it is usually held by a stale stream of another program).
constexpr int streamOpenAttempts = 5;
constexpr unsigned long streamRetryMs = 1000;

// Said once per stream: without its raised priority the receiving thread
// waits behind the station's own threads, and a loaded machine makes it lose
// packets and frames, which the operator should be able to trace to this.
void logReceiverPriority(const NqReceiverPriority& priority)
{
    switch (priority.state) {
    case NqReceiverPriority::State::Raised:
        qCInfo(lcShell).noquote() << QStringLiteral("stream: receiving thread raised to nice %1 (the station runs at %2)")
                                         .arg(priority.threadNice)
                                         .arg(priority.processNice);
        break;
    case NqReceiverPriority::State::Refused:
        qCWarning(lcShell).noquote()
            << QStringLiteral("stream: receiving thread not raised, the system refused it (%1): it runs at nice %2 "
                              "like the rest of the station and may lose packets under load")
                   .arg(QString::fromLocal8Bit(strerror(priority.error)))
                   .arg(priority.threadNice);
        qCWarning(lcShell).noquote()
            << QStringLiteral("stream: to grant the receiving thread its priority, run the station as root, or give "
                              "the program CAP_SYS_NICE (setcap cap_sys_nice+ep %1), or let its user set nice values "
                              "down to -10 (RLIMIT_NICE: a line \"<user> - nice -10\" in /etc/security/limits.conf)")
                   .arg(QCoreApplication::applicationFilePath());
        break;
    case NqReceiverPriority::State::Pending:
        qCWarning(lcShell) << "stream: receiving thread not started yet, its priority is not known";
        break;
    }
}

} // namespace

void Lumi_cam::openCamera(bool on)
{
    if (!on) {
        openCam(false);
        return;
    }
    m_searchDlg->setModal(true);
    m_searchDlg->startSearch();
    m_searchDlg->show();
}

void Lumi_cam::uncheckConnectButton()
{
    ui->actionOpenCam->setChecked(false);
}

void Lumi_cam::openCam(bool on)
{
    if (!on) {
        // A run in progress ends as the user would end it, while the camera
        // is still there to be stopped.
        ui->actionCapture->setChecked(false);
        ui->actionRun->setChecked(false);
        m_connected = false;
        disconnectCamera();
        m_sensorDlg.reset();
        m_ioDlg.reset();
        m_connectionLabel->setText(QStringLiteral("Disconnected"));
        ui->toolBarCam->setEnabled(false);
        setCameraControlsEnabled(false);
        return;
    }

    const NqDeviceInfo* info = m_searchDlg->currentDeviceInfo();
    if (!info) {
        Prompt::current().message(this, Prompt::Information, QStringLiteral("Error"),
                                  QStringLiteral("Can't connect this camera"));
        ui->actionOpenCam->setChecked(false);
        return;
    }
    m_cameraModel = StationTexts::fromSdk(info->GetModel());
    connectCamera(info);
    if (!m_connected) {
        ui->actionOpenCam->setChecked(false);
        return;
    }
    createCameraDialogs();

    ui->toolBarCam->setEnabled(true);

    showCameraIdentity(StationTexts::fromSdk(m_device.GetDeviceInfo()->GetUserDefinedName()));

    if (!m_twoGate)
        applyCameraConfig();
    ui->actionRadiometric_Mode->setChecked(true);
    updateDepth(m_depths.display);
    m_shownFrameSize = QSize();
    showFrameSize(m_imageWidth, m_imageHeight);

    switchGate(ui->actionGates->isChecked());
    m_toolBar->rebuild(1);
    m_twoGate = false;
    applyCameraConfig();
    ui->actionLifetime_mode->setText(QStringLiteral("Switch to Lifetime"));

    m_workPath = m_panel->workFolder->text();
    if (!m_workPath.isEmpty())
        QDir().mkpath(m_workPath);

    setCameraControlsEnabled(true);
}

void Lumi_cam::connectCamera(const NqDeviceInfo* info)
{
    if (!info)
        return;
    disconnectCamera();

    m_lastResult = m_device.Connect(info, NqDevice::AccessControl);
    if (!m_lastResult.IsOK()) {
        qCWarning(lcShell) << "connectCamera: connect failed:" << m_lastResult.GetDescription().GetAscii();
        if (QString::fromUtf8(m_lastResult.GetDescription().GetAscii()).contains(QLatin1String("already in use")))
            Prompt::current().message(nullptr, Prompt::Warning, QStringLiteral("Warning"),
                                      QStringLiteral("Selected camera is already in use!"));
        ui->actionOpenCam->setChecked(false);
        disconnectCamera();
        m_connected = false;
        return;
    }
    m_connected = true;

    if (!m_device.NegotiatePacketSize(0, 9000).IsOK()) {
        Prompt::current().message(nullptr, Prompt::Warning, QStringLiteral("Warning"),
                                  QStringLiteral("Can't set 9000 as packet size"));
        m_device.NegotiatePacketSize(0, 0);
        QThread::msleep(1000);
    }

    const NqString cameraIp = m_device.GetIPAddress();
    for (int attempt = 1; attempt <= streamOpenAttempts; ++attempt) {
        m_lastResult = m_stream.Open(cameraIp, 0, 0, NqString(), streamBuffers);
        if (m_lastResult.IsOK())
            break;
        qCWarning(lcShell) << "connectCamera: stream open failed, attempt" << attempt << ":"
                           << m_lastResult.GetDescription().GetAscii();
        if (attempt < streamOpenAttempts)
            QThread::msleep(streamRetryMs);
    }
    m_device.SetStreamDestination(m_stream.GetLocalIPAddress(), m_stream.GetLocalPort(), 0);

    if (m_stream.IsOpen()) {
        logReceiverPriority(m_stream.GetReceiverPriority());
        createAcqThread();
        return;
    }
    disconnectCamera();
    m_connected = false;
    ui->actionOpenCam->setChecked(false);
}

void Lumi_cam::disconnectCamera()
{
    endAcquisitionThread();
    m_device.Disconnect();
    m_stream.Close();
    releaseImageBuffers();
}

void Lumi_cam::endAcquisitionThread()
{
    // Waits in progress (an exposure sequence) must not reach for a device
    // that has gone.
    m_wait.cancel();
    storeQueuedCaptureFrames();
    m_endCaptureAfterDrain = false;
    m_writer.endRun();
    destroyAcqThread();
}

void Lumi_cam::releaseImageBuffers()
{
    m_buffers = DisplayBuffers();
}

void Lumi_cam::setCameraControlsEnabled(bool on)
{
    Ui::LUMI_camClass& f = *ui;
    f.actionRun->setEnabled(on);
    // With no work folder there is nowhere to capture to: leave the action as it is.
    if (!m_panel->workFolder->text().isEmpty())
        f.actionCapture->setEnabled(on);
    for (QAction* action : {f.actionTurbo, f.actionLUT, f.actionDScale, f.actionTrigger,
                            f.actionShow_Quantum_Efficiency, f.actionCamera_Info, f.actionGates,
                            f.actionSet_Camera_Name, f.actionReboot_Camera, f.actionReset_Camera,
                            f.actionSensor_Settings, f.actionInput_Ouput_Signals, f.actionDistortion})
        action->setEnabled(on);
    m_panel->setCameraWidgetsEnabled(on);
    // Lifetime mode is for monochrome cameras only.
    f.actionLifetime_mode->setEnabled(on && !m_colourCamera);
}

void Lumi_cam::createCameraDialogs()
{
    m_sensorDlg = std::make_unique<sensorSettingsDlg>(&m_device);
    connect(m_sensorDlg.get(), &sensorSettingsDlg::setDepth, this, &Lumi_cam::updateDepth);
    connect(m_sensorDlg.get(), &sensorSettingsDlg::setBinning, this, &Lumi_cam::updateBinning);
    connect(m_sensorDlg.get(), &sensorSettingsDlg::updMaxExposure, this, &Lumi_cam::updateExposureRange);
    m_ioDlg = std::make_unique<ioSettingsDlg>(&m_device);
    // The dialogs show the camera's settings again; the status bar says what it refused.
    const auto showRefusal = [this](const QString& text) {
        qCWarning(lcShell) << text;
        showNotice(text);
    };
    connect(m_sensorDlg.get(), &sensorSettingsDlg::writeRefused, this, showRefusal);
    connect(m_ioDlg.get(), &ioSettingsDlg::writeRefused, this, showRefusal);
}

void Lumi_cam::showSensorDlg()
{
    if (!m_sensorDlg || !m_connected)
        return;
    m_sensorDlg->loadFromCamera();
    updateSensorDialogLock();
    m_sensorDlg->setModal(true);
    m_sensorDlg->show();
}

void Lumi_cam::updateSensorDialogLock()
{
    if (m_sensorDlg)
        m_sensorDlg->setRunActive(m_previewing || m_capturing);
}

void Lumi_cam::showioDlg()
{
    if (!m_ioDlg || !m_connected)
        return;
    m_ioDlg->loadFromCamera();
    m_ioDlg->setModal(true);
    m_ioDlg->show();
}

void Lumi_cam::createAcqThread()
{
    m_thread = new Thread(&m_device, &m_pipeline);
    m_thread->setAverageCount(m_averageCount);
    m_thread->setBoardCollector(m_boards.get());
    connect(m_thread, &Thread::imageReady, this, &Lumi_cam::showSignal);
    connect(m_thread, &Thread::captureDone, this, &Lumi_cam::stopCapture);
    connect(m_thread, &Thread::camTempStatus, this, &Lumi_cam::updateCamTemp);
    connect(m_thread, &Thread::cameraLost, this, &Lumi_cam::cameraLost);
    connect(m_thread, &Thread::framesIncomplete, this, &Lumi_cam::framesIncomplete);
    m_thread->start(QThread::InheritPriority);
    m_pipeline.Start();
    connect(m_thread, &Thread::boardfound, m_calDlg, &calDlg::updateCal);
}

void Lumi_cam::destroyAcqThread()
{
    if (m_thread) {
        // Synchronous: once stop() returns the thread emits nothing more and
        // no longer touches the pipeline.
        m_thread->stop();
        delete m_thread;
        m_thread = nullptr;
        // Frames still queued to this window hold pipeline buffers: let them
        // go before the pipeline stops. Only the acquisition thread queues
        // calls to the window itself (the writer reports to an object of its own).
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    }
    // So do the frames queued by a frame slot that is processing events.
    m_frames.discardPending();
    endFrameAnalysis();
    if (m_pipeline.IsStarted())
        m_pipeline.Stop();
}

void Lumi_cam::startAcquisition()
{
    NqGenParameterArray* device = m_device.GetGenParameters();
    NqGenInteger* paramsLocked = device->GetInteger("TLParamsLocked");
    NqGenParameterArray* streamParameters = m_stream.GetParameters();
    NqGenCommand* streamReset = streamParameters ? streamParameters->GetCommand("Reset") : nullptr;
    NqGenCommand* start = device->GetCommand("AcquisitionStart");

    if (m_stream.IsOpen()) {
        const uint32_t size = getPayloadSize();
        if (size != 0)
            m_pipeline.SetBufferSize(size);
        m_pipeline.Reset();
    }
    if (streamReset)
        streamReset->Execute();
    device->SetEnumValue("AcquisitionMode", int64_t(0));
    if (paramsLocked)
        paramsLocked->SetValue(1);
    if (start)
        start->Execute();
    updateSilenceLimit();
}

void Lumi_cam::updateSilenceLimit()
{
    updateSilenceLimit(m_currentExposure);
}

unsigned Lumi_cam::updateSilenceLimit(double exposureUs)
{
    if (!m_thread)
        return 0;
    NqGenParameterArray* params = cameraParameters();
    if (!params || !(m_previewing || m_capturing)) {
        m_thread->setSilenceLimit(0);
        return 0;
    }
    // A free-running camera whose stream stays silent is gone. Its frames
    // last as long as the camera says, whatever exposure was asked of it.
    int64_t triggerMode = 0;
    int64_t frameTime = 0;
    FeatureValues::readEnum(params, "TriggerMode", triggerMode);
    FeatureValues::readInteger(params, "FRM_TIM_ACT", frameTime);
    const unsigned limit = RunRules::silenceLimitMs(triggerMode != 0, exposureUs, double(frameTime));
    m_thread->setSilenceLimit(limit);
    return limit;
}

void Lumi_cam::stopAcquisition()
{
    if (m_thread)
        m_thread->setSilenceLimit(0);
    NqGenParameterArray* device = m_device.GetGenParameters();
    device->ExecuteCommand("AcquisitionStop");
    if (NqGenInteger* paramsLocked = device->GetInteger("TLParamsLocked"))
        paramsLocked->SetValue(0);
}

void Lumi_cam::cameraLost()
{
    if (!m_connected)
        return;
    const QString name = StationTexts::fromSdk(m_device.GetDeviceInfo()->GetUserDefinedName());
    qCWarning(lcShell) << "camera" << name << "is gone";
    // Nothing more is asked of it, and disconnecting it does not wait for it.
    m_device.MarkLost();
    // The normal way out: a run ends as the user would end it, files kept.
    const Prompt::NoWait noWait;
    ui->actionOpenCam->setChecked(false);
    Prompt::current().message(this, Prompt::Critical, QStringLiteral("Camera error"),
                              QStringLiteral("Camera <b>%1</b> does not answer any more: it was disconnected. "
                                             "Connect it again once it is back.")
                                  .arg(name));
}

void Lumi_cam::framesIncomplete(unsigned long long incomplete, qint64 ms)
{
    if (!m_previewing && !m_capturing)
        return;
    const QString name = StationTexts::fromSdk(m_device.GetDeviceInfo()->GetUserDefinedName());
    qCWarning(lcShell) << "camera" << name << "completed no frame for" << ms << "ms: the run ends";
    showRunErrors();
    // The run ends as the user would end it (a capture is not done); the
    // camera still answers, so it stays connected.
    const Prompt::NoWait noWait;
    ui->actionCapture->setChecked(false);
    ui->actionRun->setChecked(false);
    Prompt::current().message(this, Prompt::Critical, QStringLiteral("Camera error"),
                              QStringLiteral("Camera <b>%1</b> delivered no complete frame for %2 s (%3 incomplete): "
                                             "the run was stopped. Check the network between the camera and "
                                             "this computer.")
                                  .arg(name)
                                  .arg(double(ms) / 1000.0, 0, 'f', 1)
                                  .arg(incomplete));
}

uint32_t Lumi_cam::getPayloadSize()
{
    return m_device.IsConnected() ? payloadSizeOf(m_device.GetGenParameters()) : 0;
}

NqGenParameterArray* Lumi_cam::cameraParameters()
{
    return m_connected && m_device.IsConnected() && !m_device.IsLost() ? m_device.GetGenParameters() : nullptr;
}
