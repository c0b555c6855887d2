#include "PacketDropper.h"
#include "ResendRing.h"
#include "ResendTally.h"

#include <QtTest>

#include <vector>

namespace Gvsp = KyNetworkLib::Gvsp;

// The simulated camera's memory of the frames it sent: what it can no longer
// send again, and what a flood of requests gets; the share of packets it
// drops, and its tally of those against the packets it sent again. (Answered requests are covered by
// the station's capture under packet loss.)
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

    // The share asked for, the same packets for the same seed.
    void dropperLosesItsShare()
    {
        PacketDropper first(0.01, 7);
        PacketDropper again(0.01, 7);
        int dropped = 0;
        for (int i = 0; i < 100000; ++i) {
            const bool drop = first.dropNext();
            QCOMPARE(again.dropNext(), drop);
            dropped += drop ? 1 : 0;
        }
        QVERIFY2(dropped > 900 && dropped < 1100, qPrintable(QString::number(dropped)));
        PacketDropper none(0.0, 7);
        for (int i = 0; i < 1000; ++i)
            QVERIFY(!none.dropNext());
    }

    // Frames 65534, 65535 and 0 lose packets, across the wrap of the block id.
    void tallyTellsDropsNeverAskedFor()
    {
        ResendTally tally;
        tally.dropped(65534, 3);
        tally.dropped(65534, 9);
        tally.dropped(65535, 1);
        tally.dropped(0, 5);
        tally.dropped(0, 6);
        tally.resent();
        QCOMPARE(tally.packetsDropped(), uint64_t(5));
        QCOMPARE(tally.packetsResent(), uint64_t(1));
        QCOMPARE(tally.droppedNotAskedFor(65534, 0), uint64_t(0)); // nothing asked: given up
        QCOMPARE(tally.droppedAskedFor(65534, 0), uint64_t(0));
        tally.asked(65534, 9, 9);
        tally.asked(65534, 9, 9); // asked twice
        tally.asked(0, 5, 5);
        QCOMPARE(tally.droppedAskedFor(65534, 0), uint64_t(2));
        QCOMPARE(tally.droppedNotAskedFor(65534, 0), uint64_t(2)); // 65534/3, 0/6; 65535 given up
        QCOMPARE(tally.droppedNotAskedFor(65534, 65534), uint64_t(1));
        QCOMPARE(tally.droppedNotAskedFor(65535, 65535), uint64_t(0));
        QCOMPARE(tally.droppedNotAskedFor(0, 10), uint64_t(1));
        QCOMPARE(tally.droppedNotAskedFor(1, 65533), uint64_t(0));
        QCOMPARE(tally.framesOverrun(0, 65535), uint64_t(0));

        // A range asks for every packet in it; packet 3 of frame 38 and 1 of
        // 40 were never dropped: the receiver lost them itself. The frames
        // beside one it overran may go unasked (37 to 41), 42 not.
        for (uint16_t block = 38; block <= 42; ++block) {
            tally.dropped(block, 2);
            tally.dropped(block, 4);
            tally.asked(block, 2, 2);
        }
        tally.asked(38, 2, 4);
        QCOMPARE(tally.droppedNotAskedFor(38, 38), uint64_t(0));
        tally.asked(40, 1, 1);
        QCOMPARE(tally.droppedNotAskedFor(38, 42), uint64_t(1)); // 42/4
        QCOMPARE(tally.framesOverrun(38, 42), uint64_t(2));      // 38 asked for 3, 40 for 1
        tally.clear();
        QCOMPARE(tally.packetsDropped(), uint64_t(0));
        QCOMPARE(tally.droppedNotAskedFor(0, 65535), uint64_t(0));
    }
};

QTEST_GUILESS_MAIN(TestResendRing)
#include "tst_resendring.moc"
