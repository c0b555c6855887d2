#include "ResendRing.h"

#include <QtTest>

#include <vector>

namespace Gvsp = KyNetworkLib::Gvsp;

// The simulated camera's memory of the frames it sent: what a resend request
// gets back, and what it no longer can.
class TestResendRing : public QObject
{
    Q_OBJECT

private:
    struct Sent
    {
        Gvsp::Header header;
        std::vector<uint8_t> content;
    };

    static std::vector<Sent> serve(ResendRing& ring)
    {
        std::vector<Sent> sent;
        ring.serve([&](const uint8_t* packet, size_t size) {
            Sent s;
            if (Gvsp::ReadHeader(packet, size, s.header))
                s.content.assign(packet + Gvsp::StandardHeaderSize, packet + size);
            sent.push_back(s);
        });
        return sent;
    }

    static NqGvcp::PacketResend ask(uint64_t block, uint32_t first, uint32_t last)
    {
        NqGvcp::PacketResend r;
        r.blockId = block;
        r.firstPacketId = first;
        r.lastPacketId = last;
        return r;
    }

    static std::vector<uint8_t> image(uint8_t seed, size_t size)
    {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = uint8_t(seed + i);
        return bytes;
    }

private slots:
    void packetsComeBackAsSent_data()
    {
        QTest::addColumn<uint>("first");
        QTest::addColumn<uint>("last");
        QTest::addColumn<QString>("formats"); // L leader, D data, T trailer
        QTest::newRow("two data packets") << 2u << 3u << "DD";
        QTest::newRow("leader to the end") << 0u << NqGvcp::PACKETRESEND_TO_END << "LDDDT";
        QTest::newRow("last data and trailer") << 3u << 4u << "DT";
        QTest::newRow("past the trailer") << 5u << 9u << "";
    }

    void packetsComeBackAsSent()
    {
        QFETCH(uint, first);
        QFETCH(uint, last);
        QFETCH(QString, formats);
        ResendRing ring;
        Gvsp::Leader leader;
        leader.payloadType = Gvsp::PayloadImage;
        leader.sizeX = 5;
        leader.sizeY = 5;
        const std::vector<uint8_t> frame = image(7, 25); // packets of 10, 10 and 5 bytes
        ring.keep(42, leader, frame.data(), frame.size(), 10);
        ring.request(ask(42, first, last));
        const std::vector<Sent> sent = serve(ring);
        QCOMPARE(int(sent.size()), formats.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            const Gvsp::Header& h = sent[i].header;
            QCOMPARE(h.blockId, uint64_t(42));
            QCOMPARE(h.packetId, first + uint32_t(i));
            const QChar kind = formats[int(i)];
            QCOMPARE(h.format, uint8_t(kind == 'L'   ? Gvsp::FormatLeader
                                       : kind == 'T' ? Gvsp::FormatTrailer
                                                     : Gvsp::FormatPayload));
            if (kind == 'D') {
                const size_t offset = (h.packetId - 1) * 10;
                QCOMPARE(sent[i].content,
                         std::vector<uint8_t>(frame.begin() + offset,
                                              frame.begin() + std::min<size_t>(offset + 10, frame.size())));
            }
            if (kind == 'L') {
                Gvsp::Leader back;
                QVERIFY(Gvsp::ReadLeader(sent[i].content.data(), sent[i].content.size(), back));
                QCOMPARE(back.sizeY, 5u);
            }
        }
        QVERIFY(!ring.hasRequests());
    }

    void oldFramesMakeRoomAndUnknownRequestsAreIgnored()
    {
        ResendRing ring(250, 2); // two frames of 100 bytes fit, a third does not
        Gvsp::Leader leader;
        for (uint16_t block = 1; block <= 3; ++block) {
            const std::vector<uint8_t> frame = image(uint8_t(block), 100);
            ring.keep(block, leader, frame.data(), frame.size(), 100);
        }
        QCOMPARE(ring.framesKept(), size_t(2));
        ring.request(ask(1, 1, 1)); // gone
        ring.request(ask(9, 1, 1)); // never sent
        NqGvcp::PacketResend extended = ask(3, 1, 1);
        extended.extendedIds = true; // this camera sends standard ids only
        ring.request(extended);
        ring.request(ask(2, 1, 1));
        const std::vector<Sent> sent = serve(ring);
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0].header.blockId, uint64_t(2));
        QCOMPARE(sent[0].content, image(2, 100));

        // A flood of requests is cut at the bound.
        for (size_t i = 0; i < ResendRing::MaxRequests + 10; ++i)
            ring.request(ask(3, 1, 1));
        QCOMPARE(serve(ring).size(), ResendRing::MaxRequests);
    }
};

QTEST_GUILESS_MAIN(TestResendRing)
#include "tst_resendring.moc"
