#include "base/NqPixelType.h"
#include "camera/AveragePool.h"
#include "camera/FrameAveraging.h"

#include <QtTest>

#include <vector>

using Samples = std::vector<uint32_t>;
using FrameList = std::vector<Samples>;
Q_DECLARE_METATYPE(Samples)
Q_DECLARE_METATYPE(FrameList)

namespace {

std::vector<uint8_t> encode(const Samples& samples, uint32_t bytesPerSample)
{
    std::vector<uint8_t> bytes;
    for (uint32_t s : samples) {
        bytes.push_back(uint8_t(s));
        if (bytesPerSample == 2)
            bytes.push_back(uint8_t(s >> 8));
    }
    return bytes;
}

} // namespace

class tst_FrameAveraging : public QObject
{
    Q_OBJECT

private slots:
    void bytesPerSample_data();
    void bytesPerSample();
    void coveredPixels_data();
    void coveredPixels();
    void truncatedMean_data();
    void truncatedMean();
    void shortBufferIsReadOnlyAsFarAsItGoes();
    void poolHandsOutEachBufferOnce();
    void frameOutlivesItsPool();
};

void tst_FrameAveraging::bytesPerSample_data()
{
    QTest::addColumn<uint32_t>("format");
    QTest::addColumn<uint32_t>("bytes");
    QTest::newRow("Mono8") << uint32_t(NqPixelType::Mono8) << 1u;
    QTest::newRow("BayerRG8") << uint32_t(NqPixelType::BayerRG8) << 1u;
    QTest::newRow("Mono10") << uint32_t(NqPixelType::Mono10) << 2u;
    QTest::newRow("Mono12Packed") << uint32_t(NqPixelType::Mono12Packed) << 2u;
    QTest::newRow("Mono14") << uint32_t(NqPixelType::Mono14) << 2u;
    QTest::newRow("BayerGR16") << uint32_t(NqPixelType::BayerGR16) << 2u;
    QTest::newRow("unknown") << 0u << 1u;
}

void tst_FrameAveraging::bytesPerSample()
{
    QFETCH(uint32_t, format);
    QFETCH(uint32_t, bytes);
    QCOMPARE(FrameAveraging::bytesPerSample(format), bytes);
}

void tst_FrameAveraging::coveredPixels_data()
{
    QTest::addColumn<qulonglong>("pixels");
    QTest::addColumn<qulonglong>("available");
    QTest::addColumn<uint32_t>("sampleBytes");
    QTest::addColumn<qulonglong>("covered");
    QTest::newRow("whole 8-bit") << 100ull << 100ull << 1u << 100ull;
    QTest::newRow("whole 16-bit") << 100ull << 200ull << 2u << 100ull;
    QTest::newRow("larger buffer") << 100ull << 4096ull << 2u << 100ull;
    QTest::newRow("short 16-bit") << 100ull << 150ull << 2u << 75ull;
    QTest::newRow("odd byte left out") << 100ull << 151ull << 2u << 75ull;
    QTest::newRow("empty") << 100ull << 0ull << 1u << 0ull;
}

void tst_FrameAveraging::coveredPixels()
{
    QFETCH(qulonglong, pixels);
    QFETCH(qulonglong, available);
    QFETCH(uint32_t, sampleBytes);
    QFETCH(qulonglong, covered);
    QCOMPARE(qulonglong(FrameAveraging::coveredPixels(pixels, available, sampleBytes)), covered);
}

void tst_FrameAveraging::truncatedMean_data()
{
    QTest::addColumn<uint32_t>("sampleBytes");
    QTest::addColumn<FrameList>("frames");
    QTest::addColumn<Samples>("mean");
    QTest::newRow("8-bit, 4 frames")
        << 1u << FrameList{{0, 1, 255, 10}, {1, 1, 255, 11}, {2, 1, 255, 12}, {2, 0, 255, 13}}
        << Samples{1, 0, 255, 11};
    QTest::newRow("16-bit, 4 frames")
        << 2u
        << FrameList{{65535, 1000, 3, 0x1234}, {65535, 1001, 0, 0x1235}, {65534, 1002, 0, 0x1236},
                     {65535, 1002, 0, 0x1237}}
        << Samples{65534, 1001, 0, 0x1235};
    FrameList fullScale(100, Samples{65535, 1});
    fullScale[0][1] = 0; // 99 / 100 truncates to 0
    QTest::newRow("16-bit, 100 full-scale frames") << 2u << fullScale << Samples{65535, 0};
    QTest::newRow("one frame is itself") << 2u << FrameList{{7, 300, 65535}} << Samples{7, 300, 65535};
}

void tst_FrameAveraging::truncatedMean()
{
    QFETCH(uint32_t, sampleBytes);
    QFETCH(FrameList, frames);
    QFETCH(Samples, mean);
    const size_t pixels = mean.size();
    std::vector<uint32_t> sum(pixels, 0);
    for (const Samples& frame : frames)
        FrameAveraging::accumulate(sum.data(), encode(frame, sampleBytes).data(), pixels, sampleBytes);
    std::vector<uint8_t> out(pixels * sampleBytes + 1, 0xAA);
    FrameAveraging::average(sum.data(), out.data(), pixels, uint32_t(frames.size()), sampleBytes);
    QCOMPARE(std::vector<uint8_t>(out.begin(), out.end() - 1), encode(mean, sampleBytes));
    QCOMPARE(out.back(), uint8_t(0xAA)); // nothing written past the image
}

void tst_FrameAveraging::shortBufferIsReadOnlyAsFarAsItGoes()
{
    // A 4-pixel 16-bit frame of which only 5 bytes arrived: two whole samples.
    const std::vector<uint8_t> data{1, 0, 2, 0, 3};
    std::vector<uint32_t> sum(4, 10);
    const size_t covered = FrameAveraging::coveredPixels(4, data.size(), 2);
    FrameAveraging::accumulate(sum.data(), data.data(), covered, 2);
    QCOMPARE(sum, (std::vector<uint32_t>{11, 12, 10, 10}));
}

void tst_FrameAveraging::poolHandsOutEachBufferOnce()
{
    auto pool = AveragePool::create(3, 16);
    std::vector<FrameRef> out;
    std::vector<const uint8_t*> seen;
    for (int i = 0; i < 3; ++i) {
        const int slot = pool->take();
        QVERIFY(slot >= 0);
        Frame frame;
        frame.width = 4;
        frame.number = unsigned(i);
        out.push_back(pool->hand(slot, frame));
        QCOMPARE(out.back()->size, 16u);
        QCOMPARE(out.back()->width, 4u);
        QVERIFY(std::find(seen.begin(), seen.end(), out.back()->data) == seen.end());
        seen.push_back(out.back()->data);
    }
    QCOMPARE(pool->take(), -1);
    QCOMPARE(pool->freeSlots(), size_t(0));

    FrameRef copy = out[1];
    out[1].reset();
    QCOMPARE(pool->freeSlots(), size_t(0)); // a copy still holds it
    copy.reset();
    QCOMPARE(pool->freeSlots(), size_t(1));
    const int again = pool->take();
    QCOMPARE(pool->data(again), seen[1]);
}

void tst_FrameAveraging::frameOutlivesItsPool()
{
    auto pool = AveragePool::create(2, 8);
    const int slot = pool->take();
    std::fill(pool->data(slot), pool->data(slot) + 8, uint8_t(0x5A));
    FrameRef frame = pool->hand(slot, Frame());
    std::weak_ptr<AveragePool> watch = pool;
    pool.reset(); // the thread made a new pool for another frame size
    QVERIFY(!watch.expired());
    QCOMPARE(frame->data[7], uint8_t(0x5A));
    frame.reset();
    QVERIFY(watch.expired());
}

QTEST_GUILESS_MAIN(tst_FrameAveraging)
#include "tst_frameaveraging.moc"
