#include "remote/StationRemote.h"

#include "Lumi_cam.h"
#include "SidePanel.h"
#include "focusDlg.h"
#include "frames/CustomScene.h"
#include "ui_LUMI_camClass.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>

StationRemote::StationRemote(Lumi_cam& window, Ui::LUMI_camClass& form) : m_window(window), m_form(form) {}

RemoteProtocol::StationState StationRemote::stationState() const
{
    return m_window.stationState();
}

void StationRemote::clearCaptureDone()
{
    m_window.clearCaptureDone();
}

int StationRemote::roiValue() const
{
    return m_window.scene()->intensityValue();
}

bool StationRemote::execute(const RemoteProtocol::RemoteCommand& command)
{
    using RemoteProtocol::Command;
    Ui::LUMI_camClass& f = m_form;
    const SidePanel& panel = m_window.sidePanel();
    switch (command.command) {
    case Command::NormOn: f.actionDScale->setChecked(true); break;
    case Command::NormOff: f.actionDScale->setChecked(false); break;
    case Command::CamName: m_window.renameCamera(command.value); break;
    case Command::Start:
        f.actionRun->setChecked(false);
        f.actionCapture->setChecked(true);
        break;
    case Command::Stop: f.actionCapture->setChecked(false); break;
    case Command::Split: panel.splitColors->setChecked(true); break;
    case Command::NoSplit: panel.splitColors->setChecked(false); break;
    case Command::Overclock: f.actionTurbo->setChecked(true); break;
    case Command::NoOverclock: f.actionTurbo->setChecked(false); break;
    case Command::PulseWidth: f.actionPulseWidth->setChecked(true); break;
    case Command::NoPulseWidth: f.actionPulseWidth->setChecked(false); break;
    case Command::Lut: f.actionLUT->setChecked(true); break;
    case Command::NoLut: f.actionLUT->setChecked(false); break;
    case Command::Sensitive:
        f.actionRChannel->setChecked(false);
        f.actionSChannel->setChecked(true);
        break;
    case Command::Reference:
        f.actionSChannel->setChecked(false);
        f.actionRChannel->setChecked(true);
        break;
    case Command::Preview: f.actionRun->setChecked(true); break;
    case Command::NoPreview: f.actionRun->setChecked(false); break;
    case Command::Trigger: f.actionTrigger->setChecked(true); break;
    case Command::NoTrigger: f.actionTrigger->setChecked(false); break;
    case Command::Exposure: panel.exposure->setValue(RemoteProtocol::doubleValue(command.value)); break;
    case Command::Average: panel.average->setValue(RemoteProtocol::intValue(command.value)); break;
    case Command::Frames: panel.frames->setValue(RemoteProtocol::intValue(command.value)); break;
    case Command::Prefix: panel.prefix->setText(command.value); break;
    case Command::Point: panel.point->setText(command.value); break;
    case Command::Folder: return m_window.setWorkFolder(command.value);
    default: break; // the lens commands go to executeLens
    }
    return true;
}

void StationRemote::executeLens(const RemoteProtocol::RemoteCommand& command)
{
    using RemoteProtocol::Command;
    focusDlg& lens = *m_window.focusDialog();
    switch (command.command) {
    case Command::LensDelete: lens.deleteSelected(command.value); break;
    case Command::LensConnect:
        lens.connectLC(command.value);
        lens.fillProfiles(true);
        lens.show();
        m_window.scene()->setSharpnessMode(true);
        lens.fillProfiles(true);
        break;
    case Command::LensHide: m_form.actionFocus->setChecked(false); break;
    case Command::LensShow: m_form.actionFocus->setChecked(true); break;
    case Command::LensSave: lens.saveProfileAs(command.value); break;
    case Command::LensLoad: lens.applyProfile(command.value); break;
    default: break;
    }
}
