#include "SimCamArgs.h"

#include "SimCamFeatures.h"
#include "camera/NqGvcp.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace simcam {

namespace {

bool parseUnsigned(const std::string& text, uint64_t max, uint64_t& value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || parsed > max)
        return false;
    value = parsed;
    return true;
}

bool parseDouble(const std::string& text, double& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && errno == 0 && end != text.c_str() && *end == '\0';
}

} // namespace

bool parsePixelFormat(const std::string& text, uint32_t& pixelFormat)
{
    const Feature* f = featureNamed("PixelFormat");
    for (const EnumEntry& entry : f->entries) {
        if (text == entry.name) {
            pixelFormat = uint32_t(entry.value);
            return true;
        }
    }
    uint64_t value = 0;
    if (!parseUnsigned(text, 0xFFFFFFFF, value) || !isSupportedPixelFormat(uint32_t(value)))
        return false;
    pixelFormat = uint32_t(value);
    return true;
}

std::string pixelFormatName(uint32_t pixelFormat)
{
    for (const EnumEntry& entry : featureNamed("PixelFormat")->entries)
        if (uint32_t(entry.value) == pixelFormat)
            return entry.name;
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", pixelFormat);
    return text;
}

bool parseSize(const std::string& text, uint32_t& width, uint32_t& height)
{
    const size_t x = text.find('x');
    uint64_t w = 0;
    uint64_t h = 0;
    if (x == std::string::npos || !parseUnsigned(text.substr(0, x), 65535, w)
        || !parseUnsigned(text.substr(x + 1), 65535, h) || w == 0 || h == 0)
        return false;
    width = uint32_t(w);
    height = uint32_t(h);
    return true;
}

ArgsResult parseArgs(const std::vector<std::string>& args, SimulatedCameraOptions& options, std::string& error)
{
    bool modelGiven = false;
    bool formatGiven = false;
    bool colour = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help")
            return ArgsResult::Help;
        if (arg == "--colour" || arg == "--color") {
            colour = true;
            continue;
        }
        if (arg == "--chessboard") {
            options.pattern = SimulatedCameraOptions::Pattern::Chessboard;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "unknown option or missing value: " + arg;
            return ArgsResult::Error;
        }
        const std::string& value = args[++i];
        bool ok = true;
        uint32_t ip = 0;
        uint64_t number = 0;
        NqGvcp::Mac mac{};
        if (arg == "--address") {
            ok = NqGvcp::parseIp(value, ip) && (ip >> 24) == 127;
            options.address = value;
        } else if (arg == "--size") {
            ok = parseSize(value, options.width, options.height);
        } else if (arg == "--sensor") {
            ok = parseSize(value, options.sensorWidth, options.sensorHeight) && options.sensorWidth >= 8;
        } else if (arg == "--pixel-format") {
            ok = parsePixelFormat(value, options.pixelFormat);
            formatGiven = true;
        } else if (arg == "--frame-rate") {
            ok = parseDouble(value, options.frameRate) && options.frameRate >= 1e6 / MaxFramePeriodUs
                 && options.frameRate <= 1e6 / MinFramePeriodUs;
        } else if (arg == "--link-rate") {
            ok = parseDouble(value, options.linkRateMbps) && options.linkRateMbps >= 0.0
                 && options.linkRateMbps <= 1e6;
        } else if (arg == "--model") {
            ok = !value.empty() && value.size() <= 32;
            options.model = value;
            modelGiven = true;
        } else if (arg == "--serial") {
            ok = !value.empty() && value.size() <= 16;
            options.serial = value;
        } else if (arg == "--mac") {
            ok = NqGvcp::parseMac(value, mac);
            options.mac = value;
        } else if (arg == "--user-name") {
            ok = value.size() <= 16;
            options.userName = value;
        } else if (arg == "--packet-loss") {
            ok = parseDouble(value, options.packetLoss) && options.packetLoss >= 0.0 && options.packetLoss <= 1.0;
        } else if (arg == "--without" || arg == "--refuse") {
            ok = featureNamed(value) != nullptr;
            (arg == "--without" ? options.missingFeatures : options.refusedFeatures).push_back(value);
        } else if (arg == "--seed") {
            ok = parseUnsigned(value, 0xFFFFFFFF, number);
            options.packetLossSeed = uint32_t(number);
        } else {
            error = "unknown option: " + arg;
            return ArgsResult::Error;
        }
        if (!ok) {
            error = "invalid value for " + arg + ": " + value;
            return ArgsResult::Error;
        }
    }
    if (colour) {
        options.ccdType = 12;
        if (!modelGiven)
            options.model = "GEV_K3370C";
        if (!formatGiven)
            options.pixelFormat = 0x01100010; // BayerGR12
    }
    if (options.width > options.sensorWidth || options.height > options.sensorHeight) {
        error = "the image size exceeds the sensor";
        return ArgsResult::Error;
    }
    return ArgsResult::Run;
}

std::string usage()
{
    return "Usage: lumivar-simcam [options]\n"
           "A simulated GigE Vision camera on a loopback address (run it inside a\n"
           "loopback-only network namespace).\n"
           "  --address IP          127.x.y.z address to listen on (127.0.0.1)\n"
           "  --size WxH            image size (640x480)\n"
           "  --sensor WxH          sensor size (1608x1208)\n"
           "  --pixel-format NAME   Mono8, Mono12, Mono16, BayerGR8, BayerGR12 (Mono16)\n"
           "  --frame-rate FPS      frames per second at the shortest frame time, 0.1 to\n"
           "                        5000 (25); a longer exposure or programmed frame\n"
           "                        time lengthens the period\n"
           "  --link-rate MBPS      stream link rate in Mb/s, 0 for unpaced (1000)\n"
           "  --model TEXT          device model name (GEV_K3370M; GEV_K3370C with --colour)\n"
           "  --serial TEXT         serial number (SIM00001)\n"
           "  --mac AA:BB:CC:DD:EE:FF  MAC address (02:4b:53:00:00:01)\n"
           "  --user-name TEXT      user-defined name, at most 16 characters (SimCam)\n"
           "  --colour              colour sensor (CcdType 12, Bayer GR)\n"
           "  --chessboard          chessboard image (9 x 6 inner corners)\n"
           "  --packet-loss F       fraction of stream data packets lost at first sending (0)\n"
           "  --seed N              seed of the packet-loss choice (1)\n"
           "  --without FEATURE     leave a camera feature out of the description (repeatable)\n"
           "  --refuse FEATURE      refuse every write to a camera feature (repeatable)\n";
}

std::string readyLine(const SimulatedCameraOptions& options)
{
    char text[256];
    std::snprintf(text, sizeof text, "lumivar-simcam: listening on %s (%s #%s \"%s\", %ux%u %s, %.3g fps)",
                  options.address.c_str(), options.model.c_str(), options.serial.c_str(),
                  options.userName.c_str(), options.width, options.height,
                  pixelFormatName(options.pixelFormat).c_str(), options.frameRate);
    return text;
}

} // namespace simcam
