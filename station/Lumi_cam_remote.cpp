// The main window's side of remote control: state, camera name, work folder.

#include "Lumi_cam.h"

#include "SidePanel.h"
#include "StationTexts.h"
#include "camera/Thread.h"
#include "remote/RemoteServer.h"
#include "runs/RunRules.h"
#include "ui_LUMI_camClass.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace {

constexpr int64_t colourCcdType = 12;

} // namespace

void Lumi_cam::enableRemoteControl(bool on)
{
    if (m_remote->enableRemoteControl(on))
        ui->actionRemote_Control->setText(on ? QStringLiteral("Disable Remote Control")
                                             : QStringLiteral("Enable Remote Control"));
}

RemoteProtocol::StationState Lumi_cam::stationState() const
{
    RemoteProtocol::StationState state;
    // A camera found gone is no camera from then on, while its run ends.
    state.connected = m_connected && !m_device.IsLost();
    state.colourCamera = m_colourCamera;
    state.previewing = m_previewing;
    // A capture that reached its target goes on until the writer has written
    // its last file: the console reads "Captured" until "ReadyDone".
    state.capturing = m_capturing || m_doneRun != 0;
    state.captureDone = m_captureDone;
    if (m_thread) {
        state.targetFrames = state.capturing ? m_captureTarget : -1;
        state.framesReceived = state.capturing ? RunRules::capturedFrames(m_thread->framesReceived(), m_captureTarget)
                                               : m_thread->framesReceived();
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
    if (StationTexts::fromSdk(userId) != name) {
        params->SetStringValue("DeviceUserID", name.toLatin1().constData());
        params->GetStringValue("DeviceUserID", userId);
    }
    showCameraIdentity(StationTexts::fromSdk(userId));
}

void Lumi_cam::showCameraIdentity(const QString& cameraName)
{
    int64_t ccdType = 0;
    if (!m_device.GetGenParameters()->GetIntegerValue("CcdType", ccdType).IsOK())
        ccdType = 0; // unreadable: a monochrome camera
    const NqDeviceInfo* info = m_device.GetDeviceInfo();
    m_serialNumber = StationTexts::fromSdk(info->GetSerialNumber());
    m_colourCamera = ccdType == colourCcdType;
    m_connectionLabel->setText(StationTexts::connectionLabel(m_colourCamera, cameraName));
    m_connectionLabel->setToolTip(StationTexts::fromSdk(info->GetIPAddress()));
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
    if (!QDir(path).exists() && !QDir().mkpath(path))
        return false;
    m_workPath = path;
    m_workDirectory = path;
    ui->actionCapture->setEnabled(true);
    m_panel->workFolder->setText(path);
    return true;
}
