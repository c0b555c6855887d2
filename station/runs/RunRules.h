#pragma once

#include "runs/GateSet.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

class QSettings;

// The rules of the station's capture and preview runs that need no window:
// parameter checks and their messages, frame targets, status texts, the
// values stored when a run starts, and which controls a run locks.
namespace RunRules {

// Largest exposure the camera's raw exposure feature holds (0xFFFFFF).
constexpr double ExposureLimit = 16777215;

struct CheckInput
{
    bool externalTrigger = false; // actionTrigger checked: exposure follows the trigger
    bool twoGate = false;
    double exposure = 0;          // current exposure, microseconds
    int64_t minExposure = 0;
    int64_t maxExposure = 0;
    double period = 0;            // active gate, microseconds
    double delay = 0;
    double ledWidth = 0;
    // Two-gate mode: the gates the run programs the generator with (the
    // active one; both for a capture, which alternates them). Their fields
    // must be numbers the generator can take, a positive period and no
    // negative time, or the run would send it nothing sensible.
    std::vector<ActiveGate> gates;
};

// The information box of a failed check.
struct CheckFailure
{
    QString title;
    QString text; // rich text
};

// The first failed check, or nothing when the run parameters are sound.
std::optional<CheckFailure> check(const CheckInput& input);

// A failed check stops a capture (and skips the generator programming of a
// preview) only in two-gate mode; otherwise the run goes on.
inline bool failedCheckStopsRun(bool twoGate) { return twoGate; }

// Values stored when the checks pass (under the side panel's SettingsKeys).
struct StoredRun
{
    double exposure = 0; // the exposure spin box value
    int frames = 0;
    QString prefix;
    QString point;
};
void store(QSettings& settings, const StoredRun& run);

// Frames a capture waits for: two per pair in two-gate mode.
int captureTarget(int frames, bool twoGate);
// Frames of the capture among those received: the camera stops a little
// after the target, and the frames past it are not the capture's (a target
// below 0 has no end).
unsigned long long capturedFrames(unsigned long long received, int target);

// "Captured: %1/%2 images ..." in radiometric mode, else "... pairs ..." with
// half the target.
QString captureStatusText(bool radiometric, uint64_t received, int target, uint64_t errors, int dataDepth);
// "Preview: %1 images %3-bit, %2 FPS, %4Mbps".
QString previewStatusText(uint64_t images, double frameRate, int dataDepth, double megabitsPerSecond);

// Status label looks during and after a capture, and when a run starts.
constexpr char CapturingLabelStyle[] = "QLabel { background-color : red; color : black; }";
constexpr char IdleLabelStyle[] = "QLabel { background-color : none; color : black; }";
constexpr char ClearedLabelStyle[] = "QLabel{background: none;}";

// Milliseconds to let the camera settle on the exposure before the pulse
// generator is programmed: one per started millisecond of exposure, plus one.
int generatorSettleMs(double exposure);

// How long an acquiring camera's stream may stay silent before the camera is
// taken for gone: a few seconds beyond three frames, each as long as the
// exposure or the frame time the camera reports, whichever is longer. A
// triggered camera waits for its triggers, however long: 0, not watched.
unsigned silenceLimitMs(bool triggered, double exposureUs, double frameTimeUs);

// The averaging count for a spin box value; `corrected` when the value must
// be written back to the spin box.
struct AverageCount
{
    int count = 1;
    bool corrected = false;
};
AverageCount averageCount(int value);

// Actions that a run disables and its end enables again; those whose state
// belongs to something else (a running preview or capture keeps its own
// action usable; capture needs a work folder; double framing owns the gate
// switch) are left out. The frames, exposure and gate panel widgets always
// follow.
QStringList lockedActions(bool previewing, bool capturing, bool workFolderEmpty, bool doubleFraming);

} // namespace RunRules
