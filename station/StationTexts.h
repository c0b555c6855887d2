#pragma once

#include "base/NqString.h"

#include <QString>

// Window title and connection texts of the station.
namespace StationTexts {

constexpr char Version[] = "2.5.3";

// The title while no camera is connected.
QString windowTitle();
// The title while the camera named `cameraName` (its user-defined name) is connected.
QString connectedWindowTitle(const QString& cameraName);
// The status bar's connection label: "Connected: Tarnel-C  [name]" or "...-M  [name]".
QString connectionLabel(bool colourCamera, const QString& cameraName);
// The connection description kept for the capture sidecar.
QString connectionDescription(bool colourCamera);
// A text of the camera SDK (names, serial numbers, addresses) as Qt text.
QString fromSdk(const NqString& text);

} // namespace StationTexts
