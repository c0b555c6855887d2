#pragma once

#include <QString>

// The main window as the remote commands drive it: every call has the effect
// of the user's own input (a check box or action toggled, a field filled), so
// the window's slots do the work. The station's adapter implements it on the
// real form; tests and the fuzzer record the calls.
class RemoteWindow
{
public:
    // The check boxes and checkable actions that commands switch.
    enum class Switch {
        DisplayScale, // actionDScale
        Run,          // actionRun (preview)
        Capture,      // actionCapture
        SplitColours, // "Split Colors"
        Turbo,        // actionTurbo
        PulseWidth,   // actionPulseWidth
        Lut,          // actionLUT
        SChannel,     // actionSChannel
        RChannel,     // actionRChannel
        Trigger,      // actionTrigger
    };

    virtual ~RemoteWindow() = default;

    virtual void setSwitch(Switch which, bool on) = 0;
    // The side panel's spin boxes (each clamps the value to its range) and
    // name fields.
    virtual void setExposure(double value) = 0;
    virtual void setAverage(int count) = 0;
    virtual void setFrames(int count) = 0;
    virtual void setPrefix(const QString& prefix) = 0;
    virtual void setPoint(const QString& point) = 0;
    virtual void renameCamera(const QString& name) = 0;
    virtual bool hasWorkFolder() const = 0;
    // Creates the absolute `path` when missing and makes it the work folder;
    // false when it cannot be created.
    virtual bool setWorkFolder(const QString& path) = 0;
    // The "Folder error" box for a folder that cannot be the work folder.
    virtual void showFolderError(const QString& path) = 0;
    // Tells whoever looks at the station why a command did nothing.
    virtual void showRefusal(const QString& reason) = 0;
};
