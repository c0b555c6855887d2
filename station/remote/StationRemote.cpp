#include "remote/StationRemote.h"

#include "Lumi_cam.h"
#include "Prompt.h"
#include "SidePanel.h"
#include "focusDlg.h"
#include "frames/CustomScene.h"
#include "remote/RemoteDispatch.h"
#include "ui_LUMI_camClass.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>

namespace {

// How long a refusal stays in the status bar.
constexpr int RefusalShownMs = 10000;

} // namespace

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
    return RemoteDispatch::execute(command, *this);
}

bool StationRemote::isAcquiringCapture() const
{
    return m_window.isCapturing();
}

void StationRemote::setSwitch(Switch which, bool on)
{
    Ui::LUMI_camClass& f = m_form;
    switch (which) {
    case Switch::DisplayScale: f.actionDScale->setChecked(on); break;
    case Switch::Run: f.actionRun->setChecked(on); break;
    case Switch::Capture: f.actionCapture->setChecked(on); break;
    case Switch::SplitColours: m_window.sidePanel().splitColors->setChecked(on); break;
    case Switch::Turbo: f.actionTurbo->setChecked(on); break;
    case Switch::PulseWidth: f.actionPulseWidth->setChecked(on); break;
    case Switch::Lut: f.actionLUT->setChecked(on); break;
    case Switch::SChannel: f.actionSChannel->setChecked(on); break;
    case Switch::RChannel: f.actionRChannel->setChecked(on); break;
    case Switch::Trigger: f.actionTrigger->setChecked(on); break;
    }
}

void StationRemote::setExposure(double value)
{
    m_window.sidePanel().exposure->setValue(value);
}

void StationRemote::setAverage(int count)
{
    m_window.sidePanel().average->setValue(count);
}

void StationRemote::setFrames(int count)
{
    m_window.sidePanel().frames->setValue(count);
}

void StationRemote::setPrefix(const QString& prefix)
{
    m_window.sidePanel().prefix->setText(prefix);
}

void StationRemote::setPoint(const QString& point)
{
    m_window.sidePanel().point->setText(point);
}

void StationRemote::renameCamera(const QString& name)
{
    m_window.renameCamera(name);
}

bool StationRemote::hasWorkFolder() const
{
    return !m_window.sidePanel().workFolder->text().isEmpty();
}

bool StationRemote::setWorkFolder(const QString& path)
{
    return m_window.setWorkFolder(path);
}

void StationRemote::showFolderError(const QString& path)
{
    Prompt::current().message(&m_window, Prompt::Critical, QStringLiteral("Folder error"),
                              QStringLiteral("Could not create output folder: %1").arg(path));
}

void StationRemote::showRefusal(const QString& reason)
{
    m_window.statusBar()->showMessage(reason, RefusalShownMs);
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
