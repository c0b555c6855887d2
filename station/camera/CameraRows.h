#pragma once

#include <QString>

// Texts of the camera search tree.
namespace CameraRows {

// The station's name for a camera model string; other models keep their own.
QString displayModel(const QString& sdkModel);

// "%1 [%2]": interface description and its IP address.
QString interfaceText(const QString& description, const QString& ip);

// "Cam: %1  [%2] #%3 (%4)": display model, IP address, serial number and
// user-defined name.
QString cameraText(const QString& displayModel, const QString& ip, const QString& serial,
                   const QString& userName);

// The address with its last part removed ("192.168.1.7" -> "192.168.1."),
// offered as the start of a new camera address.
QString subnetProposal(const QString& ip);

} // namespace CameraRows
