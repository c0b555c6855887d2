#pragma once

#include "base/NqGenParameters.h"

#include <cstdint>
#include <functional>
#include <optional>

// Image size in pixels (camera Width x Height, or the scene size derived
// from it).
struct ImageSize
{
    int64_t width = 0;
    int64_t height = 0;
    bool operator==(const ImageSize& o) const { return width == o.width && height == o.height; }
};

// The scene shows one colour plane of a colour camera's 2 x 2 mosaic, so it
// is half the image in each direction; a mono camera's scene is the image.
ImageSize sceneSizeFor(const ImageSize& image, bool colourCamera);

// Current Width and Height of the camera (0 when unreadable).
ImageSize readImageSize(NqGenParameterArray& params);

// The station's full default camera configuration, written after a camera
// connects and whenever the radiometric mode is chosen. The writes go out in
// a fixed order because several features depend on selectors written before
// them (gain and black level per tap, pre-amplifier per channel).
class CameraConfig
{
public:
    // What the window must do to the trigger actions after the configuration.
    enum class TriggerActions {
        Leave,           // leave actionTrigger and actionPulseWidth as they are
        TriggerOnly,     // check actionTrigger, uncheck actionPulseWidth
        TriggerAndWidth, // check both
    };

    // Window updates that must happen between the writes, at the point the
    // configuration reaches them (setting the exposure spin box may run
    // changeExposure, which talks to the camera itself). Unset hooks are skipped.
    struct Hooks
    {
        std::function<void(const ImageSize& image)> imageSize;            // new scene size
        std::function<void(int64_t minimum, int64_t maximum)> exposureLimits; // spin box minimum
        std::function<void(int64_t exposure)> exposure;                    // spin box and current exposure
    };

    struct Result
    {
        ImageSize image;
        int64_t minExposure = 0; // FRR_EXP_MIN
        int64_t maxExposure = 0; // FRM_TIM_ACT
        int64_t pixelFormat = 0; // PixelFormat as read back (the camera may refuse ours)
        std::optional<int64_t> exposure; // the exposure feature, unset when unreadable
        int64_t exposureMode = 0;
        int64_t triggerSource = 0;
        int64_t triggerMode = 0;
        TriggerActions triggerActions = TriggerActions::Leave;
        // PixelFormat was written: the frame buffers and sample depths must be
        // rebuilt from the camera (updateDepth) before the next frame arrives.
        bool depthRefreshNeeded = true;
    };

    // The pixel format the station asks every camera for (Mono16).
    static constexpr int64_t StationPixelFormat = 0x01100007;

    static Result apply(NqGenParameterArray& params, const Hooks& hooks = Hooks());
};
