#pragma once

#include "remote/RemoteHandler.h"
#include "remote/RemoteStatusProvider.h"

class Lumi_cam;

namespace Ui {
class LUMI_camClass;
}

// The main window as the remote-control server sees it: the station's state
// for the replies, and each command of the table carried out as a user would,
// by checking the form's actions and filling the side panel, so the window's
// own slots do the work.
class StationRemote : public RemoteStatusProvider, public RemoteHandler
{
public:
    // Neither is owned; both outlive the adapter.
    StationRemote(Lumi_cam& window, Ui::LUMI_camClass& form);

    // RemoteStatusProvider
    RemoteProtocol::StationState stationState() const override;
    void clearCaptureDone() override;
    int roiValue() const override { return 0; } // no ROI measurement yet
    // RemoteHandler
    bool execute(const RemoteProtocol::RemoteCommand& command) override;
    // Handed to the lens dialog after the caller returns: a preset's moves
    // wait, and the dialog's boxes are modal, so neither may run inside the
    // server's socket handler. The lens commands keep their order.
    void executeLens(const RemoteProtocol::RemoteCommand& command) override;

private:
    void runLens(const RemoteProtocol::RemoteCommand& command);

    Lumi_cam& m_window;
    Ui::LUMI_camClass& m_form;
};
