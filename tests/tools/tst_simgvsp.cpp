// GVSP packets as the simulated camera sends them: the SDK's encoder fed
// into its parser with 16-bit block ids, and the camera's packet sizing.

#include "SimulatedCamera.h"
#include "KyNetworkLib/Gvsp.h"

#include <QtTest>

class TestSimGvsp : public QObject
{
    Q_OBJECT

private slots:
    void gvspLeaderRoundTrip()
    {
        namespace Gvsp = KyNetworkLib::Gvsp;
        Gvsp::Leader info;
        info.payloadType = Gvsp::PayloadImage;
        info.timestamp = 0x0123456789ABCDEFull;
        info.pixelFormat = 0x01100007;
        info.sizeX = 1608;
        info.sizeY = 1208;
        info.offsetX = 8;
        info.offsetY = 2;
        std::vector<uint8_t> leader(Gvsp::StandardHeaderSize + Gvsp::ImageLeaderSize);
        Gvsp::Header header;
        header.blockId = 65535;
        header.format = Gvsp::FormatLeader;
        Gvsp::WriteHeader(leader.data(), header);
        QCOMPARE(Gvsp::WriteLeader(leader.data() + Gvsp::StandardHeaderSize, info), Gvsp::ImageLeaderSize);
        header = Gvsp::Header();
        QVERIFY(Gvsp::ReadHeader(leader.data(), leader.size(), header));
        QCOMPARE(header.blockId, uint64_t(65535));
        QCOMPARE(header.format, uint8_t(Gvsp::FormatLeader));
        QCOMPARE(header.packetId, 0u);
        Gvsp::Leader back;
        const uint8_t* content = leader.data() + Gvsp::StandardHeaderSize;
        QVERIFY(Gvsp::ReadLeader(content, Gvsp::ImageLeaderSize, back));
        QCOMPARE(back.timestamp, info.timestamp);
        QCOMPARE(back.pixelFormat, info.pixelFormat);
        QCOMPARE(back.sizeX, info.sizeX);
        QCOMPARE(back.offsetY, info.offsetY);
        QVERIFY(!Gvsp::ReadLeader(content, Gvsp::ImageLeaderSize - 1, back));

        std::vector<uint8_t> trailer(Gvsp::StandardHeaderSize + Gvsp::ImageTrailerSize);
        header.blockId = 7;
        header.format = Gvsp::FormatTrailer;
        header.packetId = 0x123456;
        Gvsp::WriteHeader(trailer.data(), header);
        Gvsp::Trailer sizes;
        sizes.payloadType = Gvsp::PayloadImage;
        sizes.sizeY = 1208;
        QCOMPARE(Gvsp::WriteTrailer(trailer.data() + Gvsp::StandardHeaderSize, sizes), Gvsp::ImageTrailerSize);
        QVERIFY(Gvsp::ReadHeader(trailer.data(), trailer.size(), header));
        QCOMPARE(header.format, uint8_t(Gvsp::FormatTrailer));
        QCOMPARE(header.packetId, 0x123456u);
        QVERIFY(!Gvsp::ReadLeader(trailer.data() + Gvsp::StandardHeaderSize, Gvsp::ImageTrailerSize, back));
        QCOMPARE(SimulatedCamera::dataBytesPerPacket(1500), size_t(1464));
        QCOMPARE(SimulatedCamera::dataBytesPerPacket(100), size_t(540));
    }
};

QTEST_GUILESS_MAIN(TestSimGvsp)
#include "tst_simgvsp.moc"
