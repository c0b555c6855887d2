#include "remote/RemoteDispatch.h"

#include "capture/CaptureNaming.h"
#include "remote/RemoteWindow.h"

#include <QDir>

Q_LOGGING_CATEGORY(lcRemoteCommands, "kessane.station.remote.commands")

namespace RemoteDispatch {

namespace {

using RemoteProtocol::Command;
using Switch = RemoteWindow::Switch;

// A prefix or point becomes part of every file name of a capture.
bool acceptName(const RemoteProtocol::RemoteCommand& command)
{
    if (isFileNamePart(command.value))
        return true;
    qCWarning(lcRemoteCommands) << "execute: ignored" << RemoteProtocol::word(command.command) << command.value
                                << "(not a file-name part: no separators, \"..\" or control characters)";
    return false;
}

bool setFolder(const QString& path, RemoteWindow& window)
{
    // A relative folder would be taken from the station's working directory.
    const bool absolute = QDir::isAbsolutePath(path);
    if (absolute && window.setWorkFolder(path))
        return true;
    qCWarning(lcRemoteCommands) << "execute: work folder" << path
                                << (absolute ? "cannot be created" : "is not absolute");
    window.showFolderError(path);
    return false;
}

} // namespace

bool execute(const RemoteProtocol::RemoteCommand& command, RemoteWindow& window)
{
    switch (command.command) {
    case Command::NormOn: window.setSwitch(Switch::DisplayScale, true); break;
    case Command::NormOff: window.setSwitch(Switch::DisplayScale, false); break;
    case Command::CamName: window.renameCamera(command.value); break;
    case Command::Start:
        if (!window.hasWorkFolder()) {
            qCWarning(lcRemoteCommands) << "execute: \"#start\":" << NoWorkFolderText;
            window.showRefusal(QLatin1String(NoWorkFolderText));
            break;
        }
        window.setSwitch(Switch::Run, false);
        window.setSwitch(Switch::Capture, true);
        break;
    case Command::Stop: window.setSwitch(Switch::Capture, false); break;
    case Command::Split: window.setSwitch(Switch::SplitColours, true); break;
    case Command::NoSplit: window.setSwitch(Switch::SplitColours, false); break;
    case Command::Overclock: window.setSwitch(Switch::Turbo, true); break;
    case Command::NoOverclock: window.setSwitch(Switch::Turbo, false); break;
    case Command::PulseWidth: window.setSwitch(Switch::PulseWidth, true); break;
    case Command::NoPulseWidth: window.setSwitch(Switch::PulseWidth, false); break;
    case Command::Lut: window.setSwitch(Switch::Lut, true); break;
    case Command::NoLut: window.setSwitch(Switch::Lut, false); break;
    case Command::Sensitive:
        window.setSwitch(Switch::RChannel, false);
        window.setSwitch(Switch::SChannel, true);
        break;
    case Command::Reference:
        window.setSwitch(Switch::SChannel, false);
        window.setSwitch(Switch::RChannel, true);
        break;
    case Command::Preview: window.setSwitch(Switch::Run, true); break;
    case Command::NoPreview: window.setSwitch(Switch::Run, false); break;
    case Command::Trigger: window.setSwitch(Switch::Trigger, true); break;
    case Command::NoTrigger: window.setSwitch(Switch::Trigger, false); break;
    case Command::Exposure: window.setExposure(RemoteProtocol::doubleValue(command.value)); break;
    case Command::Average: window.setAverage(RemoteProtocol::intValue(command.value)); break;
    case Command::Frames: window.setFrames(RemoteProtocol::intValue(command.value)); break;
    case Command::Prefix:
        if (acceptName(command))
            window.setPrefix(command.value);
        break;
    case Command::Point:
        if (acceptName(command))
            window.setPoint(command.value);
        break;
    case Command::Folder: return setFolder(command.value, window);
    default: break; // the lens commands have a handler of their own
    }
    return true;
}

} // namespace RemoteDispatch
