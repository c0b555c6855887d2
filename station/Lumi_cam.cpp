// The main window: construction and wiring of its form, side panel, status
// bar and plot, and closing. Its slots live in the Lumi_cam_*.cpp files by topic.

#include "Lumi_cam.h"

#include "ModeToolBar.h"
#include "Prompt.h"
#include "SidePanel.h"
#include "StationTexts.h"
#include "analysis/BoardCollector.h"
#include "analysis/LensCalibration.h"
#include "analysis/calDlg.h"
#include "camera/camSearchDlg.h"
#include "dialogs/ioSettingsDlg.h"
#include "dialogs/sensorSettingsDlg.h"
#include "focusDlg.h"
#include "frames/CustomScene.h"
#include "frames/MyGraphicsView.h"
#include "remote/RemoteServer.h"
#include "remote/StationRemote.h"
#include "runs/setIPDlg.h"
#include "runs/TmxLink.h"
#include "ui_LUMI_camClass.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMovie>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>

Q_LOGGING_CATEGORY(lcShell, "kessane.station.shell")

namespace {

// How long a notice (a box nobody waited for, a refused setting) stays in the
// status bar.
constexpr int NoticeShownMs = 10000;

} // namespace

Lumi_cam::Lumi_cam(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags),
      ui(std::make_unique<Ui::LUMI_camClass>()),
      m_boards(std::make_unique<BoardCollector>()),
      m_calibration(std::make_unique<LensCalibration>()),
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

    m_focusDlg = new focusDlg(this);
    connect(this, &Lumi_cam::currentSHARPNESS, m_focusDlg, &focusDlg::currentSharpScore);
    connect(m_focusDlg, &focusDlg::focusClosed, this, &Lumi_cam::uncheckLensButton);

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
    connect(m_tmx, &TmxLink::settled, this, &Lumi_cam::reportCaptureDone);
    connect(m_tmx, &TmxLink::requestFailed, this, &Lumi_cam::generatorRequestFailed);
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
    setGreenAveraging(ui->actionAverage_Green_s->isChecked());

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
    // A box that holds nothing (a console's command, a run's event) may find
    // nobody at the station: its text stays in the status bar for a while.
    Prompt::setNoticeReporter(
        [this](const QString& title, const QString& text) { showNotice(title + QStringLiteral(": ") + text); });

    buildSidePanel();
    connect(m_panel->exposure, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &Lumi_cam::changeExposure);
    connect(m_panel->folderChooser, &QToolButton::pressed, this, &Lumi_cam::changePath);
    connect(m_panel->average, qOverload<int>(&QSpinBox::valueChanged), this, &Lumi_cam::changeAvg);

    // The writer's reports reach the window through an object of their own:
    // destroyAcqThread lets go of every call queued to the window itself.
    auto* writerReports = new QObject(this);
    connect(&m_writer, &CaptureQueue::writeFailed, writerReports,
            [this](int run, WriteFailure failure) { captureWriteFailed(run, failure); });
    connect(&m_writer, &CaptureQueue::runEnded, writerReports,
            [this](CaptureQueue::Summary summary) { captureRunEnded(summary); });

    m_nextDrainPass = new QTimer(this);
    m_nextDrainPass->setSingleShot(true);
    m_nextDrainPass->setInterval(0);
    connect(m_nextDrainPass, &QTimer::timeout, this, &Lumi_cam::drainFrames);

    m_searchDlg = new camSearchDlg(this);
    connect(m_searchDlg, &camSearchDlg::selectedCamera, this, &Lumi_cam::openCam);
    connect(m_searchDlg, &camSearchDlg::dialogClosed, this, &Lumi_cam::uncheckConnectButton);

    m_calDlg = new calDlg(this);
    connect(m_calDlg, &calDlg::startCalibration, this, &Lumi_cam::doCal);
    connect(m_calDlg, &calDlg::calFileName, this, &Lumi_cam::saveCal);

    setWindowTitle(StationTexts::windowTitle());

    m_averageCount = unsigned(m_panel->average->value());

    m_modeGroup = new QActionGroup(this);
    m_modeGroup->setExclusive(true);
    m_modeGroup->addAction(ui->actionDouble_Framing_Mode);
    m_modeGroup->addAction(ui->actionFrame_Accumulation_Mode);
    m_modeGroup->addAction(ui->actionRadiometric_Mode);
    // The user's switches of how the camera acquires wait for a capture's
    // end as the console's do: locked while it runs, over whatever enabled
    // state the modes give them.
    m_captureLocked = new QActionGroup(this);
    m_captureLocked->setExclusive(false);
    for (QAction* a : {ui->actionTrigger, ui->actionPulseWidth, ui->actionLifetime_mode})
        m_captureLocked->addAction(a);

    buildProfilePlot();

    // Opens the camera search dialog at once, before the window is shown.
    ui->actionOpenCam->setChecked(true);
}

Lumi_cam::~Lumi_cam()
{
    Prompt::setNoticeReporter({});
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

void Lumi_cam::closeEvent(QCloseEvent* event)
{
    // The profile tool and its plot go whatever the answer.
    ui->actionPlotProfile->setChecked(false);
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

void Lumi_cam::showNotice(const QString& text)
{
    statusBar()->showMessage(text, NoticeShownMs);
}
