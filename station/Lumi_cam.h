#pragma once

#include "EventWait.h"
#include "RemoteProtocol.h"
#include "RepeatedFailure.h"
#include "analysis/RoiStatistics.h"
#include "base/NqResult.h"
#include "camera/Frame.h"
#include "camera/NqDevice.h"
#include "camera/NqPipeline.h"
#include "camera/NqStream.h"
#include "capture/CaptureQueue.h"
#include "capture/FrameSlotQueue.h"
#include "frames/DisplayBuffers.h"
#include "frames/PixelConversion.h"
#include "frames/StreamStatistics.h"
#include "runs/ExposureControl.h"
#include "runs/ExposureUnit.h"
#include "runs/GateSet.h"

#include <QDeadlineTimer>
#include <QIcon>
#include <QImage>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <QVector>

#include <cstdint>
#include <memory>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcShell)

class BoardCollector;
class CustomScene;
class LensCalibration;
class ModeToolBar;
class MyGraphicsView;
class NqGenParameterArray;
class QAction;
class QActionGroup;
class QLabel;
class QMessageBox;
class QMovie;
class QSettings;
class QTcpSocket;
class QTimer;
class QwtPlot;
class QwtPlotCurve;
class RemoteServer;
class SidePanel;
class StationRemote;
class Thread;
class TmxLink;
class calDlg;
class camSearchDlg;
class focusDlg;
class ioSettingsDlg;
class sensorSettingsDlg;
class setIPDlg;

namespace Ui {
class LUMI_camClass;
}

// The station's main window: owns the camera, its stream and acquisition
// thread, the form, the side panel and the dialogs, and wires them together.
// The remote-control server reads and commands it through a StationRemote.
class Lumi_cam : public QMainWindow
{
    Q_OBJECT

public:
    explicit Lumi_cam(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~Lumi_cam() override;

    // Device and stream connection. When it fails isConnected() is false and
    // actionOpenCam unchecked.
    void connectCamera(const NqDeviceInfo* info);
    // Ends the acquisition thread, then disconnects the device and closes the stream.
    void disconnectCamera();

    void createAcqThread();
    void destroyAcqThread();
    void startAcquisition();
    void stopAcquisition();
    // Tells the acquisition thread how long the stream of the running
    // acquisition may stay silent (its exposure and trigger decide).
    void updateSilenceLimit();
    // The same, for a stream whose frames may last `exposureUs`; returns the
    // limit set (0: not watched).
    unsigned updateSilenceLimit(double exposureUs);
    // Bytes a frame of the connected camera needs, 0 when none is connected.
    uint32_t getPayloadSize();

    bool isConnected() const { return m_connected; }
    const Thread* acquisitionThread() const { return m_thread; }
    const CaptureQueue& captureWriter() const { return m_writer; }
    const SidePanel& sidePanel() const { return *m_panel; }
    RemoteServer* remoteServer() const { return m_remote; }
    TmxLink* generatorLink() const { return m_tmx; }
    CustomScene* scene() const { return m_scene; }
    focusDlg* focusDialog() const { return m_focusDlg; }
    bool isPreviewing() const { return m_previewing; }
    bool isCapturing() const { return m_capturing; }
    bool isTwoGate() const { return m_twoGate; }
    // What the remote replies report. The capture-done flag is raised when a
    // capture reaches its target and lowered once reported.
    RemoteProtocol::StationState stationState() const;
    void clearCaptureDone() { m_captureDone = false; }
    SampleDepths sampleDepths() const { return m_depths; }
    ActiveGate activeGate() const { return m_gate; }

    // Names the camera (DeviceUserID) and shows it in the window.
    void renameCamera(const QString& name);
    // Creates `path` when missing and makes it the work folder; false when it
    // cannot be created.
    bool setWorkFolder(const QString& path);

    // Program-and-run request of the active gate set to the pulse generator.
    void sendTMXProgram();
    void sendTMXRun();

signals:
    void currentSHARPNESS(double);

public slots:
    void averageGreens(bool on);
    void uncheckConnectButton();
    void uncheckLensButton();
    void showFocusDialog(bool on);
    void doSubFolder(bool on);
    void zoomIn();
    void zoomOut();
    void zoomFit();
    void setButtonIcon(int frame);
    void setButtonIcon2(int frame);
    void showTMXDialog();
    void saveCal(QString fileName);
    void processCal();
    void doDistortion();
    void doCal(bool on);
    void setMs(bool on);
    void setUs(bool on);
    void changeImageSize(QRect rect);
    void roiMode(bool on);
    void showQE();
    void help();
    void about();
    void runPreview(bool on);
    void runCapture(bool on);
    void stopCapture();
    void openCam(bool on);
    void openCamera(bool on);
    void showImage(QImage* image);
    void showSize(QString text);
    void changeExposure(double exposure);
    void setExtTrigger(bool on);
    void triggerWidth(bool on);
    void changeAvg(int count);
    void changePath();
    void showCoord(int x, int y);
    void showSignal(unsigned long long count, FrameRef frame);
    // The acquisition thread found the camera gone.
    void cameraLost();
    // The writer thread could not write a capture file, or ended a run.
    void captureWriteFailed(int run, WriteFailure failure);
    void captureRunEnded(CaptureQueue::Summary summary);
    // The stream delivered frames, none of them complete, for as long as the
    // camera may stay silent.
    void framesIncomplete(unsigned long long incomplete, qint64 ms);
    void setTurboMode(bool on);
    void enableRemoteControl(bool on);
    void updateCamTemp(int temperature);
    void updateCamHealth(quint32 a, quint32 b, quint32 c);
    void rebootCamera();
    void resetCamera();
    void setCCDTemp();
    void camAbout();
    void setCamName();
    void workFolderUpdated(QString folder);
    void updateDepth(int depth);
    void applyScale(bool on);
    void redSelected(bool on);
    void greenSelected(bool on);
    void applyLUT(bool on);
    void calcROIIntensity(QRect rect);
    void calcROISharpness(QRect rect);
    void plotProfileMode(bool on);
    void showProfilePlot(int x1, int y1, int x2, int y2);
    void showSensorDlg();
    void updateBinning(int factor);
    void updateExposureRange(int maximum);
    void showioDlg();
    void enableLifetime(bool on);
    void switchGate(bool gate2);
    void enableDFM(bool on);
    void enableFAM(bool on);
    void enableRM(bool on);
    void setTMXIP(QString ip, bool externallyTriggered);
    void TryingTMX();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectActions();
    void buildProfilePlot();
    void buildStatusBar();
    void buildSidePanel();
    // The actions and side-panel widgets that need a connected camera.
    void setCameraControlsEnabled(bool on);
    void releaseImageBuffers();
    // Loads colour table `index` from the program's folder; false for an
    // index the station does not know (the table is kept then).
    bool loadLUTs(int index);
    // The display step of the frame path: `frame` becomes the kept frame and
    // is rendered and shown. False when it cannot be shown.
    bool showFrame(const FrameRef& frame);
    // Renders the kept frame again with the current display options.
    bool renderKeptFrame();
    DisplayBuffers::Options displayOptions() const;
    // Shows the kept frame in the selected colour plane and refreshes the readouts.
    void showChannel();
    // What the readouts measure: the kept frame (mono) or its selected colour
    // plane; invalid without one.
    PixelSource pixelSource() const;
    // The frame slot's re-plot of the stored profile line.
    void replotProfile();
    // The frame slot's end of a chessboard collection.
    void followCalibration();
    // Before the pipeline stops: the kept frame goes back to it and a
    // chessboard collection in progress ends.
    void endFrameAnalysis();
    void applyCameraConfig();
    void runModeSteps(int mode, bool on);
    // The camera's features while one is connected, else null.
    NqGenParameterArray* cameraParameters();
    // One pass of the frame slot's drain (see FrameSlotQueue).
    void drainFrames();
    void handleFrame(const FrameRef& frame);
    // Hands a frame of the capture to the writer thread; in two-gate mode
    // the gates then change over.
    void storeCaptureFrame(const FrameRef& frame);
    void beginCaptureFiles();
    void endCaptureFiles();
    void storeQueuedCaptureFrames();
    bool isCaptureFrame(const Frame& frame) const;
    // Raises the capture-done flag once the capture that reached its target
    // has all its files written and its generator requests answered.
    void reportCaptureDone();
    void generatorRequestFailed(quint64 request);
    // Writes the capture's settings file; a failure says which file and why.
    WriteFailure writeSidecar();
    // The stream error label: the frames of the run that were lost.
    void showRunErrors();
    // Shows `text` in the status bar for a while (nobody may be watching).
    void showNotice(const QString& text);
    void followImageSize();
    // The status bar's size label: "WxH" of the camera's image at connection
    // and after a binning or ROI change, then of every frame of another size.
    void showFrameSize(int64_t width, int64_t height);
    bool validateRunParams();
    // The side panel's fields of gate 1 or 2 as typed.
    GateFields gateFields(int number) const;
    // Runs events for ms milliseconds; false when the wait was cancelled
    // (the camera went away).
    bool waitWithEvents(int ms);
    void enableCameraControls(bool enabled);
    void restartRunCounters();
    // The connected camera's name, colour kind and address in the window.
    void showCameraIdentity(const QString& cameraName);
    void setExposureSpin(double microseconds);
    // The camera did not take an exposure change: says what it refused and
    // shows the exposure it has.
    void showCameraExposure(const QString& refusal);
    void applyExposureSetup(const ExposureSpinSetup& setup);
    // Ends the acquisition thread, storing the frames a finished capture
    // still owns; the device stays connected.
    void endAcquisitionThread();
    // The connection's sensor and output-line dialogs.
    void createCameraDialogs();
    // Locks the sensor dialog's read-out settings while a run is on.
    void updateSensorDialogLock();
    // The capture folder: the work folder, with the camera's sub-folder when chosen.
    QString cameraWorkPath() const;
    // Creates `path` with its parents; false (after a critical box) when it cannot.
    bool createWorkPath(const QString& path);
    // Reboot or reset after the user's confirmation: runs and the acquisition
    // thread end first, then `command`, then the station disconnects.
    void restartCamera(const char* command, const QString& question);

    // Buffers of the stream's pipeline. The capture's writer queue takes as
    // many frames, so frames are lost only when the disk is slower than the
    // camera (then the pipeline runs out of buffers, and that is counted).
    static constexpr uint32_t streamBuffers = 64;

    // Declared first so they die last: the device outlives its stream, the
    // stream its pipeline.
    QString m_cameraModel;
    QIcon m_icon;
    NqDevice m_device;
    NqStream m_stream;
    NqPipeline m_pipeline{&m_stream};
    NqResult m_lastResult{NqResult::Code::NOT_INITIALIZED};
    // Waits that keep the window responsive; cancelled when the camera goes.
    EventWait m_wait;
    std::unique_ptr<Ui::LUMI_camClass> ui;

    std::unique_ptr<QwtPlot> m_plot; // a top-level window of its own
    QwtPlotCurve* m_curve = nullptr; // owned by the plot
    QVector<double> m_profileX, m_profileY;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<SidePanel> m_panel;
    QMovie* m_playMovie = nullptr;
    QMovie* m_recordMovie = nullptr;
    CustomScene* m_scene = nullptr;
    MyGraphicsView* m_view = nullptr;
    QLabel* m_connectionLabel = nullptr;
    QLabel* m_statusLabel = nullptr;
    QLabel* m_sizeLabel = nullptr;
    QLabel* m_temperatureLabel = nullptr;
    QMessageBox* m_pictureBox = nullptr;
    camSearchDlg* m_searchDlg = nullptr;
    calDlg* m_calDlg = nullptr;
    focusDlg* m_focusDlg = nullptr;
    setIPDlg* m_ipDlg = nullptr;
    TmxLink* m_tmx = nullptr;
    std::unique_ptr<StationRemote> m_remoteAdapter;
    RemoteServer* m_remote = nullptr;
    QActionGroup* m_modeGroup = nullptr;
    QActionGroup* m_captureLocked = nullptr; // trigger, pulse width, lifetime mode
    Thread* m_thread = nullptr;
    std::unique_ptr<ModeToolBar> m_toolBar;
    // Per connection, on m_device; without parent, as top-level dialogs.
    std::unique_ptr<sensorSettingsDlg> m_sensorDlg;
    std::unique_ptr<ioSettingsDlg> m_ioDlg;

    // The frame path. Its buffers are sized per sensor and depth and
    // released on disconnect.
    DisplayBuffers m_buffers;
    // Writes the capture files on a thread of its own; declared after the
    // pipeline, whose buffers the queued frames hold, so that it ends first.
    CaptureQueue m_writer{streamBuffers};
    FrameSlotQueue m_frames;
    QTimer* m_nextDrainPass = nullptr;
    // After an exposure change the camera reports its new frame time once
    // the frame under way has ended: the first frame after this deadline has
    // the silence limit worked out again (from a camera known to answer).
    QDeadlineTimer m_silenceRefresh{QDeadlineTimer::Forever};
    // Two-gate captures write the exposure at every frame: a camera that
    // refuses it would be logged at the frame rate.
    RepeatedFailure m_exposureRefusals;
    StreamStatistics m_streamStats;
    SampleDepths m_depths;
    QVector<QRgb> m_colourTable;
    // The last frame the frame slot showed, at its own size: readouts and
    // re-renders read it, never a buffer the pipeline may refill. Dropped on
    // disconnect, before the pipeline stops.
    FrameRef m_lastFrame;
    double m_sharpness = 0;
    QLine m_profileLine; // the line last plotted; (0, 0, 0, 0) for none

    // Lens calibration: the acquisition thread collects the boards, the
    // frame slot ends the collection.
    std::unique_ptr<BoardCollector> m_boards;
    std::unique_ptr<LensCalibration> m_calibration;
    bool m_collecting = false;
    int m_boardsWanted = 0;

    ExposureControl m_exposure;
    ExposureUnit m_unit = ExposureUnit::Microseconds;
    ActiveGate m_gate;

    // Station state.
    bool m_connected = false;
    bool m_previewing = false;
    bool m_capturing = false;
    bool m_captureDone = false;
    bool m_colourCamera = false;
    bool m_twoGate = false;
    bool m_frameChoice = false; // double framing: Gate1 selected
    bool m_lutOn = false;
    bool m_normalise = false;
    bool m_subFolder = false;
    int64_t m_imageWidth = 0;
    int64_t m_imageHeight = 0;
    QSize m_shownFrameSize; // what the size label names (it also shows pixel readouts)
    int64_t m_minExposure = 0;
    int64_t m_maxExposure = 0;
    int64_t m_displayedFrames = 0;
    int m_captureTarget = -1; // frames the current capture waits for
    // Frames numbered above this are not the capture's: the target, or the
    // frames received when the capture was stopped.
    unsigned long long m_captureLastFrame = 0;
    // The acquisition thread's run whose frames the capture stores.
    unsigned m_captureFramesRun = 0;
    // A capture ended while the frame slot was processing events: its files
    // are closed once the frames that arrived before the end are written.
    bool m_endCaptureAfterDrain = false;
    CaptureRow m_captureRow = CaptureRow::MonoStandard;
    int m_captureRun = 0; // the writer's run of the current (or last) capture
    // The capture that reached its target: it is done once the writer has
    // written all its files and no frame of it was lost (`m_doneLosses`:
    // frames the camera lost before the target).
    int m_doneRun = 0;
    unsigned long long m_doneLosses = 0;
    bool m_doneWritten = false; // the writer has written every file of m_doneRun
    // The capture's generator requests: those after the first number up to
    // the last (the latest when the capture reached its target). A capture
    // one of them failed for is not done.
    quint64 m_generatorFirstRequest = 0;
    quint64 m_generatorLastRequest = 0;
    bool m_generatorFailed = false;
    int m_cameraTemperature = -1000; // no reading yet
    unsigned m_averageCount = 1;
    double m_currentExposure = 0; // microseconds
    QString m_serialNumber;
    QString m_connectionDescription;
    QString m_workPath;
    QString m_workDirectory; // where the folder chooser starts
};
