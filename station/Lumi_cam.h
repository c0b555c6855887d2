#pragma once

#include "Frame.h"
#include "NqDevice.h"
#include "NqPipeline.h"
#include "NqResult.h"
#include "NqStream.h"

#include <QIcon>
#include <QImage>
#include <QMainWindow>
#include <QRect>
#include <QTimer>
#include <QVector>

#include <cstdint>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QGraphicsPixmapItem;
class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QMessageBox;
class QMovie;
class QNetworkAccessManager;
class QNetworkReply;
class QSettings;
class QTcpSocket;
class QwtPlot;
class QwtPlotCurve;
class SidePanel;
class Thread;
class camSearchDlg;

namespace Ui {
class LUMI_camClass;
}

// The station's main window: owns the camera, its stream and acquisition
// thread, the form, the side panel and the dialogs, and wires them together.
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
    // Bytes a frame of the connected camera needs, 0 when none is connected.
    uint32_t getPayloadSize();

    bool isConnected() const { return m_connected; }
    const Thread* acquisitionThread() const { return m_thread; }
    const SidePanel& sidePanel() const { return *m_panel; }

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
    void setTurboMode(bool on);
    void acceptConnection();
    void readCommand();
    void sendToMasterDone(QTcpSocket* socket);
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
    void stopTryingTMX();
    void TryingTMX();
    void finishedSlot(QNetworkReply* reply);

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
    bool loadLUTs(int index);
    void applyCameraConfig();
    void rebuildModeToolBar(int layout);

    // Declared first so they die last: the device outlives its stream, the
    // stream its pipeline.
    QString m_cameraModel;
    QIcon m_icon;
    QImage m_displayImage;
    NqDevice m_device;
    NqStream m_stream;
    NqPipeline m_pipeline{&m_stream};
    NqResult m_lastResult{NqResult::Code::NOT_INITIALIZED};
    QTimer m_tmxTimer;
    std::unique_ptr<Ui::LUMI_camClass> ui;

    std::unique_ptr<QwtPlot> m_plot; // a top-level window of its own
    QwtPlotCurve* m_curve = nullptr; // owned by the plot
    QVector<double> m_profileX, m_profileY;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<SidePanel> m_panel;
    QAction* m_tmxAction = nullptr;
    QMovie* m_playMovie = nullptr;
    QMovie* m_recordMovie = nullptr;
    QGraphicsScene* m_scene = nullptr;
    QGraphicsView* m_view = nullptr;
    QGraphicsPixmapItem* m_pixmapItem = nullptr;
    QLabel* m_connectionLabel = nullptr;
    QLabel* m_statusLabel = nullptr;
    QLabel* m_sizeLabel = nullptr;
    QLabel* m_temperatureLabel = nullptr;
    QMessageBox* m_pictureBox = nullptr;
    QNetworkAccessManager* m_network = nullptr;
    camSearchDlg* m_searchDlg = nullptr;
    QActionGroup* m_modeGroup = nullptr;
    Thread* m_thread = nullptr;

    // Image buffers of the frame path, released on disconnect. The frame
    // holds a pipeline buffer and goes before the pipeline stops.
    FrameRef m_currentFrame;
    std::vector<uint8_t> m_displayBuffer;
    std::vector<uint16_t> m_planeA, m_planeB;

    // Station state.
    bool m_connected = false;
    bool m_previewing = false;
    bool m_capturing = false;
    bool m_captureDone = false;
    bool m_roiRequest = false;
    bool m_colourCamera = false;
    bool m_twoGate = false;
    bool m_generatorControl = true;
    bool m_calibrating = false;
    int m_boardsFound = 0;
    bool m_lensCorrection = false;
    bool m_lutOn = false;
    bool m_normalise = false;
    int64_t m_imageWidth = 0;
    int64_t m_imageHeight = 0;
    int m_displayDepth = 16;
    int m_cameraTemperature = -1000; // no reading yet
    unsigned m_averageCount = 1;
    double m_currentExposure = 0;
    QString m_serialNumber;
    QString m_connectionDescription;
    QString m_workPath;
};
