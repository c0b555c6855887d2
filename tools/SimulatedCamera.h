#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A GigE Vision camera that runs in this process (or as the lumivar-simcam
// program) on a loopback address: Aravis's fake GV camera with our own
// GenICam description and image pattern.
struct SimulatedCameraOptions
{
    enum class Pattern { Gradient, Chessboard };

    std::string address = "127.0.0.1"; // must lie in 127.0.0.0/8
    uint32_t width = 640;
    uint32_t height = 480;
    uint32_t pixelFormat = 0x01100007; // Mono16 (14 significant bits)
    double frameRate = 25.0;
    std::string model = "GEV_K3370M";
    std::string serial = "SIM00001";
    std::string mac = "02:4b:53:00:00:01";
    std::string userName = "SimCam";
    int ccdType = 0;            // 12 for the colour model
    Pattern pattern = Pattern::Gradient;
    double packetLoss = 0.0;    // fraction of stream packets dropped, 0..1
};

class SimulatedCamera
{
public:
    explicit SimulatedCamera(const SimulatedCameraOptions& options = SimulatedCameraOptions());
    ~SimulatedCamera(); // stops

    bool start(); // false when the address cannot be bound
    void stop();
    bool isRunning() const;
    const SimulatedCameraOptions& options() const;

    // The control privilege as the camera holds it (0 = free), so tests can
    // make the camera look opened by another controller.
    void setControlPrivilege(uint32_t privilege);

    // The exact image the camera sends for frame `frameId` (the GVSP block
    // id) with this geometry and format, so receivers can check every pixel.
    static void fillFrame(uint8_t* data, uint32_t width, uint32_t height, uint32_t pixelFormat,
                          uint64_t frameId, SimulatedCameraOptions::Pattern pattern);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};
