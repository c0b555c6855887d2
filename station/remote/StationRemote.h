#pragma once

#include "remote/RemoteHandler.h"
#include "remote/RemoteStatusProvider.h"
#include "remote/RemoteWindow.h"

class Lumi_cam;

namespace Ui {
class LUMI_camClass;
}

// The main window as the remote-control server sees it: the station's state
// for the replies, and each command of the table carried out as a user would,
// by checking the form's actions and filling the side panel, so the window's
// own slots do the work.
class StationRemote : public RemoteStatusProvider, public RemoteHandler, public RemoteWindow
{
public:
    // Neither is owned; both outlive the adapter.
    StationRemote(Lumi_cam& window, Ui::LUMI_camClass& form);

    // RemoteStatusProvider
    RemoteProtocol::StationState stationState() const override;
    void clearCaptureDone() override;
    int roiValue() const override;
    // RemoteHandler
    bool execute(const RemoteProtocol::RemoteCommand& command) override;
    // The lens dialog's operations. A preset's moves wait and the dialog's
    // boxes are modal: the server runs its commands from the event loop,
    // never from a socket's handler.
    void executeLens(const RemoteProtocol::RemoteCommand& command) override;
    bool isAcquiringCapture() const override;
    // RemoteWindow
    void setSwitch(Switch which, bool on) override;
    void setExposure(double value) override;
    void setAverage(int count) override;
    void setFrames(int count) override;
    void setPrefix(const QString& prefix) override;
    void setPoint(const QString& point) override;
    void renameCamera(const QString& name) override;
    bool hasWorkFolder() const override;
    bool setWorkFolder(const QString& path) override;
    void showFolderError(const QString& path) override;
    void showRefusal(const QString& reason) override;

private:
    Lumi_cam& m_window;
    Ui::LUMI_camClass& m_form;
};
