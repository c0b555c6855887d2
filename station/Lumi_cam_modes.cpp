// The main window's acquisition modes, camera configuration, gate sets,
// exposure unit and pulse-generator slots.

#include "Lumi_cam.h"

#include "ModeToolBar.h"
#include "SidePanel.h"
#include "camera/CameraConfig.h"
#include "frames/CustomScene.h"
#include "runs/ModeSteps.h"
#include "runs/setIPDlg.h"
#include "runs/TmxLink.h"
#include "ui_LUMI_camClass.h"

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <cmath>

void Lumi_cam::applyCameraConfig()
{
    NqGenParameterArray* params = cameraParameters();
    if (!params)
        return;
    CameraConfig::Hooks hooks;
    hooks.imageSize = [this](const ImageSize& image) {
        m_imageWidth = image.width;
        m_imageHeight = image.height;
        showFrameSize(m_imageWidth, m_imageHeight);
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
    // The steps change the trigger and the exposure of a running acquisition.
    updateSilenceLimit();
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
    // The camera's read-out speed sets its shortest frame.
    updateSilenceLimit();
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
    showFrameSize(m_imageWidth, m_imageHeight);
    const ImageSize scene = sceneSizeFor(image, m_colourCamera);
    m_scene->setSceneSize(int(scene.width), int(scene.height));
}

void Lumi_cam::updateExposureRange(int maximum)
{
    m_maxExposure = maximum;
    m_panel->exposure->setMinimum(ExposureUnits::fromMicroseconds(double(m_minExposure), m_unit));
    // The sensor settings changed the camera's frame time.
    updateSilenceLimit();
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
