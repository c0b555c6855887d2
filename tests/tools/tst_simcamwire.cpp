// The simulated camera's stream as it leaves the camera, seen by a plain
// GVSP receiver: the pace of its packets and the packets it sends again.

#include "GvcpTestClient.h"
#include "GvspWireReceiver.h"
#include "LinkPace.h"
#include "SimCamFeatures.h"
#include "SimulatedCamera.h"
#include "StreamClock.h"
#include "KyNetworkLib/Gvsp.h"

#include <QtTest>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t Mono16 = 0x01100007;
// The camera's thread competes with whatever else a loaded machine runs.
constexpr int PacketWaitMs = 10000;

SimulatedCameraOptions fullSensorAt(const char* address)
{
    SimulatedCameraOptions options;
    options.address = address;
    options.width = options.sensorWidth;
    options.height = options.sensorHeight;
    options.pixelFormat = Mono16;
    return options;
}

// Takes the camera's control through a bare GVCP client and starts its
// stream to `port` on 127.0.0.1.
bool streamTo(GvcpTestClient& client, const std::string& camera, uint16_t port, uint32_t packetSize)
{
    for (const auto& [reg, value] : std::vector<std::pair<uint32_t, uint32_t>>{
             {NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, NqGvcp::CCP_CONTROL_ACCESS},
             {NqGvcp::REG_STREAM_CHANNEL_PACKET_SIZE_0, packetSize},
             {NqGvcp::REG_STREAM_CHANNEL_DESTINATION_0, 0x7F000001},
             {NqGvcp::REG_STREAM_CHANNEL_PORT_0, port},
             {simcam::RegAcquisition, 1}})
        if (port == 0 || client.writeRegister(camera, NqGvcp::GVCP_PORT, reg, value) != NqGvcp::GEV_STATUS_SUCCESS)
            return false;
    return true;
}

uint32_t readRegister(GvcpTestClient& client, const std::string& camera, uint32_t reg)
{
    uint32_t value = 0;
    uint16_t status = 0;
    return client.readRegister(camera, NqGvcp::GVCP_PORT, reg, value, status) ? value : 0;
}

// The next frame's stamp: when it was due on the camera's schedule, in ns of
// this process's steady clock (the camera runs in it); 0 when none comes.
uint64_t nextFrameStamp(GvspWireReceiver& receiver)
{
    GvspWireReceiver::Packet packet;
    while (receiver.next(packet, PacketWaitMs))
        if (packet.header.format == KyNetworkLib::Gvsp::FormatLeader)
            return packet.timestamp;
    return 0;
}

uint64_t steadyNow()
{
    return uint64_t(std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count());
}

// On the clock of the packets' receive stamps.
double realtimeNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

class TestSimCamWire : public QObject
{
    Q_OBJECT

private slots:
    // A full-sensor frame leaves at the pace of a GigE link, in short bursts,
    // instead of flooding the receiver at memory speed. Every packet leaves
    // no sooner than the link has carried those before it, less the burst the
    // sender may run ahead and the one burst a late wake-up may make up; a
    // loaded machine only ever sends later.
    void streamIsPacedAtTheLinkRate()
    {
        SimulatedCameraOptions options = fullSensorAt("127.0.50.12");
        options.frameRate = 10.0;
        SimulatedCamera camera(options);
        QVERIFY(camera.start());

        GvspWireReceiver receiver;
        GvcpTestClient client;
        const uint32_t packetSize = 1400;
        QVERIFY(streamTo(client, options.address, receiver.port(), packetSize));
        const size_t bytes = SimulatedCamera::frameBytes(options.width, options.height, Mono16);
        const size_t chunk = SimulatedCamera::dataBytesPerPacket(packetSize);
        const uint32_t dataPackets = uint32_t((bytes + chunk - 1) / chunk);
        // A receiver held up may lose packets, which the link times of the
        // others still count; a frame it kept less than half of tells little,
        // so the next one is taken.
        std::vector<GvspWireReceiver::Packet> frame;
        bool received = false;
        int frames = 0;
        do
            received = receiver.nextFrame(frame, PacketWaitMs);
        while (received && frame.size() <= dataPackets / 2 && ++frames < 20);
        client.writeRegister(options.address, NqGvcp::GVCP_PORT, simcam::RegAcquisition, 0);
        QVERIFY(received);

        // The camera sent the whole frame (the trailer follows the last data packet).
        QCOMPARE(frame.back().header.packetId, dataPackets + 1);
        QVERIFY(frame.size() > dataPackets / 2);
        // When packet `id` begins on a 1 Gb/s link, from the leader's start.
        const size_t leaderOnWire = frame.front().size + StreamClock::WireOverhead;
        const auto linkSeconds = [&](uint32_t id) {
            const size_t data = id == 0 ? 0 : std::min<size_t>(id - 1, dataPackets);
            const size_t onWire = (id == 0 ? 0 : leaderOnWire)
                + data * (KyNetworkLib::Gvsp::StandardHeaderSize + StreamClock::WireOverhead)
                + std::min(data * chunk, bytes);
            return double(onWire) / 125e6;
        };
        std::vector<PacedDatagram> datagrams;
        for (const GvspWireReceiver::Packet& p : frame)
            datagrams.push_back({p.sent, linkSeconds(p.header.packetId), linkSeconds(p.header.packetId + 1)});
        // Two bursts, and 50 us for the time stamps' rounding; unpaced, the
        // frame would be some 25 ms ahead.
        const double allowed = 2 * std::chrono::duration<double>(StreamClock::Burst).count() + 50e-6;
        const double ahead = aheadOfLink(datagrams);
        QVERIFY2(ahead <= allowed, qPrintable(QString("%1 us ahead of the link in a frame of %2 ms")
                                                  .arg(ahead * 1e6)
                                                  .arg((frame.back().sent - frame.front().sent) * 1e3)));
    }

    // A packet asked for again goes out between the bursts of the frame it
    // belongs to, not only after it: on this slow link the frame takes some
    // 1.6 s, the request comes within its first milliseconds. A receiver that
    // a loaded machine held up past the frame's end (its trailer left before
    // the request) asks again in the next frame.
    void resendsGoOutWithinTheFrame()
    {
        SimulatedCameraOptions options = fullSensorAt("127.0.50.13");
        options.frameRate = 0.5;
        options.linkRateMbps = 20;
        options.packetLoss = 0.05;
        SimulatedCamera camera(options);
        QVERIFY(camera.start());
        GvspWireReceiver receiver;
        GvcpTestClient client;
        QVERIFY(streamTo(client, options.address, receiver.port(), 1400));
        namespace Gvsp = KyNetworkLib::Gvsp;
        uint64_t block = 0;
        uint32_t nextId = 0; // 0: outside a frame
        uint32_t asked = 0;  // the first packet missing from the frame, once asked for
        double askedAt = 0;  // when the request went out
        bool resentInFrame = false;
        int frames = 0;
        GvspWireReceiver::Packet wire;
        while (!resentInFrame && receiver.next(wire, PacketWaitMs)) {
            const Gvsp::Header& header = wire.header;
            if (header.format == Gvsp::FormatLeader) {
                if (++frames > 5)
                    break;
                block = header.blockId;
                nextId = 1;
                asked = 0;
            } else if (nextId == 0 || header.blockId != block) {
                continue;
            } else if (header.format == Gvsp::FormatTrailer) {
                if (asked != 0 && wire.sent > askedAt)
                    break; // the frame ended without it
                nextId = 0;
            } else if (asked != 0) {
                resentInFrame = header.packetId == asked;
            } else if (header.packetId > nextId) {
                asked = nextId;
                NqGvcp::PacketResend request;
                request.blockId = block;
                request.firstPacketId = request.lastPacketId = asked;
                client.send(options.address, NqGvcp::GVCP_PORT, NqGvcp::buildPacketResendCmd(client.nextId(), request));
                askedAt = realtimeNow();
            } else {
                nextId = header.packetId + 1;
            }
        }
        client.writeRegister(options.address, NqGvcp::GVCP_PORT, simcam::RegAcquisition, 0);
        QVERIFY(asked != 0);
        QVERIFY(resentInFrame);
    }

    // The period is the longest of the shortest frame time (250 ms at 4 fps),
    // the exposure and the programmed frame time when enabled. Each change,
    // made while streaming, leaves the frame being exposed at its time; the
    // next follows the new period, which FRM_TIM_ACT then tells (FRM_TIM_MIN
    // stays). The stamps are the camera's booked times, exact on a loaded
    // machine too (only a thread held up past a whole period restarts them).
    // A frame is filled, and takes the period then asked for, no sooner than
    // its stamp: the one after the last frame seen before a change keeps the
    // old period, every frame stamped after the change takes the new one, and
    // one filled meanwhile, while a loaded machine held this test up, either.
    void frameTimeChangesAfterTheFrameInProgress()
    {
        SimulatedCameraOptions options;
        options.address = "127.0.50.14";
        options.frameRate = 4.0;
        SimulatedCamera camera(options);
        QVERIFY(camera.start());
        GvspWireReceiver receiver;
        GvcpTestClient client;
        QVERIFY(streamTo(client, options.address, receiver.port(), 1400));
        using Writes = std::vector<std::pair<uint32_t, uint32_t>>;
        const std::vector<std::pair<Writes, uint32_t>> steps{
            {{{simcam::RegProgFrameTime, 1500000}, {simcam::RegProgFrameTimeEnable, 1}}, 1500000},
            {{{simcam::RegExposureTime, 600000}, {simcam::RegProgFrameTimeEnable, 0}}, 600000},
            {{{simcam::RegExposureTime, 1000}}, 250000}};
        uint64_t last = nextFrameStamp(receiver);
        uint32_t period = 250000;
        for (const auto& [writes, next] : steps) {
            for (const auto& [reg, value] : writes)
                QCOMPARE(client.writeRegister(options.address, NqGvcp::GVCP_PORT, reg, value),
                         uint16_t(NqGvcp::GEV_STATUS_SUCCESS));
            const uint64_t written = steadyNow();
            const uint32_t inForce = readRegister(client, options.address, simcam::RegFrameTimeActual);
            if (steadyNow() < last + period * 1000ull)
                QCOMPARE(inForce, period); // read before the next frame was due, so before it was filled
            else
                QVERIFY2(inForce == period || inForce == next, qPrintable(QString::number(inForce)));
            uint64_t stamp = nextFrameStamp(receiver);
            QCOMPARE(stamp - last, period * 1000ull);
            bool changed = false;
            while (stamp <= written) {
                const uint64_t following = nextFrameStamp(receiver);
                QVERIFY(following != 0);
                const uint64_t spacing = following - stamp;
                QVERIFY2(spacing == next * 1000ull || (!changed && spacing == period * 1000ull),
                         qPrintable(QString("frames %1 us apart").arg(spacing / 1000)));
                changed = spacing == next * 1000ull;
                stamp = following;
            }
            // Filled after the change, as every frame since.
            QCOMPARE(readRegister(client, options.address, simcam::RegFrameTimeActual), next);
            const uint64_t following = nextFrameStamp(receiver);
            QCOMPARE(following - stamp, next * 1000ull);
            last = following;
            period = next;
        }
        client.writeRegister(options.address, NqGvcp::GVCP_PORT, simcam::RegAcquisition, 0);
        QCOMPARE(readRegister(client, options.address, simcam::RegShortestFrameTime), 250000u);
    }
};

QTEST_GUILESS_MAIN(TestSimCamWire)
#include "tst_simcamwire.moc"
