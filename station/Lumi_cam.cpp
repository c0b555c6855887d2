#include "Lumi_cam.h"

#include "PayloadSize.h"
#include "Prompt.h"
#include "SidePanel.h"
#include "StationSettings.h"
#include "StationTexts.h"
#include "Thread.h"
#include "camSearchDlg.h"
#include "ui_LUMI_camClass.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMovie>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QThread>
#include <QToolButton>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_text.h>

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
      ui(std::make_unique<Ui::LUMI_camClass>())
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

    m_settings = StationSettings::open();
    m_settings->sync();

    m_tmxAction = new QAction(this);
    connect(m_tmxAction, &QAction::triggered, this, &Lumi_cam::showTMXDialog);

    loadLUTs(1);

    m_playMovie = new QMovie(QStringLiteral(":/Dravo_cam/play.gif"), QByteArray(), this);
    m_recordMovie = new QMovie(QStringLiteral(":/Dravo_cam/record.gif"), QByteArray(), this);
    connect(m_playMovie, &QMovie::frameChanged, this, &Lumi_cam::setButtonIcon);
    connect(m_recordMovie, &QMovie::frameChanged, this, &Lumi_cam::setButtonIcon2);
    ui->actionSChannel->setChecked(true);

    m_scene = new QGraphicsScene(this);
    m_view = new QGraphicsView(this);
    setAcceptDrops(false);
    m_view->setScene(m_scene);
    m_view->setCursor(Qt::CrossCursor);
    setCentralWidget(m_view);
    m_view->show();

    buildStatusBar();

    m_pixmapItem = m_scene->addPixmap(QPixmap());

    buildSidePanel();
    connect(m_panel->exposure, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &Lumi_cam::changeExposure);
    connect(m_panel->folderChooser, &QToolButton::pressed, this, &Lumi_cam::changePath);
    connect(m_panel->average, qOverload<int>(&QSpinBox::valueChanged), this, &Lumi_cam::changeAvg);
    m_generatorControl = true;

    connect(&m_tmxTimer, &QTimer::timeout, this, &Lumi_cam::stopTryingTMX);
    m_network = new QNetworkAccessManager(this);
    connect(m_network, &QNetworkAccessManager::finished, this, &Lumi_cam::finishedSlot);

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
    m_previewing = false;
    m_capturing = false;
    // The thread and the stream use the device: end them while it still exists.
    disconnectCamera();
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
    rebuildModeToolBar(1);
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
    if (!Prompt::current().question(nullptr, QStringLiteral("Kessane Lumivar"), question)) {
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

    const NqDeviceInfo* connected = m_device.GetDeviceInfo();
    const QString cameraName = text(connected->GetUserDefinedName());
    int64_t ccdType = 0;
    if (!m_device.GetGenParameters()->GetIntegerValue("CcdType", ccdType).IsOK())
        ccdType = 0; // unreadable: a monochrome camera
    m_serialNumber = text(connected->GetSerialNumber());

    m_colourCamera = ccdType == colourCcdType;
    m_connectionLabel->setText(StationTexts::connectionLabel(m_colourCamera, cameraName));
    m_connectionLabel->setToolTip(text(connected->GetIPAddress()));
    ui->actionSChannel->setEnabled(m_colourCamera);
    ui->actionRChannel->setEnabled(m_colourCamera);
    ui->actionAverage_Green_s->setEnabled(m_colourCamera);
    m_connectionDescription = StationTexts::connectionDescription(m_colourCamera);
    m_panel->splitColors->setChecked(m_colourCamera);
    m_panel->splitColors->setEnabled(m_colourCamera);

    setWindowTitle(StationTexts::connectedWindowTitle(cameraName));

    if (!m_twoGate)
        applyCameraConfig();
    ui->actionRadiometric_Mode->setChecked(true);
    updateDepth(m_displayDepth);
    m_sizeLabel->setText(QStringLiteral("%1x%2").arg(m_imageWidth).arg(m_imageHeight));

    switchGate(ui->actionGates->isChecked());
    rebuildModeToolBar(1);
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
    destroyAcqThread();
    m_device.Disconnect();
    m_stream.Close();
    releaseImageBuffers();
}

void Lumi_cam::releaseImageBuffers()
{
    std::vector<uint8_t>().swap(m_displayBuffer);
    std::vector<uint16_t>().swap(m_planeA);
    std::vector<uint16_t>().swap(m_planeB);
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
    m_currentFrame.reset();
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

// Filled in by the frame, scene, run, mode, generator, remote-control,
// calibration and maintenance parts of the station.
bool Lumi_cam::loadLUTs(int) { return false; }
void Lumi_cam::applyCameraConfig() {}
void Lumi_cam::rebuildModeToolBar(int) {}
void Lumi_cam::averageGreens(bool) {}
void Lumi_cam::uncheckLensButton() {}
void Lumi_cam::showFocusDialog(bool) {}
void Lumi_cam::doSubFolder(bool) {}
void Lumi_cam::zoomIn() {}
void Lumi_cam::zoomOut() {}
void Lumi_cam::zoomFit() {}
void Lumi_cam::setButtonIcon(int) {}
void Lumi_cam::setButtonIcon2(int) {}
void Lumi_cam::showTMXDialog() {}
void Lumi_cam::saveCal(QString) {}
void Lumi_cam::processCal() {}
void Lumi_cam::doDistortion() {}
void Lumi_cam::doCal(bool) {}
void Lumi_cam::setMs(bool) {}
void Lumi_cam::setUs(bool) {}
void Lumi_cam::changeImageSize(QRect) {}
void Lumi_cam::roiMode(bool) {}
void Lumi_cam::showQE() {}
void Lumi_cam::help() {}
void Lumi_cam::about() {}
void Lumi_cam::runPreview(bool) {}
void Lumi_cam::runCapture(bool) {}
void Lumi_cam::stopCapture() {}
void Lumi_cam::showImage(QImage*) {}
void Lumi_cam::showSize(QString) {}
void Lumi_cam::changeExposure(double) {}
void Lumi_cam::setExtTrigger(bool) {}
void Lumi_cam::triggerWidth(bool) {}
void Lumi_cam::changeAvg(int) {}
void Lumi_cam::changePath() {}
void Lumi_cam::showCoord(int, int) {}
void Lumi_cam::showSignal(unsigned long long, FrameRef) {} // the frame is let go here
void Lumi_cam::setTurboMode(bool) {}
void Lumi_cam::acceptConnection() {}
void Lumi_cam::readCommand() {}
void Lumi_cam::sendToMasterDone(QTcpSocket*) {}
void Lumi_cam::enableRemoteControl(bool) {}
void Lumi_cam::updateCamTemp(int) {}
void Lumi_cam::updateCamHealth(quint32, quint32, quint32) {}
void Lumi_cam::rebootCamera() {}
void Lumi_cam::resetCamera() {}
void Lumi_cam::setCCDTemp() {}
void Lumi_cam::camAbout() {}
void Lumi_cam::setCamName() {}
void Lumi_cam::workFolderUpdated(QString) {}
void Lumi_cam::updateDepth(int) {}
void Lumi_cam::applyScale(bool) {}
void Lumi_cam::redSelected(bool) {}
void Lumi_cam::greenSelected(bool) {}
void Lumi_cam::applyLUT(bool) {}
void Lumi_cam::calcROIIntensity(QRect) {}
void Lumi_cam::calcROISharpness(QRect) {}
void Lumi_cam::plotProfileMode(bool) {}
void Lumi_cam::showProfilePlot(int, int, int, int) {}
void Lumi_cam::showSensorDlg() {}
void Lumi_cam::updateBinning(int) {}
void Lumi_cam::updateExposureRange(int) {}
void Lumi_cam::showioDlg() {}
void Lumi_cam::enableLifetime(bool) {}
void Lumi_cam::switchGate(bool) {}
void Lumi_cam::enableDFM(bool) {}
void Lumi_cam::enableFAM(bool) {}
void Lumi_cam::enableRM(bool) {}
void Lumi_cam::setTMXIP(QString, bool) {}
void Lumi_cam::stopTryingTMX() {}
void Lumi_cam::TryingTMX() {}
void Lumi_cam::finishedSlot(QNetworkReply*) {}
