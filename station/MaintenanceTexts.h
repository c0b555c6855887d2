#pragma once

#include <QString>

class NqGenParameterArray;

// Texts of the camera information and maintenance slots of the main window:
// temperature, camera and program information, help, quantum-efficiency
// picture, camera name rule.
namespace MaintenanceTexts {

// Longest name the camera's DeviceUserID takes.
constexpr int MaxCameraNameLength = 16;
constexpr char BuildDate[] = "Nov 28 2017";

// "Camera: 40°C" (a Latin-1 degree sign).
QString temperature(int celsius);

// The "About Camera" text from the camera's firmware, XML and IP-engine
// versions; a version the camera does not give shows "?".
QString cameraInformation(NqGenParameterArray& params);

// The program's "About" text: maker, product with its word size, version and build date.
QString about();

// The box of updateCamHealth, titled "Help".
QString manualHint();

// The boxes of a help file that is missing or that nothing opens.
QString helpMissing(const QString& path);
QString helpNotOpened(const QString& path);

// Title and picture of the quantum-efficiency box. A monochrome model
// without a picture of its own keeps the box's previous one (empty picture).
struct QePicture
{
    QString title;
    QString picture;
};
QePicture qePicture(bool colourCamera, const QString& model);

} // namespace MaintenanceTexts
