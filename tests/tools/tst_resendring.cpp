#include "ResendRing.h"

#include <QtTest>

#include <vector>

namespace Gvsp = KyNetworkLib::Gvsp;

// The simulated camera's memory of the frames it sent: what it can no longer
// send again, and what a flood of requests gets. (Answered requests are
// covered by the station's capture under packet loss.)
class TestResendRing : public QObject
{
    Q_OBJECT

private slots:
    void goneFramesAndFloodsAreBounded()
    {
        ResendRing ring(250, 2); // two frames of 100 bytes fit, a third does not
        for (uint16_t block = 1; block <= 3; ++block) {
            const std::vector<uint8_t> frame(100, uint8_t(block));
            ring.keep(block, Gvsp::Leader(), frame.data(), frame.size(), 40); // data packets 1..3, trailer 4
        }
        QCOMPARE(ring.framesKept(), size_t(2));
        auto ask = [&ring](uint64_t block, uint32_t first, uint32_t last, bool extended = false) {
            NqGvcp::PacketResend r;
            r.blockId = block;
            r.firstPacketId = first;
            r.lastPacketId = last;
            r.extendedIds = extended;
            ring.request(r);
        };
        std::vector<Gvsp::Header> sent;
        auto serve = [&] {
            sent.clear();
            ring.serve([&](const uint8_t* packet, size_t size) {
                Gvsp::Header h;
                QVERIFY(Gvsp::ReadHeader(packet, size, h));
                sent.push_back(h);
            });
        };
        ask(1, 1, 1);                          // gone
        ask(9, 1, 1);                          // never sent
        ask(3, 1, 1, true);                    // extended ids: this camera sends standard ones
        ask(2, 3, NqGvcp::PACKETRESEND_TO_END); // the rest of block 2, trailer included
        serve();
        QCOMPARE(sent.size(), size_t(2));
        QCOMPARE(sent[0].blockId, uint64_t(2));
        QCOMPARE(sent[0].packetId, 3u);
        QCOMPARE(sent[1].format, uint8_t(Gvsp::FormatTrailer));

        for (size_t i = 0; i < ResendRing::MaxRequests + 10; ++i)
            ask(3, 1, 1);
        serve();
        QCOMPARE(sent.size(), ResendRing::MaxRequests);
    }
};

QTEST_GUILESS_MAIN(TestResendRing)
#include "tst_resendring.moc"
