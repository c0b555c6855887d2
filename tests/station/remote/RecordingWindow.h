#pragma once

#include "remote/RemoteWindow.h"

#include <QString>
#include <QStringList>

// A window double for the remote dispatch: records every call as a short
// text ("switch Capture on", "exposure 0", "folder /data") in order.
class RecordingWindow : public RemoteWindow
{
public:
    QStringList calls;
    bool workFolderSet = true;    // hasWorkFolder()
    bool folderCreatable = true;  // setWorkFolder()'s result
    // Each value as handed over, for checks beyond the texts.
    QList<double> exposures;
    QStringList names;   // prefixes and points
    QStringList folders; // paths given to setWorkFolder

    static QString switchName(Switch which)
    {
        static const char* const names[] = {"DisplayScale", "Run", "Capture", "SplitColours", "Turbo",
                                            "PulseWidth", "Lut", "SChannel", "RChannel", "Trigger"};
        return QLatin1String(names[int(which)]);
    }

    void setSwitch(Switch which, bool on) override
    {
        calls << QStringLiteral("switch %1 %2").arg(switchName(which), on ? "on" : "off");
    }
    void setExposure(double value) override
    {
        exposures << value;
        calls << QStringLiteral("exposure %1").arg(value);
    }
    void setAverage(int count) override { calls << QStringLiteral("average %1").arg(count); }
    void setFrames(int count) override { calls << QStringLiteral("frames %1").arg(count); }
    void setPrefix(const QString& prefix) override
    {
        names << prefix;
        calls << QStringLiteral("prefix ") + prefix;
    }
    void setPoint(const QString& point) override
    {
        names << point;
        calls << QStringLiteral("point ") + point;
    }
    void renameCamera(const QString& name) override { calls << QStringLiteral("camera ") + name; }
    bool hasWorkFolder() const override { return workFolderSet; }
    bool setWorkFolder(const QString& path) override
    {
        folders << path;
        calls << QStringLiteral("folder ") + path;
        return folderCreatable;
    }
    void showFolderError(const QString& path) override { calls << QStringLiteral("folder error ") + path; }
    void showRefusal(const QString& reason) override { calls << QStringLiteral("refused ") + reason; }
};
