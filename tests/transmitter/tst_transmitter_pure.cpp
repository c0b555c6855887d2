// Pure parts of the transmitter: GVSP encoding, limits, result folding,
// statistics with an injected clock, pacing.
#include "GVSPStatistic.h"
#include "LogCapture.h"
#include "OperationResultConverter.h"
#include "PublicResult.h"
#include "SendParameters.h"
#include "base/NqBuffer.h"
#include "base/NqPixelType.h"
#include "KyNetworkLib/EthernetAddress.h"
#include "KyNetworkLib/Gvsp.h"
#include "KyNetworkLib/GVSPPacketLeader.h"
#include "KyNetworkLib/GVSPPacketTrailer.h"
#include "KyNetworkLib/IpAddress.h"
#include "KyTransportLayerLib/Pacer.h"
#include "KyTransportLayerLib/ResultConverter.h"

#include <QtTest>
#include <cmath>
#include <limits>

namespace Gvsp = KyNetworkLib::Gvsp;
using namespace NqTransmitterRawLib;

class TransmitterPureTest : public QObject
{
    Q_OBJECT

private slots:
    void headerRoundTrip_data();
    void headerRoundTrip();
    void imageLeaderFromBuffer();
    void rawLeaderForBufferWithoutImage();
    void nextBlockId_data();
    void nextBlockId();
    void dataBytesPerPacket_data();
    void dataBytesPerPacket();
    void packetSizeLimits_data();
    void packetSizeLimits();
    void throughputLimits_data();
    void throughputLimits();
    void publicCode_data();
    void publicCode();
    void operationResults_data();
    void operationResults();
    void engineStatusesOutOfRange();
    void ipAddressParsing_data();
    void ipAddressParsing();
    void multicastMac();
    void statisticAverages();
    void statisticCountsFailedBlocks();
    void statisticInstantRates();
    void pacerDeadlines();
    void logThreshold();
};

void TransmitterPureTest::headerRoundTrip_data()
{
    QTest::addColumn<bool>("extended");
    QTest::addColumn<quint8>("format");
    QTest::addColumn<quint64>("blockId");
    QTest::addColumn<quint32>("packetId");
    QTest::newRow("standard leader") << false << quint8(Gvsp::FormatLeader) << quint64(1) << quint32(0);
    QTest::newRow("standard data max ids") << false << quint8(Gvsp::FormatPayload) << quint64(65535) << quint32(0xFFFFFF);
    QTest::newRow("extended trailer") << true << quint8(Gvsp::FormatTrailer) << quint64(0x123456789ABCull)
                                      << quint32(0xFEDCBA98);
}

void TransmitterPureTest::headerRoundTrip()
{
    QFETCH(bool, extended);
    QFETCH(quint8, format);
    QFETCH(quint64, blockId);
    QFETCH(quint32, packetId);
    uint8_t area[Gvsp::HeaderAreaSize];
    Gvsp::Header written;
    written.extended = extended;
    written.format = format;
    written.blockId = blockId;
    written.packetId = packetId;
    Gvsp::WriteHeader(area, written);
    QCOMPARE(bool(area[4] & Gvsp::ExtendedIdFlag), extended);
    Gvsp::Header read;
    QVERIFY(Gvsp::ReadHeader(area, Gvsp::HeaderSize(extended), read));
    QCOMPARE(read.extended, extended);
    QCOMPARE(read.format, format);
    QCOMPARE(quint64(read.blockId), blockId);
    QCOMPARE(quint32(read.packetId), packetId);
    QVERIFY(!Gvsp::ReadHeader(area, Gvsp::HeaderSize(extended) - 1, read) || !extended);
}

void TransmitterPureTest::imageLeaderFromBuffer()
{
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(64 * 48 * 2 + 200).IsOK());
    QVERIFY(buffer.GetImage()->Attach(64, 48, NqPixelType::Mono16, 8, 4, 2, 6).IsOK());
    buffer.GetInternal()->SetTimestamp(0x0102030405060708ull);
    uint8_t area[Gvsp::HeaderAreaSize];
    KyNetworkLib::GVSPPacketLeader leader;
    QVERIFY(leader.Encode(area, sizeof area, false).IsSuccess());
    leader.EncodeBuffer(*buffer.GetInternal());
    QCOMPARE(leader.GetPacketSize(), Gvsp::StandardHeaderSize + Gvsp::ImageLeaderSize);
    Gvsp::Leader read;
    QVERIFY(Gvsp::ReadLeader(area + Gvsp::StandardHeaderSize, Gvsp::ImageLeaderSize, read));
    QCOMPARE(read.payloadType, uint16_t(Gvsp::PayloadImage));
    QCOMPARE(read.pixelFormat, uint32_t(NqPixelType::Mono16));
    QCOMPARE(read.sizeX, 64u);
    QCOMPARE(read.sizeY, 48u);
    QCOMPARE(read.offsetX, 8u);
    QCOMPARE(read.offsetY, 4u);
    QCOMPARE(read.paddingX, uint16_t(2));
    QCOMPARE(read.paddingY, uint16_t(6));
    QCOMPARE(read.timestamp, quint64(0x0102030405060708ull));
    // The image (with its padding) is sent, not the whole allocation.
    QCOMPARE(KyNetworkLib::GVSPPacketLeader::PayloadSize(*buffer.GetInternal()), uint32_t((64 * 2 + 2) * 48 + 6));

    KyNetworkLib::GVSPPacketTrailer trailer;
    QVERIFY(trailer.Encode(area, sizeof area, true).IsSuccess());
    trailer.EncodeBuffer(*buffer.GetInternal());
    QCOMPARE(trailer.GetPacketSize(), Gvsp::ExtendedHeaderSize + Gvsp::ImageTrailerSize);
    Gvsp::Trailer readTrailer;
    QVERIFY(Gvsp::ReadTrailer(area + Gvsp::ExtendedHeaderSize, Gvsp::ImageTrailerSize, readTrailer));
    QCOMPARE(readTrailer.sizeY, 48u);
    QVERIFY(leader.Encode(area, Gvsp::ExtendedHeaderSize + Gvsp::ImageLeaderSize - 1, true).IsFailure());
}

void TransmitterPureTest::rawLeaderForBufferWithoutImage()
{
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(12345).IsOK());
    uint8_t area[Gvsp::HeaderAreaSize];
    KyNetworkLib::GVSPPacketLeader leader;
    QVERIFY(leader.Encode(area, sizeof area, true).IsSuccess());
    leader.EncodeBuffer(*buffer.GetInternal());
    QCOMPARE(leader.GetPacketSize(), Gvsp::ExtendedHeaderSize + Gvsp::RawDataLeaderSize);
    Gvsp::Leader read;
    QVERIFY(Gvsp::ReadLeader(area + Gvsp::ExtendedHeaderSize, Gvsp::RawDataLeaderSize, read));
    QCOMPARE(read.payloadType, uint16_t(Gvsp::PayloadRawData));
    QCOMPARE(read.payloadSize, quint64(12345));
}

void TransmitterPureTest::nextBlockId_data()
{
    QTest::addColumn<quint64>("current");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<quint64>("next");
    QTest::newRow("first") << quint64(0) << false << quint64(1);
    QTest::newRow("middle") << quint64(41) << false << quint64(42);
    QTest::newRow("16-bit wraps to 1, never 0") << quint64(65535) << false << quint64(1);
    QTest::newRow("64-bit goes on") << quint64(65535) << true << quint64(65536);
}

void TransmitterPureTest::nextBlockId()
{
    QFETCH(quint64, current);
    QFETCH(bool, extended);
    QFETCH(quint64, next);
    QCOMPARE(quint64(Gvsp::NextBlockId(current, extended)), next);
}

void TransmitterPureTest::dataBytesPerPacket_data()
{
    QTest::addColumn<quint32>("packetSize");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<quint32>("bytes");
    QTest::newRow("1440 standard") << 1440u << false << 1440u - 28 - 8;
    QTest::newRow("1440 extended") << 1440u << true << 1440u - 28 - 20;
    QTest::newRow("9000") << 9000u << false << 9000u - 36;
    QTest::newRow("headers only") << 36u << false << 0u;
    QTest::newRow("above an IP datagram") << 65536u << false << 0u;
}

void TransmitterPureTest::dataBytesPerPacket()
{
    QFETCH(quint32, packetSize);
    QFETCH(bool, extended);
    QFETCH(quint32, bytes);
    QCOMPARE(quint32(Gvsp::DataBytesPerPacket(packetSize, extended)), bytes);
}

void TransmitterPureTest::packetSizeLimits_data()
{
    QTest::addColumn<quint32>("packetSize");
    QTest::addColumn<bool>("valid");
    QTest::newRow("0") << 0u << false;
    QTest::newRow("below the headers and leader") << Gvsp::MinPacketSize - 1 << false;
    QTest::newRow("smallest") << Gvsp::MinPacketSize << true;
    QTest::newRow("default") << 1440u << true;
    QTest::newRow("65535") << 65535u << true;
    QTest::newRow("65536") << 65536u << false;
}

void TransmitterPureTest::packetSizeLimits()
{
    QFETCH(quint32, packetSize);
    QFETCH(bool, valid);
    QCOMPARE(SendParameters::IsPacketSizeValid(packetSize), valid);
}

void TransmitterPureTest::throughputLimits_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("stored");
    QTest::newRow("no limit") << 0.0f << true << 0u;
    QTest::newRow("truncated") << 1.9f << true << 1u;
    QTest::newRow("900 Mb/s") << 9e8f << true << 900000000u;
    QTest::newRow("negative") << -1.0f << false << 0u;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << false << 0u;
    QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << false << 0u;
    QTest::newRow("beyond 32 bits") << 4294967296.0f << false << 0u;
}

void TransmitterPureTest::throughputLimits()
{
    QFETCH(float, value);
    QFETCH(bool, valid);
    QFETCH(quint32, stored);
    uint32_t out = 0;
    QCOMPARE(SendParameters::ThroughputFromFloat(value, out), valid);
    if (valid)
        QCOMPARE(quint32(out), stored);
}

void TransmitterPureTest::publicCode_data()
{
    QTest::addColumn<quint32>("code");
    QTest::addColumn<quint32>("publicCode");
    QTest::addColumn<bool>("failure");
    QTest::newRow("success") << 0u << 0u << false;
    QTest::newRow("pending") << 259u << 0xFFFFu << true;
    QTest::newRow("plain") << 16385u << 16385u << true;
    QTest::newRow("high bits only count as success") << 0x00010000u << 0u << false;
    QTest::newRow("folded") << 0x00020013u << 19u << true;
}

void TransmitterPureTest::publicCode()
{
    QFETCH(quint32, code);
    QFETCH(quint32, publicCode);
    QFETCH(bool, failure);
    const NzUtilsLib::Result result(code, "text");
    QCOMPARE(quint32(result.GetPublicCode()), publicCode);
    QCOMPARE(result.IsFailure(), failure);
    const NqResult exported = ToNqResult(result);
    QCOMPARE(quint32(exported.GetCode()), publicCode);
    QCOMPARE(quint32(exported.GetInternalCode()), publicCode);
    QCOMPARE(QString(exported.GetDescription().GetAscii()), QString("text"));
}

void TransmitterPureTest::operationResults_data()
{
    QTest::addColumn<quint32>("status");
    QTest::addColumn<quint32>("code");
    QTest::newRow("sent") << 0u << 0u;
    QTest::newRow("1") << 1u << 1u;
    QTest::newRow("2 network") << 2u << 19u;
    QTest::newRow("3") << 3u << 1u;
    QTest::newRow("outside the table") << 4u << 1u;
    QTest::newRow("far outside") << 0xFFFFFFFFu << 1u;
}

void TransmitterPureTest::operationResults()
{
    QFETCH(quint32, status);
    QFETCH(quint32, code);
    const NzUtilsLib::Result result = OperationResultConverter().Convert(status);
    QCOMPARE(quint32(result.GetCode()), code);
    QVERIFY(result.GetDescription().empty());
}

void TransmitterPureTest::engineStatusesOutOfRange()
{
    QCOMPARE(KyTransportLayerLib::ResultConverter::FromOSToNz(0).GetCode(), 0u);
    QCOMPARE(KyTransportLayerLib::ResultConverter::FromOSToNz(1).GetCode(), 20u);
    QCOMPARE(KyTransportLayerLib::ResultConverter::FromOSToNz(1000).GetCode(), 1u);
}

void TransmitterPureTest::ipAddressParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("multicast");
    QTest::newRow("loopback") << "127.0.0.1" << true << false;
    QTest::newRow("first multicast") << "224.0.0.1" << true << true;
    QTest::newRow("last multicast") << "239.255.255.255" << true << true;
    QTest::newRow("above multicast") << "240.0.0.1" << true << false;
    QTest::newRow("octet too large") << "999.1.1.1" << false << false;
    QTest::newRow("three octets") << "10.0.1" << false << false;
    QTest::newRow("name") << "localhost" << false << false;
}

void TransmitterPureTest::ipAddressParsing()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(bool, multicast);
    KyNetworkLib::IpAddress address;
    QCOMPARE(address.Set(text.toLatin1().constData()).IsSuccess(), valid);
    if (!valid)
        return;
    QCOMPARE(QString::fromStdString(address.GetString()), text);
    QCOMPARE(address.IsMulticast(), multicast);
}

void TransmitterPureTest::multicastMac()
{
    KyNetworkLib::IpAddress address;
    QVERIFY(address.Set("239.129.2.3").IsSuccess());
    QCOMPARE(QString::fromStdString(address.GetEthernetAddress().GetString()), QString("01:00:5e:01:02:03"));
    KyNetworkLib::EthernetAddress mac;
    QVERIFY(mac.Set("00-11-22-aa-bb-cc").IsSuccess());
    QCOMPARE(quint64(mac.GetValue()), quint64(0x001122AABBCCull));
    QVERIFY(mac.Set("00:11:22:aa:bb").IsFailure());
    QVERIFY(mac.Set("00:11:22:aa:bb:cc:dd").IsFailure());
    QVERIFY(mac.Set("00.11.22.aa.bb.cc").IsFailure());
    QCOMPARE(quint64(mac.GetValue()), quint64(0x001122AABBCCull));
}

void TransmitterPureTest::statisticAverages()
{
    uint64_t now = 5000;
    GVSPStatistic statistic([&now] { return now; });
    QCOMPARE(statistic.GetBlocksTransmitted(), quint64(0));
    QCOMPARE(statistic.GetAveragePayloadThroughput(), 0.0f);
    QCOMPARE(statistic.GetAverageTransmissionRate(), 0.0f);
    now = 5100;
    statistic.Report(NzUtilsLib::Result(0), 3, 1000);
    statistic.Report(NzUtilsLib::Result(0), 3, 1000);
    now = 5400;
    QCOMPARE(statistic.GetAveragePayloadThroughput(), 160000.0f);
    QCOMPARE(statistic.GetAverageTransmissionRate(), 20.0f);
    QCOMPARE(statistic.GetSamplingTime(), quint64(400));
    QCOMPARE(statistic.GetPayloadBytesTransmitted(), quint64(2000));
    statistic.Reset();
    QCOMPARE(statistic.GetBlocksTransmitted(), quint64(0));
    QCOMPARE(statistic.GetAveragePayloadThroughput(), 0.0f);
    QCOMPARE(statistic.GetSamplingTime(), quint64(0));
}

void TransmitterPureTest::statisticCountsFailedBlocks()
{
    uint64_t now = 0;
    GVSPStatistic statistic([&now] { return now; });
    now = 10;
    statistic.Report(NzUtilsLib::Result(19), 2, 500);
    statistic.Report(NzUtilsLib::Result(1), 0, 0);
    QCOMPARE(statistic.GetBlocksTransmitted(), quint64(2));
    QCOMPARE(statistic.GetPayloadBytesTransmitted(), quint64(500));
}

void TransmitterPureTest::statisticInstantRates()
{
    uint64_t now = 0;
    GVSPStatistic statistic([&now] { return now; });
    for (int i = 0; i <= 10; ++i) {
        now = uint64_t(i) * 100;
        statistic.Report(NzUtilsLib::Result(0), 1, 1000);
    }
    // Ten blocks of 1000 bytes over the one-second window after the first.
    QCOMPARE(statistic.GetInstantaneousTransmissionRate(), 10.0f);
    QCOMPARE(statistic.GetInstantaneousPayloadThroughput(), 80000.0f);
    // The next window counts only its own blocks: four of 500 bytes.
    for (int i = 1; i <= 4; ++i) {
        now = 1000 + uint64_t(i) * 250;
        statistic.Report(NzUtilsLib::Result(0), 1, 500);
    }
    QCOMPARE(statistic.GetInstantaneousTransmissionRate(), 4.0f);
    QCOMPARE(statistic.GetInstantaneousPayloadThroughput(), 16000.0f);
    statistic.Reset();
    QCOMPARE(statistic.GetInstantaneousTransmissionRate(), 0.0f);
    QCOMPARE(statistic.GetInstantaneousPayloadThroughput(), 0.0f);
}

void TransmitterPureTest::pacerDeadlines()
{
    using Clock = KyTransportLayerLib::Pacer::Clock;
    using std::chrono::microseconds;
    KyTransportLayerLib::Pacer pacer;
    const Clock::time_point start = Clock::now();
    // 10000 bytes at 80 Mb/s take 1 ms each.
    QVERIFY(pacer.Reserve(10000, 80000000, start) == start);
    QVERIFY(pacer.Reserve(10000, 80000000, start + microseconds(100)) == start + microseconds(1000));
    // Waking a little late keeps the schedule (absolute deadlines)...
    QVERIFY(pacer.Reserve(10000, 80000000, start + microseconds(2500)) == start + microseconds(2000));
    // ...but after an idle spell the schedule restarts at now.
    const Clock::time_point later = start + microseconds(50000);
    QVERIFY(pacer.Reserve(10000, 80000000, later) == later);
    QVERIFY(pacer.Reserve(10000, 0, later) == later);
    // A paced record holds what the rate carries in 100 us, one packet at least.
    using KyTransportLayerLib::Pacer;
    QCOMPARE(Pacer::PacketsPerRecord(1440, 0, 16), 16u);
    QCOMPARE(Pacer::PacketsPerRecord(1440, 1000000000, 16), 8u);
    QCOMPARE(Pacer::PacketsPerRecord(9000, 1000000000, 16), 1u);
    QCOMPARE(Pacer::PacketsPerRecord(1440, 10000000000ull, 16), 16u);
}

void TransmitterPureTest::logThreshold()
{
    LogCapture log;
    NzUtilsLib::Logger::SetThreshold(NzUtilsLib::Logger::Warning);
    const NzUtilsLib::Logger logger("KyTransmitterRaw", 0);
    NZ_LOG(logger, NzUtilsLib::Logger::Information, "below");
    NZ_LOG(logger, NzUtilsLib::Logger::Warning, "at the threshold");
    const std::vector<LogCapture::Line> lines = log.Lines();
    QCOMPARE(lines.size(), size_t(1));
    QCOMPARE(QString::fromStdString(lines[0].message), QString("at the threshold"));
}

QTEST_GUILESS_MAIN(TransmitterPureTest)
#include "tst_transmitter_pure.moc"
