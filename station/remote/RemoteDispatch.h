#pragma once

#include "RemoteProtocol.h"

#include <QLoggingCategory>

class RemoteWindow;

Q_DECLARE_LOGGING_CATEGORY(lcRemoteCommands)

// Carries out one command of the remote-control table (the lens commands
// excepted) on the window, as the user would. Values from the network are
// checked first: numbers that are not finite read as 0, a prefix or point that
// is no file-name part and a relative folder are refused, and "#start" without
// a work folder starts nothing. Every refusal is logged.
namespace RemoteDispatch {

// The reason "#start" gives when there is no work folder.
constexpr char NoWorkFolderText[] = "No work folder is set: the capture was not started.";

// False when the rest of the block is dropped (the work folder failed).
bool execute(const RemoteProtocol::RemoteCommand& command, RemoteWindow& window);

} // namespace RemoteDispatch
