#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A GigE Vision camera that runs in this process (or as the lumivar-simcam
// program) on a loopback address: Aravis's fake camera (registers, frame
// timing data, pixel formats) behind our own GVCP/GVSP front-end, with our own
// GenICam description and image pattern.
struct SimulatedCameraOptions
{
    enum class Pattern { Gradient, Chessboard };

    std::string address = "127.0.0.1"; // must lie in 127.0.0.0/8
    uint32_t width = 640;
    uint32_t height = 480;
    uint32_t pixelFormat = 0x01100007; // Mono16 (14 significant bits)
    // Frames per second at the shortest frame time (FRM_TIM_MIN), 0.1 .. 5000.
    // The exposure starts within it; a longer exposure, or a longer frame
    // time programmed by a client, lengthens the period.
    double frameRate = 25.0;
    // Rate of the stream's link in Mb/s (1000: GigE); 0 sends every packet at
    // once. A frame goes on the link once it is filled; frames of a rate the
    // link cannot carry follow each other with only the fill between them.
    double linkRateMbps = 1000.0;
    std::string model = "GEV_K3370M";
    std::string serial = "SIM00001";
    std::string mac = "02:4b:53:00:00:01";
    std::string userName = "SimCam";
    int ccdType = 0;            // 12 for the colour model
    Pattern pattern = Pattern::Gradient;
    double packetLoss = 0.0;    // fraction of stream packets lost at first sending (resends go out), 0..1

    uint32_t sensorWidth = 1608;  // full sensor; Width + OffsetX never pass it
    uint32_t sensorHeight = 1208;
    uint32_t packetLossSeed = 1;  // the same seed drops the same packets
    // Answers packet-resend requests (and says so in its GVCP capabilities);
    // without, every lost packet stays lost.
    bool packetResend = true;
    // Broadcast discovery (sent from 127.0.0.1 to 255.255.255.255) reaches
    // only the camera at 127.0.0.1 unless this is set, so cameras of
    // concurrent tests on other 127.x addresses stay out of each other's
    // search results; unicast discovery is always answered.
    bool broadcastDiscovery = false;
    // A camera that lacks some of the features others have: these are left
    // out of its GenICam description (their registers stay).
    std::vector<std::string> missingFeatures;
    // Features the camera describes but refuses every write to (an error
    // acknowledge), as a camera whose firmware locks them.
    std::vector<std::string> refusedFeatures;
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

    // Change the stream's pace while running; they apply from the next frame.
    // The frame rate sets the shortest frame time and shortens an exposure
    // longer than it, so the stream runs at the rate asked (unless a client
    // programmed a longer frame time).
    void setFrameRate(double framesPerSecond); // 0.1 .. 5000
    void setLinkRate(double megabitsPerSecond); // 0: unpaced
    // Frames whose every packet went out (or was dropped on purpose), since start.
    uint64_t framesSent() const;
    // Data packets left out at first sending (packetLoss), and packets sent
    // again on request (any a receiver asked for and the camera still kept),
    // since start.
    uint64_t packetsDropped() const;
    uint64_t packetsResent() const;
    // Of the packets left out of frames `firstBlock` .. `lastBlock` (GVSP
    // block ids, 16 bits, counted forward across the wrap), those a receiver
    // asked for, and those it did not ask for in frames where it asked for
    // others (see ResendTally): a receiver that asks for every packet it
    // misses leaves none.
    uint64_t droppedAskedFor(uint64_t firstBlock, uint64_t lastBlock) const;
    uint64_t droppedNotAskedFor(uint64_t firstBlock, uint64_t lastBlock) const;
    uint64_t framesOverrun(uint64_t firstBlock, uint64_t lastBlock) const;
    // Reboots (DeviceReset) and circuitry resets (CameraHeadReset) the camera
    // was told to make, since start.
    uint64_t deviceResets() const;
    uint64_t headResets() const;

    // The control privilege as the camera holds it (0 = free), so tests can
    // make the camera look opened by another controller.
    void setControlPrivilege(uint32_t privilege);

    // The exact image the camera sends for frame `frameId` (the GVSP block
    // id) with this geometry and format, so receivers can check every pixel.
    // Samples: Mono8/BayerGR8 one byte; Mono12/BayerGR12 12 bits in the low
    // bits of a little-endian word; Mono16 14 bits in the high bits of the
    // word (16383 is sent as 0xFFFC), as the station reads them.
    static void fillFrame(uint8_t* data, uint32_t width, uint32_t height, uint32_t pixelFormat,
                          uint64_t frameId, SimulatedCameraOptions::Pattern pattern);

    // Bytes fillFrame writes: width x height samples of 1 (8-bit formats) or
    // 2 (16-bit formats, little-endian) bytes.
    static size_t frameBytes(uint32_t width, uint32_t height, uint32_t pixelFormat);

    // Image bytes one data packet carries for the negotiated packet size
    // (SCPS0), which is taken within 576..9000 bytes.
    static size_t dataBytesPerPacket(uint32_t packetSize);

    // Inner corners of the chessboard pattern (per row, per column).
    static constexpr int ChessboardCornersX = 9;
    static constexpr int ChessboardCornersY = 6;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};
