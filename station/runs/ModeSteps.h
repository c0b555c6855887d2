#pragma once

#include "runs/ModeFeatures.h"

#include <QString>
#include <QVector>

// What each acquisition-mode slot of the main window does, in order, as data:
// the window runs the steps one after the other (a switch over the kind), so
// the order that matters (two-gate flag before or after the gate switch,
// camera configuration after the tool-bar rebuild) is fixed here and tested.
enum class StationMode { Radiometric, FrameAccumulation, DoubleFraming, Lifetime };

struct ModeStep
{
    enum Kind {
        EnableTrigger,              // actionTrigger enabled = flag
        EnablePulseWidth,           // actionPulseWidth enabled = flag
        EnablePulseWidthIfTrigger,  // actionPulseWidth enabled = actionTrigger checked
        SetTwoGate,                 // two-gate flag = flag
        SwitchGate,                 // switchGate(actionGates checked)
        RebuildToolBar,             // ModeToolBar::rebuild(layout)
        ShowGeneratorDialog,        // the generator-IP dialog, modal
        WriteTriggeredMode,         // ModeFeatures::writeTriggeredMode(trigger)
        ApplyCameraConfig,          // CameraConfig::apply, then its depth refresh
        ShowCurrentExposure,        // exposure spin box = current exposure
        SetLifetimeText,            // actionLifetime_mode text = text
    };

    Kind kind;
    bool flag = false;
    int layout = 0;
    ModeFeatures::TriggerType trigger = ModeFeatures::TriggerType::FrameAccumulation;
    QString text;

    // A readable form for logs and tests, e.g. "SetTwoGate true", "RebuildToolBar 2".
    QString toString() const;
};

// The steps of enableRM / enableFAM / enableDFM / enableLifetime(on).
QVector<ModeStep> modeSteps(StationMode mode, bool on);
