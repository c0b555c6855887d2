// The main window's preview and capture runs, exposure, trigger and averaging.

#include "Lumi_cam.h"

#include "Prompt.h"
#include "SidePanel.h"
#include "camera/FeatureValues.h"
#include "camera/Thread.h"
#include "remote/RemoteServer.h"
#include "runs/ModeSteps.h"
#include "runs/RunRules.h"
#include "runs/TmxLink.h"
#include "ui_LUMI_camClass.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QSpinBox>

#include <algorithm>

bool Lumi_cam::waitWithEvents(int ms)
{
    return m_wait.wait(ms);
}

void Lumi_cam::restartRunCounters()
{
    if (m_thread)
        m_thread->restartFrameTimer();
    m_displayedFrames = 0;
}

void Lumi_cam::enableCameraControls(bool enabled)
{
    const QStringList names = RunRules::lockedActions(m_previewing, m_capturing, m_panel->workFolder->text().isEmpty(),
                                                      ui->actionDouble_Framing_Mode->isChecked());
    for (const QString& name : names)
        if (QAction* action = findChild<QAction*>(name))
            action->setEnabled(enabled);
    for (QWidget* w : {static_cast<QWidget*>(m_panel->framesLabel), static_cast<QWidget*>(m_panel->frames),
                       static_cast<QWidget*>(m_panel->exposureLabel), static_cast<QWidget*>(m_panel->exposure)})
        w->setEnabled(enabled);
    m_panel->setGateWidgetsEnabled(enabled);
    // A capture keeps its averaging count (its file numbers depend on it)
    // and the way the camera acquires (its settings file tells it).
    m_panel->averageLabel->setEnabled(!m_capturing);
    m_panel->average->setEnabled(!m_capturing);
    m_modeGroup->setEnabled(!m_capturing);
    m_captureLocked->setEnabled(!m_capturing);
    updateSensorDialogLock();
}

bool Lumi_cam::validateRunParams()
{
    RunRules::CheckInput input;
    input.externalTrigger = ui->actionTrigger->isChecked();
    input.twoGate = m_twoGate;
    input.exposure = m_currentExposure;
    input.minExposure = m_minExposure;
    input.maxExposure = m_maxExposure;
    input.period = m_gate.period;
    input.delay = m_gate.delay;
    input.ledWidth = m_gate.ledWidth;
    if (m_twoGate) {
        input.gates.push_back(m_gate);
        // A capture alternates the gates, so the other one is sent too.
        if (m_capturing) {
            const int other = m_gate.number == 1 ? 2 : 1;
            input.gates.push_back(GateSet::activate(other, gateFields(other)));
        }
    }
    if (const auto failure = RunRules::check(input)) {
        Prompt::current().message(this, Prompt::Information, failure->title, failure->text);
        return false;
    }
    RunRules::store(*m_settings, {m_panel->exposure->value(), m_panel->frames->value(), m_panel->prefix->text(),
                                  m_panel->point->text()});
    return true;
}

void Lumi_cam::runPreview(bool on)
{
    if (on && !m_connected) {
        const QSignalBlocker block(ui->actionRun);
        ui->actionRun->setChecked(false);
        return;
    }
    m_temperatureLabel->setStyleSheet(QLatin1String(RunRules::ClearedLabelStyle));
    // A capture in progress ends before the preview takes the camera, so the
    // preview never runs over a stopped acquisition.
    if (on && m_capturing)
        ui->actionCapture->setChecked(false);
    if (m_twoGate)
        switchGate(ui->actionGates->isChecked());

    m_previewing = on;
    enableCameraControls(!on);
    m_displayedFrames = 0;
    // Counters start again with a run, not when one stops: frames of a
    // capture still queued keep their numbers.
    if (m_thread && on) {
        m_thread->setCapturing(false);
        m_thread->setTarget(-1);
        m_thread->resetRun();
    }

    if (!on) {
        if (cameraParameters())
            stopAcquisition();
        waitWithEvents(100);
        m_playMovie->stop();
        ui->actionRun->setIcon(QIcon(QStringLiteral(":/Dravo_cam/play.png")));
        return;
    }

    m_tmx->newRun();
    m_playMovie->start();
    m_statusLabel->setText(RunRules::previewStatusText(0, m_thread ? m_thread->frameRate() : 0.0, m_depths.data,
                                                       m_streamStats.bandwidthMbps));
    changeExposure(m_panel->exposure->value());
    // The exposure sequence runs events: the preview may have been stopped,
    // or the camera taken away, meanwhile.
    if (!m_previewing || !cameraParameters())
        return;
    startAcquisition();
    const bool valid = validateRunParams();
    if (!valid && RunRules::failedCheckStopsRun(m_twoGate))
        return;
    if (m_tmx->isControlling() && m_twoGate) {
        if (!waitWithEvents(RunRules::generatorSettleMs(m_panel->exposure->value())) || !m_previewing)
            return;
        sendTMXProgram();
    }
}

void Lumi_cam::runCapture(bool on)
{
    if (on && !m_connected) {
        const QSignalBlocker block(ui->actionCapture);
        ui->actionCapture->setChecked(false);
        return;
    }
    // Without a work folder the files would land in the root folder. (A
    // remote "#start" is refused before it gets here, without a box.)
    if (on && m_panel->workFolder->text().isEmpty()) {
        {
            const QSignalBlocker block(ui->actionCapture);
            ui->actionCapture->setChecked(false);
        }
        Prompt::current().message(this, Prompt::Information, QStringLiteral("Capture"),
                                  QStringLiteral("No work folder is set: the capture was not started."));
        return;
    }
    m_temperatureLabel->setStyleSheet(QLatin1String(RunRules::ClearedLabelStyle));

    m_workPath = cameraWorkPath();
    if (!m_workPath.isEmpty())
        QDir().mkpath(m_workPath);

    if (m_twoGate) {
        // A capture always starts with Gate1.
        ui->actionGates->setChecked(false);
        switchGate(ui->actionGates->isChecked());
    }

    m_displayedFrames = 0;
    m_capturing = on;
    if (on)
        m_captureTarget = RunRules::captureTarget(m_panel->frames->value(), m_twoGate);
    if (m_thread) {
        m_thread->setCapturing(on);
        if (on) {
            m_thread->setTarget(-1);
            m_thread->resetRun();
        }
    }
    enableCameraControls(!on);

    if (!on) {
        m_statusLabel->setStyleSheet(QLatin1String(RunRules::IdleLabelStyle));
        if (cameraParameters())
            stopAcquisition();
        waitWithEvents(100);
        // A capture started during the wait ("#stop" then "#start") is not
        // this one: its files stay open and its acquisition runs on.
        if (m_capturing)
            return;
        endCaptureFiles();
        // An averaging count set during the capture ("#aver=") holds from
        // now on; the console's commands held for its end run next.
        changeAvg(m_panel->average->value());
        m_remote->captureEnded();
        m_recordMovie->stop();
        ui->actionCapture->setIcon(QIcon(QStringLiteral(":/Dravo_cam/record.png")));
        return;
    }

    m_tmx->newRun();
    m_generatorFirstRequest = m_tmx->lastRequest();
    m_generatorLastRequest = ~0ull; // open until the target is reached
    m_generatorFailed = false;
    m_recordMovie->start();
    if (!validateRunParams() && RunRules::failedCheckStopsRun(m_twoGate)) {
        ui->actionCapture->setChecked(false);
        return;
    }
    changeExposure(m_panel->exposure->value());
    if (!m_capturing || !cameraParameters())
        return;
    // After the exposure write: the sidecar records what the camera took.
    // Files without their settings would be useless to whoever reads them.
    if (const WriteFailure failure = writeSidecar()) {
        ui->actionCapture->setChecked(false);
        const FailureBox box = failureBox(failure);
        Prompt::current().message(this, box.icon, box.title, box.text);
        return;
    }
    m_statusLabel->setStyleSheet(QLatin1String(RunRules::CapturingLabelStyle));
    m_statusLabel->setText(RunRules::captureStatusText(ui->actionRadiometric_Mode->isChecked(), 0, m_captureTarget,
                                                       m_thread ? m_thread->errorCount() : 0, m_depths.data));
    if (m_tmx->isControlling() && m_twoGate) {
        if (!waitWithEvents(RunRules::generatorSettleMs(m_panel->exposure->value())) || !m_capturing)
            return;
        sendTMXProgram();
    }
    // The frames an ended capture still has queued are stored under its own
    // run first; then the thread starts the run this capture stores.
    beginCaptureFiles();
    if (m_thread) {
        m_captureFramesRun = m_thread->resetRun();
        m_thread->setTarget(m_captureTarget);
    }
    startAcquisition();
}

void Lumi_cam::stopCapture()
{
    // A capture the user stopped already must not be reported as done.
    if (!m_capturing)
        return;
    // Done once the writer has written its files, when nothing was lost
    // (captureRunEnded) and the generator answered the capture's requests
    // (reportCaptureDone); the writer may get there during the waits below.
    m_doneRun = m_captureRun;
    m_doneWritten = false;
    m_generatorLastRequest = m_tmx->lastRequest();
    m_doneLosses = m_thread ? m_thread->capturedLosses() : 0;
    ui->actionCapture->setChecked(false);
    // The stop waits for the last frames; a capture started meanwhile runs on.
    if (m_capturing)
        return;
    if (cameraParameters())
        stopAcquisition();
    m_capturing = false;
    if (m_thread)
        m_thread->setCapturing(false);
    waitWithEvents(100);
    if (m_capturing)
        return; // started during the wait: not done
    enableCameraControls(true);
}

void Lumi_cam::setExposureSpin(double microseconds)
{
    m_panel->exposure->setValue(ExposureUnits::fromMicroseconds(microseconds, m_unit));
}

void Lumi_cam::changeExposure(double exposure)
{
    const double before = m_currentExposure;
    m_currentExposure = ExposureUnits::toMicroseconds(exposure, m_unit);
    NqGenParameterArray* params = cameraParameters();
    if (!params)
        return;
    // The camera may start a frame of the new length as soon as its frame
    // time is written: until the change is done the stream may stay silent
    // for the longer of the two. After that long, the camera's frame time is
    // the new one.
    const unsigned changing = updateSilenceLimit(std::max(before, m_currentExposure));
    const FeatureValues::RefusedWrites refused;
    const ExposureControl::Result r = m_exposure.change(*params, m_currentExposure, ui->actionTrigger->isChecked());
    if (r.limitsRead) {
        m_minExposure = r.minExposure;
        m_maxExposure = r.maxExposure;
    }
    if (r.restartCounters)
        restartRunCounters();
    if (!refused.features().isEmpty())
        showCameraExposure(refused.text());
    else if (const RepeatedFailure::Line line = m_exposureRefusals.ended())
        m_exposureRefusals.log(lcShell(), QStringLiteral("changeExposure: refusals"), line);
    updateSilenceLimit();
    if (changing > 0)
        m_silenceRefresh.setRemainingTime(changing);
}

void Lumi_cam::showCameraExposure(const QString& refusal)
{
    if (const RepeatedFailure::Line line = m_exposureRefusals.occurred())
        m_exposureRefusals.log(lcShell(), QStringLiteral("changeExposure: ") + refusal, line);
    showNotice(refusal);
    double exposure = 0;
    if (!FeatureValues::readExposure(cameraParameters(), exposure))
        return;
    m_currentExposure = exposure;
    const QSignalBlocker block(m_panel->exposure);
    setExposureSpin(exposure);
}

void Lumi_cam::setExtTrigger(bool on)
{
    ui->actionPulseWidth->setEnabled(on);
    if (NqGenParameterArray* params = cameraParameters())
        ModeFeatures::writeExternalTrigger(*params, on);
    restartRunCounters();
    updateSilenceLimit();
}

void Lumi_cam::triggerWidth(bool on)
{
    m_panel->exposureLabel->setEnabled(!on);
    m_panel->exposure->setEnabled(!on);
    if (NqGenParameterArray* params = cameraParameters())
        ModeFeatures::writeTriggerWidth(*params, on);
    restartRunCounters();
    updateSilenceLimit();
}

void Lumi_cam::changeAvg(int count)
{
    const RunRules::AverageCount a = RunRules::averageCount(count);
    if (a.corrected)
        m_panel->average->setValue(a.count);
    // A capture never writes a file twice: its count holds until it ends,
    // and the box's value is taken then.
    if (m_capturing)
        return;
    m_averageCount = unsigned(a.count);
    if (m_thread)
        m_thread->setAverageCount(m_averageCount);
}
