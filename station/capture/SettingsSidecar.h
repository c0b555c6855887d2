#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

class NqGenParameterArray;

// The INI sidecar a capture run leaves beside its images ([Camera] and
// [Capture] groups). Values come in plain structs so the file can be written
// and tested without the main window; an existing file keeps keys not written.

struct SidecarCamera
{
    QString model; // as shown, with or without a leading "Connected: "
    bool colour = false;
    QString serial;
    int temperature = 0;
    // The address the station reaches the camera at; 0 when unknown.
    uint32_t ipAddress = 0;
    // Camera features as the camera reports them; a failed read leaves 0.
    // The exposure (microseconds) is read after the station's write, from
    // whichever exposure feature the camera has.
    double exposureUs = 0;
    bool flatFieldCorrection = false;
    bool blackLevelCorrection = false;
    int64_t binningVertical = 0;
    int64_t digitizationTaps = 0;
    int64_t verticalSmearCorrection = 0;
    int64_t exposureMode = 0;
    int64_t triggerMode = 0;
    int64_t cameraSpeed = 0;
};

struct SidecarCapture
{
    QString mode; // see captureModeName
    int frames = 0;
    QString folder;
    QString prefix;
    QString point;
    int average = 1;
};

// Reads the camera features of the [Camera] group into `camera`.
void readSidecarFeatures(NqGenParameterArray* params, SidecarCamera& camera);

// "Double_Frame_Mode", "Frame_Accumulation_Mode" or "Radiometric_Mode": the
// last checked of the three in this order; empty when none is.
QString captureModeName(bool doubleFraming, bool frameAccumulation, bool radiometric);

// "%1.%2.%3.%4", most significant byte first.
QString ipAddressText(int64_t address);

// Date and time in Qt's text format, every whitespace replaced by "_".
QString sidecarTimeText(const QDateTime& now);

// Writes (updates) the sidecar at path; false when it could not be written.
bool writeSettingsFile(const QString& path, const SidecarCamera& camera, const SidecarCapture& capture,
                       const QDateTime& now);
