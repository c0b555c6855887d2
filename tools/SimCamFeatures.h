#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The register-backed GenICam features of the simulated camera. One table
// drives both the GenICam description the camera serves and the camera's own
// check of register writes, so a value the description refuses is refused on
// the wire too (a client without range checks still gets an error).
//
// Registers below 0x1000 are the ones Aravis's fake camera implements (image
// geometry, pixel format, acquisition, exposure, gain, trigger); the others
// live in the custom area from 0xA000 and only store what is written.

namespace simcam {

enum class FeatureType { Integer, Enumeration, Boolean, Command };

struct EnumEntry
{
    const char* name;
    int64_t value;
};

struct Feature
{
    const char* name;
    FeatureType type;
    uint32_t address;
    bool writable;
    int64_t min;     // Integer range; Command: the value written
    int64_t max;
    int64_t initial; // value stored at start (Integer, Enumeration, Boolean)
    std::vector<EnumEntry> entries;
};

// Fake-camera registers (the addresses ArvFakeCamera acts on).
constexpr uint32_t RegWidth = 0x100;
constexpr uint32_t RegHeight = 0x104;
constexpr uint32_t RegBinningHorizontal = 0x108;
constexpr uint32_t RegBinningVertical = 0x10C;
constexpr uint32_t RegGainRaw = 0x110;
constexpr uint32_t RegSensorHeight = 0x118;
constexpr uint32_t RegSensorWidth = 0x11C;
constexpr uint32_t RegExposureTime = 0x120;
constexpr uint32_t RegAcquisition = 0x124;
constexpr uint32_t RegPixelFormat = 0x128;
constexpr uint32_t RegAcquisitionMode = 0x12C;
constexpr uint32_t RegOffsetX = 0x130;
constexpr uint32_t RegOffsetY = 0x134;
// The shortest frame time (microseconds): what the sensor's readout allows,
// set by the frame rate. Exposure and a programmed frame time may lengthen
// the period the camera actually runs at.
constexpr uint32_t RegShortestFrameTime = 0x138;
// Shortest frame time limits: up to 5000 frames/s, down to one frame in 10 s.
constexpr uint32_t MinFramePeriodUs = 200;
constexpr uint32_t MaxFramePeriodUs = 10000000;
constexpr uint32_t RegTriggerMode = 0x300;
constexpr uint32_t RegTriggerSource = 0x304;
constexpr uint32_t RegTriggerActivation = 0x308;

// Custom area.
constexpr uint32_t RegCcdType = 0xA000;
constexpr uint32_t RegCurrentTemperature = 0xA004;
constexpr uint32_t RegProgFrameTimeEnable = 0xA02C;
constexpr uint32_t RegProgFrameTime = 0xA030; // microseconds
constexpr uint32_t RegDeviceReset = 0xA0A4;
constexpr uint32_t RegCameraHeadReset = 0xA0A8;
constexpr uint32_t RegFrameTimeActual = 0xA0B0; // microseconds, kept by the camera

// Where the GenICam description sits in the camera's memory (Aravis's fake
// camera serves its description from this address on).
constexpr uint32_t XmlAddress = 0x10000;

const std::vector<Feature>& features();
const Feature* featureAt(uint32_t address);
const Feature* featureNamed(const std::string& name);

// Whether `value` is a valid content of the register that `feature` owns.
bool acceptsValue(const Feature& feature, uint32_t value);

// Our GenICam description (register layout above plus the standard GigE
// Vision transport features), without the table features named in `missing`.
std::string genicamXml(const std::vector<std::string>& missing = {});

// Which pixel formats the camera offers, as the PixelFormat entries list them.
bool isSupportedPixelFormat(uint32_t pixelFormat);

} // namespace simcam
