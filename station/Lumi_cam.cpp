#include "Lumi_cam.h"

#include "CameraConfig.h"
#include "CameraImageArea.h"
#include "CustomScene.h"
#include "ModeFeatures.h"
#include "ModeSteps.h"
#include "ModeToolBar.h"
#include "MyGraphicsView.h"
#include "PayloadSize.h"
#include "Prompt.h"
#include "RemoteServer.h"
#include "RunRules.h"
#include "SettingsSidecar.h"
#include "SidePanel.h"
#include "StationRemote.h"
#include "StationSettings.h"
#include "StationTexts.h"
#include "StatusTexts.h"
#include "Thread.h"
#include "TmxLink.h"
#include "camSearchDlg.h"
#include "setIPDlg.h"
#include "ui_LUMI_camClass.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGraphicsPixmapItem>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMovie>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>
#include <QToolButton>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_text.h>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcShell, "kessane.station.shell")

namespace {

// A camera that cannot give us its stream within this many one-second tries
// is given up (it is usually held by a stale stream of another program).
constexpr int streamOpenAttempts = 5;
constexpr unsigned long streamRetryMs = 1000;
constexpr int64_t colourCcdType = 12;

QString text(const NqString& s)
{
    return QString::fromUtf8(s.GetAscii());
}

} // namespace

Lumi_cam::Lumi_cam(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags),
      ui(std::make_unique<Ui::LUMI_camClass>()),
      m_exposure([this](int ms) { return waitWithEvents(ms); },
                 [this](const QString& style, const QString& toolTip) {
                     m_panel->exposure->setStyleSheet(style);
                     if (!toolTip.isNull())
                         m_panel->exposure->setToolTip(toolTip);
                 })
{
    qRegisterMetaType<FrameRef>("FrameRef");

    ui->setupUi(this);
    connectActions();

    // The lens-controller dialog joins here (currentSHARPNESS -> currentSharpScore).

    m_plot = std::make_unique<QwtPlot>(QwtText(QStringLiteral("Intensity Plot")));
    QFont axisFont = m_plot->axisFont(QwtPlot::xBottom);
    axisFont.setPointSize(8);
    m_plot->setAxisFont(QwtPlot::xTop, axisFont);
    m_plot->hide();

    m_curve = new QwtPlotCurve(QString());

    ui->actionPulseWidth->setEnabled(false);
    // The exposure box shows microseconds (its label says so and the unit
    // menu is disabled): the unit actions must say the same.
    {
        const QSignalBlocker blockMs(ui->actionMs);
        const QSignalBlocker blockUs(ui->actionUs);
        ui->actionMs->setChecked(false);
        ui->actionUs->setChecked(true);
    }

    m_settings = StationSettings::open();
    m_settings->sync();

    m_tmx = new TmxLink(this);
    m_tmx->setBoxParent(this);
    m_ipDlg = new setIPDlg(this);
    connect(m_ipDlg, &setIPDlg::hasIP, this, &Lumi_cam::setTMXIP);
    m_remoteAdapter = std::make_unique<StationRemote>(*this, *ui);
    m_remote = new RemoteServer(m_remoteAdapter.get(), m_remoteAdapter.get(), this);
    m_remote->setBoxParent(this);

    loadLUTs(1);

    m_playMovie = new QMovie(QStringLiteral(":/Dravo_cam/play.gif"), QByteArray(), this);
    m_recordMovie = new QMovie(QStringLiteral(":/Dravo_cam/record.gif"), QByteArray(), this);
    connect(m_playMovie, &QMovie::frameChanged, this, &Lumi_cam::setButtonIcon);
    connect(m_recordMovie, &QMovie::frameChanged, this, &Lumi_cam::setButtonIcon2);
    ui->actionSChannel->setChecked(true);

    m_scene = new CustomScene(this);
    m_view = new MyGraphicsView(this);
    setAcceptDrops(false);
    m_view->setScene(m_scene);
    m_view->setCursor(Qt::CrossCursor);
    setCentralWidget(m_view);
    m_view->show();
    connect(m_scene, &CustomScene::show_coord, this, &Lumi_cam::showCoord);
    connect(m_scene, &CustomScene::getRIOIntensity, this, &Lumi_cam::calcROIIntensity);
    connect(m_scene, &CustomScene::doROISharpness, this, &Lumi_cam::calcROISharpness);
    connect(m_scene, &CustomScene::changeImageSizeROI, this, &Lumi_cam::changeImageSize);
    connect(m_scene, &CustomScene::lineProfile, this, &Lumi_cam::showProfilePlot);

    buildStatusBar();

    buildSidePanel();
    connect(m_panel->exposure, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &Lumi_cam::changeExposure);
    connect(m_panel->folderChooser, &QToolButton::pressed, this, &Lumi_cam::changePath);
    connect(m_panel->average, qOverload<int>(&QSpinBox::valueChanged), this, &Lumi_cam::changeAvg);

    m_searchDlg = new camSearchDlg(this);
    connect(m_searchDlg, &camSearchDlg::selectedCamera, this, &Lumi_cam::openCam);
    connect(m_searchDlg, &camSearchDlg::dialogClosed, this, &Lumi_cam::uncheckConnectButton);

    setWindowTitle(StationTexts::windowTitle());

    m_averageCount = unsigned(m_panel->average->value());

    m_modeGroup = new QActionGroup(this);
    m_modeGroup->setExclusive(true);
    m_modeGroup->addAction(ui->actionDouble_Framing_Mode);
    m_modeGroup->addAction(ui->actionFrame_Accumulation_Mode);
    m_modeGroup->addAction(ui->actionRadiometric_Mode);

    buildProfilePlot();

    // Opens the camera search dialog at once, before the window is shown.
    ui->actionOpenCam->setChecked(true);
}

Lumi_cam::~Lumi_cam()
{
    m_wait.cancel();
    m_previewing = false;
    m_capturing = false;
    // The thread and the stream use the device: end them while it still exists.
    disconnectCamera();
    // The server calls the remote adapter: it goes first.
    delete m_remote;
    m_remote = nullptr;
}

void Lumi_cam::connectActions()
{
    Ui::LUMI_camClass& f = *ui;
    connect(f.actionRun, &QAction::toggled, this, &Lumi_cam::runPreview);
    connect(f.actionOpenCam, &QAction::toggled, this, &Lumi_cam::openCamera);
    connect(f.actionCapture, &QAction::toggled, this, &Lumi_cam::runCapture);
    connect(f.actionTrigger, &QAction::toggled, this, &Lumi_cam::setExtTrigger);
    connect(f.actionTurbo, &QAction::toggled, this, &Lumi_cam::setTurboMode);
    // A click only: the remote commands set this action from code without
    // running the slot.
    connect(f.actionSChannel, &QAction::triggered, this, &Lumi_cam::redSelected);
    connect(f.actionRChannel, &QAction::toggled, this, &Lumi_cam::greenSelected);
    connect(f.actionExit, &QAction::triggered, this, &Lumi_cam::close);
    connect(f.actionHelp, &QAction::triggered, this, &Lumi_cam::help);
    connect(f.actionAbout, &QAction::triggered, this, &Lumi_cam::about);
    connect(f.actionReboot_Camera, &QAction::triggered, this, &Lumi_cam::rebootCamera);
    connect(f.actionLUT, &QAction::toggled, this, &Lumi_cam::applyLUT);
    connect(f.actionShow_Quantum_Efficiency, &QAction::triggered, this, &Lumi_cam::showQE);
    connect(f.actionPulseWidth, &QAction::toggled, this, &Lumi_cam::triggerWidth);
    connect(f.actionSensor_Settings, &QAction::triggered, this, &Lumi_cam::showSensorDlg);
    connect(f.actionInput_Ouput_Signals, &QAction::triggered, this, &Lumi_cam::showioDlg);
    connect(f.actionLifetime_mode, &QAction::toggled, this, &Lumi_cam::enableLifetime);
    connect(f.actionGates, &QAction::toggled, this, &Lumi_cam::switchGate);
    connect(f.actionROI, &QAction::toggled, this, &Lumi_cam::roiMode);
    connect(f.actionCamera_Info, &QAction::triggered, this, &Lumi_cam::camAbout);
    connect(f.actionRemote_Control, &QAction::toggled, this, &Lumi_cam::enableRemoteControl);
    connect(f.actionReset_Camera, &QAction::triggered, this, &Lumi_cam::resetCamera);
    connect(f.actionMs, &QAction::toggled, this, &Lumi_cam::setMs);
    connect(f.actionUs, &QAction::toggled, this, &Lumi_cam::setUs);
    connect(f.actionSet_Camera_Name, &QAction::triggered, this, &Lumi_cam::setCamName);
    connect(f.actionDistortion, &QAction::triggered, this, &Lumi_cam::doDistortion);
    connect(f.actionRadiometric_Mode, &QAction::toggled, this, &Lumi_cam::enableRM);
    connect(f.actionDouble_Framing_Mode, &QAction::toggled, this, &Lumi_cam::enableDFM);
    connect(f.actionFrame_Accumulation_Mode, &QAction::toggled, this, &Lumi_cam::enableFAM);
    connect(f.actionZoomIn, &QAction::triggered, this, &Lumi_cam::zoomIn);
    connect(f.actionZoomOut, &QAction::triggered, this, &Lumi_cam::zoomOut);
    connect(f.actionZoomFit, &QAction::triggered, this, &Lumi_cam::zoomFit);
    connect(f.actionPlotProfile, &QAction::toggled, this, &Lumi_cam::plotProfileMode);
    connect(f.actionCamera_name_subfolder, &QAction::toggled, this, &Lumi_cam::doSubFolder);
    connect(f.actionFocus, &QAction::toggled, this, &Lumi_cam::showFocusDialog);
    connect(f.actionDScale, &QAction::toggled, this, &Lumi_cam::applyScale);
    connect(f.actionAverage_Green_s, &QAction::toggled, this, &Lumi_cam::averageGreens);
}

void Lumi_cam::buildStatusBar()
{
    QPalette black;
    black.setBrush(QPalette::All, QPalette::WindowText, QBrush(Qt::black, Qt::SolidPattern));
    const QFont plainFont(QStringLiteral("MS Shell Dlg 2"), 9, QFont::Normal);
    const QFont boldFont(QStringLiteral("Arial"), 9, QFont::Bold);

    m_connectionLabel = new QLabel(this);
    m_statusLabel = new QLabel(this);
    m_sizeLabel = new QLabel(this);
    m_temperatureLabel = new QLabel(this);
    m_pictureBox = new QMessageBox(this);
    m_connectionLabel->setObjectName(QStringLiteral("connectionLabel"));
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_sizeLabel->setObjectName(QStringLiteral("sizeLabel"));
    m_temperatureLabel->setObjectName(QStringLiteral("temperatureLabel"));

    for (QLabel* label : {m_connectionLabel, m_statusLabel, m_sizeLabel, m_temperatureLabel}) {
        statusBar()->addWidget(label);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setPalette(black);
        label->setFont(label == m_connectionLabel ? boldFont : plainFont);
    }
    m_connectionLabel->setText(QStringLiteral("Disconnected"));
}

void Lumi_cam::buildSidePanel()
{
    insertToolBarBreak(ui->toolBarFiles);
    const StationSettings::SidePanelValues values = StationSettings::readSidePanel(*m_settings);

    m_panel = std::make_unique<SidePanel>();
    m_toolBar = std::make_unique<ModeToolBar>(*this, *ui, *m_panel);
    connect(m_toolBar->generatorAction(), &QAction::triggered, this, &Lumi_cam::showTMXDialog);
    m_panel->exposure->setValue(values.exposure);
    m_currentExposure = m_panel->exposure->value();

    ui->actionGates->setEnabled(false);
    m_panel->setGateWidgetsEnabled(false);
    m_panel->exposureLabel->setEnabled(false);
    m_panel->exposure->setEnabled(false);
    switchGate(false);

    m_panel->restoreGates(values);
    m_panel->restoreRun(values);

    switchGate(ui->actionGates->isChecked());
    m_toolBar->rebuild(1);
    ui->toolBarFiles->addWidget(m_panel->buildFileWidget());
}

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
    m_curve->setPen(QPen(Qt::black));
    m_curve->setStyle(QwtPlotCurve::Lines);
    m_curve->setRenderHint(QwtPlotItem::RenderAntialiased, true);
    m_curve->attach(m_plot.get());
}

void Lumi_cam::closeEvent(QCloseEvent* event)
{
    // The profile plot goes whatever the answer.
    m_plot->close();

    const bool running = m_previewing || m_capturing;
    const QString question = running ? QStringLiteral("Are you sure you want to close program during acquisition?")
                                     : QStringLiteral("Are you sure you want to quit?");
    if (!Prompt::current().question(nullptr, running ? Prompt::Critical : Prompt::Warning,
                                    QStringLiteral("Kessane Lumivar"), question)) {
        event->ignore();
        return;
    }
    if (running) {
        if (m_capturing)
            ui->actionCapture->setChecked(false);
        if (m_previewing)
            ui->actionRun->setChecked(false);
    }
    // Everything is stopped and stored before the event loop ends; main()
    // then destroys the window and its worker threads.
    openCam(false);
    m_settings->sync();
    event->accept();
    QCoreApplication::exit(0);
}

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
    m_cameraModel = text(info->GetModel());
    connectCamera(info);
    if (!m_connected) {
        ui->actionOpenCam->setChecked(false);
        return;
    }
    // The sensor settings and output-line dialogs of this connection are
    // created here, replacing those of the previous connection.

    ui->toolBarCam->setEnabled(true);

    showCameraIdentity(text(m_device.GetDeviceInfo()->GetUserDefinedName()));

    if (!m_twoGate)
        applyCameraConfig();
    ui->actionRadiometric_Mode->setChecked(true);
    updateDepth(m_depths.display);
    m_sizeLabel->setText(QStringLiteral("%1x%2").arg(m_imageWidth).arg(m_imageHeight));

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
        m_lastResult = m_stream.Open(cameraIp, 0, 0, NqString(), 64);
        if (m_lastResult.IsOK())
            break;
        qCWarning(lcShell) << "connectCamera: stream open failed, attempt" << attempt << ":"
                           << m_lastResult.GetDescription().GetAscii();
        if (attempt < streamOpenAttempts)
            QThread::msleep(streamRetryMs);
    }
    m_device.SetStreamDestination(m_stream.GetLocalIPAddress(), m_stream.GetLocalPort(), 0);

    if (m_stream.IsOpen()) {
        createAcqThread();
        return;
    }
    disconnectCamera();
    m_connected = false;
    ui->actionOpenCam->setChecked(false);
}

void Lumi_cam::disconnectCamera()
{
    // Waits in progress (an exposure sequence) must not reach for a device
    // that has gone.
    m_wait.cancel();
    storeQueuedCaptureFrames();
    m_endCaptureAfterDrain = false;
    m_capture.endRun();
    destroyAcqThread();
    m_device.Disconnect();
    m_stream.Close();
    releaseImageBuffers();
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
                            f.actionSet_Camera_Name, f.actionReboot_Camera, f.actionSensor_Settings,
                            f.actionInput_Ouput_Signals})
        action->setEnabled(on);
    m_panel->setCameraWidgetsEnabled(on);
    // Lifetime mode is for monochrome cameras only.
    f.actionLifetime_mode->setEnabled(on && !m_colourCamera);
}

void Lumi_cam::createAcqThread()
{
    m_thread = new Thread(&m_device, &m_pipeline);
    m_thread->setAverageCount(m_averageCount);
    connect(m_thread, &Thread::imageReady, this, &Lumi_cam::showSignal);
    connect(m_thread, &Thread::captureDone, this, &Lumi_cam::stopCapture);
    connect(m_thread, &Thread::camTempStatus, this, &Lumi_cam::updateCamTemp);
    m_thread->start(QThread::InheritPriority);
    m_pipeline.Start();
    // The calibration dialog's updateCal(int,int) joins Thread::boardfound here.
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
        // go before the pipeline stops. The acquisition thread is the only
        // sender of queued calls to the window.
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    }
    // So do the frames queued by a frame slot that is processing events.
    m_frames.discardPending();
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
}

void Lumi_cam::stopAcquisition()
{
    NqGenParameterArray* device = m_device.GetGenParameters();
    device->ExecuteCommand("AcquisitionStop");
    if (NqGenInteger* paramsLocked = device->GetInteger("TLParamsLocked"))
        paramsLocked->SetValue(0);
}

uint32_t Lumi_cam::getPayloadSize()
{
    return m_device.IsConnected() ? payloadSizeOf(m_device.GetGenParameters()) : 0;
}

NqGenParameterArray* Lumi_cam::cameraParameters()
{
    return m_connected && m_device.IsConnected() ? m_device.GetGenParameters() : nullptr;
}

// ---------------------------------------------------------------------------
// Frames

void Lumi_cam::showSignal(unsigned long long, FrameRef frame)
{
    // The frame carries its own counter (frame->number), which is the signal's.
    if (!frame || !m_frames.offer(std::move(frame)))
        return;
    while (FrameRef next = m_frames.next())
        handleFrame(*next);
    if (m_endCaptureAfterDrain) {
        m_endCaptureAfterDrain = false;
        m_capture.endRun();
    }
}

void Lumi_cam::handleFrame(const Frame& f)
{
    Ui::LUMI_camClass& form = *ui;
    if (m_colourCamera)
        m_buffers.fillPlanes(f, m_depths.display, form.actionAverage_Green_s->isChecked());

    // A frame of the capture is written even when the capture ended while it
    // waited in the queue; those beyond the target are not.
    if (m_capture.running() && f.number <= m_captureLastFrame) {
        const CaptureWriter::Result r = m_capture.write(f, m_gate.number);
        if (r.switchGate) {
            form.actionGates->setChecked(r.gatesChecked);
            changeExposure(ExposureUnits::fromMicroseconds(m_gate.exposure, m_unit));
            sendTMXProgram();
        }
    }

    // Double framing shows one gate's frames only; the other's are stored.
    if (!m_colourCamera && form.actionDouble_Framing_Mode->isChecked() && (f.number & 1) == (m_frameChoice ? 1u : 0u))
        return;

    DisplayBuffers::Options options;
    options.depths = m_depths;
    options.colour = m_colourCamera;
    options.sChannel = form.actionSChannel->isChecked();
    options.averageGreens = form.actionAverage_Green_s->isChecked();
    options.normalise = m_normalise;
    if (m_lutOn)
        options.colourTable = m_colourTable;
    const QImage image = m_buffers.render(f, options);
    if (image.isNull())
        return; // does not fit the buffers: dropped and counted
    m_scene->pixmapItem()->setPixmap(QPixmap::fromImage(image));
    ++m_displayedFrames;

    QCoreApplication::processEvents();

    if (m_tmx->isControlling() && m_twoGate)
        sendTMXRun();

    m_streamStats.update(m_stream.IsOpen() ? m_stream.GetParameters() : nullptr);
    m_temperatureLabel->setStyleSheet(StatusTexts::streamErrorStyle(m_streamStats.errorCount));
    m_temperatureLabel->setText(StatusTexts::streamErrorText(m_streamStats.errorCount, m_streamStats.lastError));
    StatusTexts::RunStatus status;
    status.capturing = m_capturing;
    status.radiometric = form.actionRadiometric_Mode->isChecked();
    status.counter = f.number;
    status.framesPerSecond = m_thread ? m_thread->frameRate() : 0.0;
    status.bandwidthMbps = m_streamStats.bandwidthMbps;
    status.dataDepth = m_depths.data;
    status.targetFrames = m_captureTarget;
    m_statusLabel->setText(StatusTexts::runStatusText(status));

    m_scene->updateIntesity();
    m_scene->updateSharpness();
    m_scene->setFrameShown();
    if (m_scene->hasProfileLine()) {
        const QLine l = m_scene->profileLine();
        showProfilePlot(l.x1(), l.y1(), l.x2(), l.y2());
    }
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

void Lumi_cam::plotProfileMode(bool on)
{
    m_scene->setLineMode(on);
}

void Lumi_cam::applyScale(bool on)
{
    m_normalise = on;
}

void Lumi_cam::applyLUT(bool on)
{
    m_lutOn = on;
}

void Lumi_cam::updateCamTemp(int temperature)
{
    m_cameraTemperature = temperature;
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
    run.targetFrames = m_captureTarget;
    run.averageGreens = ui->actionAverage_Green_s->isChecked();
    // Not to this capture's files under the same numbers.
    storeQueuedCaptureFrames();
    m_endCaptureAfterDrain = false;
    m_captureLastFrame = m_captureTarget < 0 ? ~0ull : (unsigned long long)(m_captureTarget);
    m_capture.beginRun(run);
}

void Lumi_cam::storeQueuedCaptureFrames()
{
    // A capture that ended while the frame slot was processing events still
    // owns the frames queued meanwhile. They are stored now, before a new
    // capture or a disconnect would take them, and are not shown any more.
    if (!m_endCaptureAfterDrain)
        return;
    for (const FrameRef& frame : m_frames.takePending())
        if (frame->number <= m_captureLastFrame)
            m_capture.write(*frame, m_gate.number);
}

void Lumi_cam::endCaptureFiles()
{
    if (m_thread)
        m_captureLastFrame = std::min(m_captureLastFrame, m_thread->framesReceived());
    if (m_frames.draining())
        m_endCaptureAfterDrain = true;
    else
        m_capture.endRun();
}

void Lumi_cam::writeSidecar()
{
    SidecarCamera camera;
    camera.model = m_connectionDescription;
    camera.colour = m_colourCamera;
    camera.serial = m_serialNumber;
    camera.temperature = m_thread ? m_thread->temperature() : m_cameraTemperature;
    camera.exposureUs = ExposureUnits::toMicroseconds(m_panel->exposure->value(), m_unit);
    readSidecarFeatures(cameraParameters(), camera);
    SidecarCapture capture;
    capture.mode = captureModeName(ui->actionDouble_Framing_Mode->isChecked(),
                                   ui->actionFrame_Accumulation_Mode->isChecked(),
                                   ui->actionRadiometric_Mode->isChecked());
    capture.frames = m_panel->frames->value();
    capture.folder = m_workPath;
    capture.prefix = m_panel->prefix->text();
    capture.point = m_panel->point->text();
    capture.average = int(m_averageCount);
    writeSettingsFile(sidecarPath({m_workPath, capture.prefix, capture.point}), camera, capture,
                      QDateTime::currentDateTime());
}

// ---------------------------------------------------------------------------
// Runs

bool Lumi_cam::waitWithEvents(int ms)
{
    return m_wait.wait(ms);
}

void Lumi_cam::restartRunCounters()
{
    if (m_thread)
        m_thread->restartFrameTimer();
    m_displayedFrames = 0;
}

void Lumi_cam::enableCameraControls(bool enabled)
{
    const QStringList names = RunRules::lockedActions(m_previewing, m_capturing, m_panel->workFolder->text().isEmpty(),
                                                      ui->actionDouble_Framing_Mode->isChecked());
    for (const QString& name : names)
        if (QAction* action = findChild<QAction*>(name))
            action->setEnabled(enabled);
    for (QWidget* w : {static_cast<QWidget*>(m_panel->framesLabel), static_cast<QWidget*>(m_panel->frames),
                       static_cast<QWidget*>(m_panel->exposureLabel), static_cast<QWidget*>(m_panel->exposure)})
        w->setEnabled(enabled);
    m_panel->setGateWidgetsEnabled(enabled);
}

bool Lumi_cam::validateRunParams()
{
    RunRules::CheckInput input;
    input.externalTrigger = ui->actionTrigger->isChecked();
    input.twoGate = m_twoGate;
    input.exposure = m_currentExposure;
    input.minExposure = m_minExposure;
    input.maxExposure = m_maxExposure;
    input.period = m_gate.period;
    input.delay = m_gate.delay;
    input.ledWidth = m_gate.ledWidth;
    if (m_twoGate) {
        input.gates.push_back(m_gate);
        // A capture alternates the gates, so the other one is sent too.
        if (m_capturing) {
            const int other = m_gate.number == 1 ? 2 : 1;
            input.gates.push_back(GateSet::activate(other, gateFields(other)));
        }
    }
    if (const auto failure = RunRules::check(input)) {
        Prompt::current().message(this, Prompt::Information, failure->title, failure->text);
        return false;
    }
    RunRules::store(*m_settings, {m_panel->exposure->value(), m_panel->frames->value(), m_panel->prefix->text(),
                                  m_panel->point->text()});
    return true;
}

void Lumi_cam::runPreview(bool on)
{
    if (on && !m_connected) {
        const QSignalBlocker block(ui->actionRun);
        ui->actionRun->setChecked(false);
        return;
    }
    m_temperatureLabel->setStyleSheet(QLatin1String(RunRules::ClearedLabelStyle));
    // A capture in progress ends before the preview takes the camera, so the
    // preview never runs over a stopped acquisition.
    if (on && m_capturing)
        ui->actionCapture->setChecked(false);
    if (m_twoGate)
        switchGate(ui->actionGates->isChecked());

    m_previewing = on;
    enableCameraControls(!on);
    m_displayedFrames = 0;
    // Counters start again with a run, not when one stops: frames of a
    // capture still queued keep their numbers.
    if (m_thread && on) {
        m_thread->setCapturing(false);
        m_thread->setTarget(-1);
        m_thread->resetRun();
    }

    if (!on) {
        if (cameraParameters())
            stopAcquisition();
        waitWithEvents(100);
        m_playMovie->stop();
        ui->actionRun->setIcon(QIcon(QStringLiteral(":/Dravo_cam/play.png")));
        return;
    }

    m_playMovie->start();
    m_statusLabel->setText(RunRules::previewStatusText(0, m_thread ? m_thread->frameRate() : 0.0, m_depths.data,
                                                       m_streamStats.bandwidthMbps));
    changeExposure(m_panel->exposure->value());
    // The exposure sequence runs events: the preview may have been stopped,
    // or the camera taken away, meanwhile.
    if (!m_previewing || !cameraParameters())
        return;
    startAcquisition();
    const bool valid = validateRunParams();
    if (!valid && RunRules::failedCheckStopsRun(m_twoGate))
        return;
    if (m_tmx->isControlling() && m_twoGate) {
        if (!waitWithEvents(RunRules::generatorSettleMs(m_panel->exposure->value())) || !m_previewing)
            return;
        sendTMXProgram();
    }
}

void Lumi_cam::runCapture(bool on)
{
    if (on && !m_connected) {
        const QSignalBlocker block(ui->actionCapture);
        ui->actionCapture->setChecked(false);
        return;
    }
    // "#start" checks the action even while it is disabled for want of a work
    // folder; the files would otherwise land in the root folder.
    if (on && m_panel->workFolder->text().isEmpty()) {
        {
            const QSignalBlocker block(ui->actionCapture);
            ui->actionCapture->setChecked(false);
        }
        Prompt::current().message(this, Prompt::Information, QStringLiteral("Capture"),
                                  QStringLiteral("No work folder is set: the capture was not started."));
        return;
    }
    m_temperatureLabel->setStyleSheet(QLatin1String(RunRules::ClearedLabelStyle));

    m_workPath = m_panel->workFolder->text();
    if (m_subFolder && m_connected) {
        QString name = text(m_device.GetDeviceInfo()->GetUserDefinedName()).toUpper();
        name.replace(QLatin1Char(' '), QLatin1Char('.'));
        m_workPath += QStringLiteral("/CAM_") + name;
    }
    if (!m_workPath.isEmpty())
        QDir().mkpath(m_workPath);

    if (m_twoGate) {
        // A capture always starts with Gate1.
        ui->actionGates->setChecked(false);
        switchGate(ui->actionGates->isChecked());
    }

    m_displayedFrames = 0;
    m_capturing = on;
    if (on)
        m_captureTarget = RunRules::captureTarget(m_panel->frames->value(), m_twoGate);
    if (m_thread) {
        m_thread->setCapturing(on);
        if (on) {
            m_thread->setTarget(-1);
            m_thread->resetRun();
        }
    }
    enableCameraControls(!on);

    if (!on) {
        m_statusLabel->setStyleSheet(QLatin1String(RunRules::IdleLabelStyle));
        if (cameraParameters())
            stopAcquisition();
        waitWithEvents(100);
        // A capture started during the wait ("#stop" then "#start") is not
        // this one: its files stay open and its acquisition runs on.
        if (m_capturing)
            return;
        endCaptureFiles();
        m_recordMovie->stop();
        ui->actionCapture->setIcon(QIcon(QStringLiteral(":/Dravo_cam/record.png")));
        return;
    }

    m_recordMovie->start();
    writeSidecar();
    if (!validateRunParams() && RunRules::failedCheckStopsRun(m_twoGate)) {
        ui->actionCapture->setChecked(false);
        return;
    }
    changeExposure(m_panel->exposure->value());
    if (!m_capturing || !cameraParameters())
        return;
    m_statusLabel->setStyleSheet(QLatin1String(RunRules::CapturingLabelStyle));
    m_statusLabel->setText(RunRules::captureStatusText(ui->actionRadiometric_Mode->isChecked(), 0, m_captureTarget,
                                                       m_thread ? m_thread->errorCount() : 0, m_depths.data));
    if (m_tmx->isControlling() && m_twoGate) {
        if (!waitWithEvents(RunRules::generatorSettleMs(m_panel->exposure->value())) || !m_capturing)
            return;
        sendTMXProgram();
    }
    beginCaptureFiles();
    if (m_thread) {
        m_thread->resetRun();
        m_thread->setTarget(m_captureTarget);
    }
    startAcquisition();
}

void Lumi_cam::stopCapture()
{
    // A capture the user stopped already must not be reported as done.
    if (!m_capturing)
        return;
    ui->actionCapture->setChecked(false);
    // The stop waits for the last frames; a capture started meanwhile runs on.
    if (m_capturing)
        return;
    if (cameraParameters())
        stopAcquisition();
    m_capturing = false;
    if (m_thread)
        m_thread->setCapturing(false);
    waitWithEvents(100);
    if (m_capturing)
        return; // started during the wait: not done
    m_captureDone = true;
    enableCameraControls(true);
}

void Lumi_cam::setExposureSpin(double microseconds)
{
    m_panel->exposure->setValue(ExposureUnits::fromMicroseconds(microseconds, m_unit));
}

void Lumi_cam::changeExposure(double exposure)
{
    m_currentExposure = ExposureUnits::toMicroseconds(exposure, m_unit);
    NqGenParameterArray* params = cameraParameters();
    if (!params)
        return;
    const ExposureControl::Result r = m_exposure.change(*params, m_currentExposure, ui->actionTrigger->isChecked());
    if (r.limitsRead) {
        m_minExposure = r.minExposure;
        m_maxExposure = r.maxExposure;
    }
    if (r.restartCounters)
        restartRunCounters();
}

void Lumi_cam::setExtTrigger(bool on)
{
    ui->actionPulseWidth->setEnabled(on);
    if (NqGenParameterArray* params = cameraParameters())
        ModeFeatures::writeExternalTrigger(*params, on);
    restartRunCounters();
}

void Lumi_cam::triggerWidth(bool on)
{
    m_panel->exposureLabel->setEnabled(!on);
    m_panel->exposure->setEnabled(!on);
    if (NqGenParameterArray* params = cameraParameters())
        ModeFeatures::writeTriggerWidth(*params, on);
    restartRunCounters();
}

void Lumi_cam::changeAvg(int count)
{
    const RunRules::AverageCount a = RunRules::averageCount(count);
    m_averageCount = unsigned(a.count);
    if (a.corrected)
        m_panel->average->setValue(a.count);
    if (m_thread)
        m_thread->setAverageCount(m_averageCount);
}

// ---------------------------------------------------------------------------
// Modes and camera configuration

void Lumi_cam::applyCameraConfig()
{
    NqGenParameterArray* params = cameraParameters();
    if (!params)
        return;
    CameraConfig::Hooks hooks;
    hooks.imageSize = [this](const ImageSize& image) {
        m_imageWidth = image.width;
        m_imageHeight = image.height;
        const ImageSize scene = sceneSizeFor(image, m_colourCamera);
        m_scene->setSceneSize(int(scene.width), int(scene.height));
    };
    hooks.exposureLimits = [this](int64_t minimum, int64_t maximum) {
        m_minExposure = minimum;
        m_maxExposure = maximum;
        m_panel->exposure->setMinimum(ExposureUnits::fromMicroseconds(double(minimum), m_unit));
    };
    hooks.exposure = [this](int64_t exposure) {
        m_currentExposure = double(exposure);
        setExposureSpin(double(exposure));
    };
    const CameraConfig::Result r = CameraConfig::apply(*params, hooks);
    switch (r.triggerActions) {
    case CameraConfig::TriggerActions::TriggerOnly:
        ui->actionTrigger->setChecked(true);
        ui->actionPulseWidth->setChecked(false);
        break;
    case CameraConfig::TriggerActions::TriggerAndWidth:
        ui->actionTrigger->setChecked(true);
        ui->actionPulseWidth->setChecked(true);
        break;
    case CameraConfig::TriggerActions::Leave:
        break;
    }
    if (r.depthRefreshNeeded)
        updateDepth(m_depths.display);
}

void Lumi_cam::runModeSteps(int mode, bool on)
{
    for (const ModeStep& step : modeSteps(StationMode(mode), on)) {
        switch (step.kind) {
        case ModeStep::EnableTrigger:
            ui->actionTrigger->setEnabled(step.flag);
            break;
        case ModeStep::EnablePulseWidth:
            ui->actionPulseWidth->setEnabled(step.flag);
            break;
        case ModeStep::EnablePulseWidthIfTrigger:
            ui->actionPulseWidth->setEnabled(ui->actionTrigger->isChecked());
            break;
        case ModeStep::SetTwoGate:
            m_twoGate = step.flag;
            break;
        case ModeStep::SwitchGate:
            switchGate(ui->actionGates->isChecked());
            break;
        case ModeStep::RebuildToolBar:
            m_toolBar->rebuild(step.layout);
            break;
        case ModeStep::ShowGeneratorDialog:
            showTMXDialog();
            break;
        case ModeStep::WriteTriggeredMode:
            if (NqGenParameterArray* params = cameraParameters())
                ModeFeatures::writeTriggeredMode(*params, step.trigger);
            break;
        case ModeStep::ApplyCameraConfig:
            applyCameraConfig();
            break;
        case ModeStep::ShowCurrentExposure:
            setExposureSpin(m_currentExposure);
            break;
        case ModeStep::SetLifetimeText:
            ui->actionLifetime_mode->setText(step.text);
            break;
        }
    }
}

void Lumi_cam::enableRM(bool on)
{
    runModeSteps(int(StationMode::Radiometric), on);
}

void Lumi_cam::enableFAM(bool on)
{
    runModeSteps(int(StationMode::FrameAccumulation), on);
}

void Lumi_cam::enableDFM(bool on)
{
    runModeSteps(int(StationMode::DoubleFraming), on);
}

void Lumi_cam::enableLifetime(bool on)
{
    runModeSteps(int(StationMode::Lifetime), on);
}

void Lumi_cam::switchGate(bool gate2)
{
    const GateSet::Switch s = GateSet::plan(m_twoGate, ui->actionDouble_Framing_Mode->isChecked(), gate2);
    if (s.relabel) {
        ui->actionGates->setIcon(QIcon(s.icon));
        ui->actionGates->setText(s.text);
    }
    if (s.setFrameChoice)
        m_frameChoice = s.frameChoice;
    if (!s.selectGate)
        return;
    m_gate = GateSet::activate(s.gateNumber, gateFields(s.gateNumber));
    m_currentExposure = m_gate.exposure;
    for (int i = 0; i < 2; ++i) {
        const bool selected = i == s.gateNumber - 1;
        const SidePanel::Gate& each = m_panel->gate[i];
        for (QLineEdit* edit : {each.exposure, each.period, each.delay, each.ledWidth})
            edit->setStyleSheet(GateSet::lineEditStyle(selected));
        each.count->setStyleSheet(GateSet::spinBoxStyle(selected));
    }
    // A gate exposure that is not a number leaves the spin box alone; the run
    // checks refuse it.
    if (std::isfinite(m_gate.exposure))
        setExposureSpin(m_gate.exposure);
    if (NqGenParameterArray* params = cameraParameters())
        ModeFeatures::writePulseCount(*params, m_gate.count);
}

GateFields Lumi_cam::gateFields(int number) const
{
    const SidePanel::Gate& g = m_panel->gate[number - 1];
    GateFields fields;
    fields.exposure = g.exposure->text();
    fields.count = g.count->value();
    fields.period = g.period->text();
    fields.delay = g.delay->text();
    fields.ledWidth = g.ledWidth->text();
    return fields;
}

void Lumi_cam::setTurboMode(bool on)
{
    if (NqGenParameterArray* params = cameraParameters())
        ModeFeatures::writeTurboMode(*params, on);
}

void Lumi_cam::applyExposureSetup(const ExposureSpinSetup& setup)
{
    QDoubleSpinBox* spin = m_panel->exposure;
    m_panel->exposureLabel->setText(setup.label);
    {
        // Range first, value last, so the value is never clamped through the
        // old unit's range; one exposure change follows.
        const QSignalBlocker block(spin);
        spin->setDecimals(setup.decimals);
        spin->setRange(setup.minimum, setup.maximum);
        spin->setSingleStep(setup.step);
        spin->setValue(setup.value);
    }
    changeExposure(setup.value);
}

void Lumi_cam::setMs(bool on)
{
    if (!on)
        return;
    const ExposureSpinSetup setup =
        ExposureUnits::switchUnit(m_unit, ExposureUnit::Milliseconds, m_panel->exposure->value());
    m_unit = ExposureUnit::Milliseconds;
    ui->actionUs->setChecked(false);
    applyExposureSetup(setup);
}

void Lumi_cam::setUs(bool on)
{
    if (!on)
        return;
    const ExposureSpinSetup setup =
        ExposureUnits::switchUnit(m_unit, ExposureUnit::Microseconds, m_panel->exposure->value());
    m_unit = ExposureUnit::Microseconds;
    ui->actionMs->setChecked(false);
    applyExposureSetup(setup);
}

void Lumi_cam::updateBinning(int)
{
    NqGenParameterArray* params = cameraParameters();
    if (!params)
        return;
    const ImageSize image = readImageSize(*params);
    m_imageWidth = image.width;
    m_imageHeight = image.height;
    const ImageSize scene = sceneSizeFor(image, m_colourCamera);
    m_scene->setSceneSize(int(scene.width), int(scene.height));
}

void Lumi_cam::updateExposureRange(int maximum)
{
    m_maxExposure = maximum;
    m_panel->exposure->setMinimum(ExposureUnits::fromMicroseconds(double(m_minExposure), m_unit));
}

// ---------------------------------------------------------------------------
// Pulse generator

void Lumi_cam::showTMXDialog()
{
    m_ipDlg->exec();
}

void Lumi_cam::setTMXIP(QString ip, bool externallyTriggered)
{
    m_tmx->setTMXIP(ip, externallyTriggered);
}

void Lumi_cam::TryingTMX()
{
    m_tmx->TryingTMX();
}

void Lumi_cam::sendTMXRun()
{
    m_tmx->sendTMXRun();
}

void Lumi_cam::sendTMXProgram()
{
    m_tmx->sendTMXProgram(m_gate.period, m_gate.count, 0, m_gate.ledWidth, m_gate.delay, m_currentExposure);
}

// ---------------------------------------------------------------------------
// Remote control

void Lumi_cam::enableRemoteControl(bool on)
{
    if (m_remote->enableRemoteControl(on))
        ui->actionRemote_Control->setText(on ? QStringLiteral("Disable Remote Control")
                                             : QStringLiteral("Enable Remote Control"));
}

RemoteProtocol::StationState Lumi_cam::stationState() const
{
    RemoteProtocol::StationState state;
    state.connected = m_connected;
    state.colourCamera = m_colourCamera;
    state.previewing = m_previewing;
    state.capturing = m_capturing;
    state.captureDone = m_captureDone;
    if (m_thread) {
        state.framesReceived = m_thread->framesReceived();
        state.targetFrames = m_capturing ? m_captureTarget : -1;
    }
    return state;
}

void Lumi_cam::renameCamera(const QString& name)
{
    NqGenParameterArray* params = cameraParameters();
    if (!params)
        return;
    NqString userId;
    params->GetStringValue("DeviceUserID", userId);
    if (text(userId) != name) {
        params->SetStringValue("DeviceUserID", name.toLatin1().constData());
        params->GetStringValue("DeviceUserID", userId);
    }
    showCameraIdentity(text(userId));
}

void Lumi_cam::showCameraIdentity(const QString& cameraName)
{
    int64_t ccdType = 0;
    if (!m_device.GetGenParameters()->GetIntegerValue("CcdType", ccdType).IsOK())
        ccdType = 0; // unreadable: a monochrome camera
    const NqDeviceInfo* info = m_device.GetDeviceInfo();
    m_serialNumber = text(info->GetSerialNumber());
    m_colourCamera = ccdType == colourCcdType;
    m_connectionLabel->setText(StationTexts::connectionLabel(m_colourCamera, cameraName));
    m_connectionLabel->setToolTip(text(info->GetIPAddress()));
    ui->actionSChannel->setEnabled(m_colourCamera);
    ui->actionRChannel->setEnabled(m_colourCamera);
    ui->actionAverage_Green_s->setEnabled(m_colourCamera);
    m_connectionDescription = StationTexts::connectionDescription(m_colourCamera);
    m_panel->splitColors->setChecked(m_colourCamera);
    m_panel->splitColors->setEnabled(m_colourCamera);
    setWindowTitle(StationTexts::connectedWindowTitle(cameraName));
}

bool Lumi_cam::setWorkFolder(const QString& path)
{
    if (!QDir(path).exists() && !QDir().mkpath(path)) {
        Prompt::current().message(this, Prompt::Critical, QStringLiteral("Folder error"),
                                  QStringLiteral("Could not create output folder: %1").arg(path));
        return false;
    }
    m_workPath = path;
    ui->actionCapture->setEnabled(true);
    m_panel->workFolder->setText(path);
    return true;
}

// Filled in by the calibration, lens, colour-table and maintenance parts of
// the station.
bool Lumi_cam::loadLUTs(int) { return false; }
void Lumi_cam::averageGreens(bool) {}
void Lumi_cam::uncheckLensButton() {}
void Lumi_cam::showFocusDialog(bool) {}
void Lumi_cam::saveCal(QString) {}
void Lumi_cam::processCal() {}
void Lumi_cam::doDistortion() {}
void Lumi_cam::doCal(bool) {}
void Lumi_cam::showQE() {}
void Lumi_cam::help() {}
void Lumi_cam::about() {}
void Lumi_cam::showImage(QImage*) {}
void Lumi_cam::showSize(QString) {}
void Lumi_cam::changePath() {}
void Lumi_cam::showCoord(int, int) {}
void Lumi_cam::updateCamHealth(quint32, quint32, quint32) {}
void Lumi_cam::rebootCamera() {}
void Lumi_cam::resetCamera() {}
void Lumi_cam::setCCDTemp() {}
void Lumi_cam::camAbout() {}
void Lumi_cam::setCamName() {}
void Lumi_cam::workFolderUpdated(QString) {}
void Lumi_cam::redSelected(bool) {}
void Lumi_cam::greenSelected(bool) {}
// ROI readouts: the scene builds its label from the value set here.
void Lumi_cam::calcROIIntensity(QRect) { m_scene->setIntensityValue(0); }
void Lumi_cam::calcROISharpness(QRect) { m_scene->setSharpnessValue(0); }
void Lumi_cam::showProfilePlot(int, int, int, int) {}
void Lumi_cam::showSensorDlg() {}
void Lumi_cam::showioDlg() {}
