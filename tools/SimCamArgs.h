#pragma once

#include "SimulatedCamera.h"

#include <cstdint>
#include <string>
#include <vector>

// Command line of lumivar-simcam: pure parsing, so it is tested without a camera.
namespace simcam {

enum class ArgsResult { Run, Help, Error };

// Fills `options` from `args` (without the program name); on Error `error`
// says what was wrong.
ArgsResult parseArgs(const std::vector<std::string>& args, SimulatedCameraOptions& options, std::string& error);

// "Mono8", "Mono12", "Mono16", "BayerGR8", "BayerGR12" or a number ("0x01080001").
bool parsePixelFormat(const std::string& text, uint32_t& pixelFormat);
std::string pixelFormatName(uint32_t pixelFormat);
// "640x480".
bool parseSize(const std::string& text, uint32_t& width, uint32_t& height);

std::string usage();
// The line printed once the camera listens.
std::string readyLine(const SimulatedCameraOptions& options);

} // namespace simcam
