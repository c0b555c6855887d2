#include "TestFrames.h"
#include "capture/FrameSlotQueue.h"
#include "frames/DisplayBuffers.h"
#include "frames/PixelConversion.h"

#include <QtTest>

#include <vector>

// A 2 x 2-cell mosaic with one padding sample per row (stride 5): greens at
// (0,0) and (1,1) of each cell, red at (0,1).
static const std::vector<uint16_t> mosaic16 = {
    0xFFFC, 4095, 0x0100, 0x0013, 0xDEAD,
    7, 0xFFFF, 0x8000, 0x0104, 0xBEEF,
};
static const std::vector<uint8_t> mosaic8 = {
    3, 200, 10, 250, 99,
    9, 4, 11, 13, 99,
};

class TestPixelConversion : public QObject
{
    Q_OBJECT

private slots:
    void depths_data()
    {
        QTest::addColumn<qint64>("format");
        QTest::addColumn<int>("display");
        QTest::addColumn<int>("data");
        QTest::newRow("Mono8") << qint64(0x01080001) << 8 << 8;
        QTest::newRow("BayerGR8") << qint64(0x01080008) << 8 << 8;
        QTest::newRow("Mono16") << qint64(0x01100007) << 16 << 14;
        QTest::newRow("Mono12") << qint64(0x01100005) << 16 << 12;
        QTest::newRow("BayerRG8 is not named") << qint64(0x01080009) << 16 << 12;
        QTest::newRow("zero (failed read)") << qint64(0) << 16 << 12;
        QTest::newRow("negative") << qint64(-1) << 16 << 12;
        QTest::newRow("beyond 32 bits") << qint64(0x101080001LL) << 16 << 12;
    }
    void depths()
    {
        QFETCH(qint64, format);
        QFETCH(int, display);
        QFETCH(int, data);
        const SampleDepths d = sampleDepthsFor(format);
        QCOMPARE(d.display, display);
        QCOMPARE(d.data, data);
    }

    void extractors_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("greens");
        QTest::addColumn<QVector<int>>("expected");
        for (bool greens : {false, true}) {
            const char* g = greens ? " greens" : "";
            QTest::addRow("16 S%s", g) << "16" << 1 << greens << QVector<int>{4095, 0x13};
            QTest::addRow("16Shr2 S%s", g) << "16Shr2" << 1 << greens << QVector<int>{1023, 4};
            QTest::addRow("16To8Shr4 S%s", g) << "16To8Shr4" << 1 << greens << QVector<int>{255, 1};
            QTest::addRow("16To8Hi S%s", g) << "16To8Hi" << 1 << greens << QVector<int>{15, 0};
            QTest::addRow("8 S%s", g) << "8" << 1 << greens << QVector<int>{200, 250};
            QTest::addRow("8To16 S%s", g) << "8To16" << 1 << greens << QVector<int>{200, 250};
        }
        QTest::newRow("16 R") << "16" << 0 << false << QVector<int>{0xFFFC, 0x100};
        QTest::newRow("16 R greens") << "16" << 0 << true << QVector<int>{65533, 258};
        QTest::newRow("16 flags 2") << "16" << 2 << false << QVector<int>{7, 0x8000};
        QTest::newRow("16 flags 3") << "16" << 3 << false << QVector<int>{0xFFFF, 0x104};
        QTest::newRow("16Shr2 R (14-bit 0xFFFC)") << "16Shr2" << 0 << false << QVector<int>{16383, 64};
        QTest::newRow("16Shr2 R greens") << "16Shr2" << 0 << true << QVector<int>{16383, 64};
        QTest::newRow("16To8Shr4 R") << "16To8Shr4" << 0 << false << QVector<int>{255, 16};
        QTest::newRow("16To8Shr4 R greens") << "16To8Shr4" << 0 << true << QVector<int>{255, 16};
        QTest::newRow("16To8Hi R") << "16To8Hi" << 0 << false << QVector<int>{255, 1};
        QTest::newRow("16To8Hi R greens") << "16To8Hi" << 0 << true << QVector<int>{255, 1};
        QTest::newRow("8 R") << "8" << 0 << false << QVector<int>{3, 10};
        QTest::newRow("8 R greens 3 and 4 give 3") << "8" << 0 << true << QVector<int>{3, 11};
        QTest::newRow("8To16 R greens") << "8To16" << 0 << true << QVector<int>{3, 11};
    }
    void extractors()
    {
        QFETCH(QString, name);
        QFETCH(int, flags);
        QFETCH(bool, greens);
        QFETCH(QVector<int>, expected);
        // A guard sample after the plane catches writes past its end.
        uint16_t out16[3] = {0, 0, 0x5A5A};
        uint8_t out8[3] = {0, 0, 0x5A};
        QVector<int> got;
        if (name == "16")
            extractPlane16(out16, mosaic16.data(), 2, 1, 5, flags, greens);
        else if (name == "16Shr2")
            extractPlane16Shr2(out16, mosaic16.data(), 2, 1, 5, flags, greens);
        else if (name == "8To16")
            extractPlane8To16(out16, mosaic8.data(), 2, 1, 5, flags, greens);
        else if (name == "16To8Shr4")
            extractPlane16To8Shr4(out8, mosaic16.data(), 2, 1, 5, flags, greens);
        else if (name == "16To8Hi")
            extractPlane16To8Hi(out8, mosaic16.data(), 2, 1, 5, flags, greens);
        else
            extractPlane8(out8, mosaic8.data(), 2, 1, 5, flags, greens);
        const bool wide = name == "16" || name == "16Shr2" || name == "8To16";
        got = wide ? QVector<int>{out16[0], out16[1]} : QVector<int>{out8[0], out8[1]};
        QCOMPARE(got, expected);
        QCOMPARE(out16[2], uint16_t(0x5A5A));
        QCOMPARE(out8[2], uint8_t(0x5A));
    }

    // Widths that are not a multiple of 4, rows with padding, and the
    // edge values of 12- and 14-bit data.
    void converters_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("stride");
        QTest::newRow("7 wide, padded") << 7 << 9;
        QTest::newRow("5 wide, packed") << 5 << 5;
        QTest::newRow("1 wide") << 1 << 3;
    }
    void converters()
    {
        QFETCH(int, width);
        QFETCH(int, stride);
        const int height = 3;
        std::vector<uint16_t> src(size_t(stride) * height);
        for (size_t i = 0; i < src.size(); ++i)
            src[i] = uint16_t(i * 2731u + (i % 3 == 0 ? 0xFFFC : 4095));
        std::vector<uint8_t> shr4(size_t(width) * height + 1, 0x77), hi(shr4);
        std::vector<uint16_t> shifted(size_t(width) * height + 1, 0x7777);
        convert16To8Shr4(shr4.data(), src.data(), width, height, stride);
        convert16To8Hi(hi.data(), src.data(), width, height, stride);
        shift14Bit(shifted.data(), src.data(), width, height, stride);
        for (int r = 0; r < height; ++r) {
            for (int c = 0; c < width; ++c) {
                const uint16_t s = src[size_t(r) * stride + c];
                const size_t o = size_t(r) * width + c;
                QCOMPARE(int(shr4[o]), (s >> 4) & 0xFF);
                QCOMPARE(int(hi[o]), s >> 8);
                QCOMPARE(int(shifted[o]), s >> 2);
            }
        }
        QCOMPARE(shr4.back(), uint8_t(0x77));
        QCOMPARE(shifted.back(), uint16_t(0x7777));

        const uint16_t edge[2] = {4095, 0xFFFC};
        uint8_t out[2];
        convert16To8Shr4(out, edge, 1, 1, 1);
        QCOMPARE(int(out[0]), 255); // 12-bit full scale
        convert16To8Hi(out, edge + 1, 1, 1, 1);
        QCOMPARE(int(out[0]), 255); // 14-bit full scale
    }

    void displayMinMax()
    {
        const uint8_t bytes[] = {17, 3, 250, 17, 99};
        QCOMPARE(displayMax(bytes, 5), 250.0f);
        QCOMPARE(displayMin(bytes, 5), 3.0f);
        QCOMPARE(displayMax(nullptr, 5), -1.0f);
        QCOMPARE(displayMin(nullptr, 5), -1.0f);
        QCOMPARE(displayMax(bytes, 0), -1.0f);
        QCOMPARE(displayMin(bytes, 0), 1000000.0f);
        const uint8_t flat[] = {42, 42, 42};
        QCOMPARE(displayMax(flat, 3), displayMin(flat, 3));

        // The one-pass range agrees with both.
        std::vector<uint8_t> odd(4099);
        for (size_t i = 0; i < odd.size(); ++i)
            odd[i] = uint8_t(40 + (i * 37) % 151);
        odd[4098] = 7; // in the tail after the vector loop
        const DisplayRange range = ::displayRange(odd.data(), odd.size());
        QCOMPARE(range.min, displayMin(odd.data(), odd.size()));
        QCOMPARE(range.max, displayMax(odd.data(), odd.size()));
        QCOMPARE(range.min, 7.0f);
        QCOMPARE(::displayRange(nullptr, 3).max, -1.0f);
        QCOMPARE(::displayRange(bytes, 0).min, 1000000.0f);
    }

    void stretch_data()
    {
        QTest::addColumn<QVector<int>>("in");
        QTest::addColumn<QVector<int>>("out");
        QTest::newRow("10..30") << QVector<int>{10, 20, 30, 11} << QVector<int>{0, 127, 255, 12};
        QTest::newRow("full range unchanged") << QVector<int>{0, 128, 255} << QVector<int>{0, 128, 255};
        QTest::newRow("flat frame is black") << QVector<int>{42, 42, 42} << QVector<int>{0, 0, 0};
        QTest::newRow("0..3") << QVector<int>{0, 1, 2, 3} << QVector<int>{0, 85, 170, 255};
    }
    void stretch()
    {
        QFETCH(QVector<int>, in);
        QFETCH(QVector<int>, out);
        std::vector<uint8_t> bytes(in.begin(), in.end());
        stretchDisplay(bytes.data(), bytes.size(), int(displayMin(bytes.data(), bytes.size())),
                       int(displayMax(bytes.data(), bytes.size())));
        QCOMPARE(QVector<int>(bytes.begin(), bytes.end()), out);
    }

    void displayMonoOddWidth()
    {
        DisplayBuffers buffers;
        QVERIFY(buffers.allocate(8, 4, false));
        std::vector<uint16_t> samples(5 * 3);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = uint16_t(i << 4);
        FrameRef frame = makeFrame16(5, 3, samples);
        DisplayBuffers::Options options;
        const QImage image = buffers.render(*frame, options);
        QCOMPARE(image.size(), QSize(5, 3));
        QCOMPARE(image.bytesPerLine(), 5);
        QCOMPARE(image.format(), QImage::Format_Indexed8);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                QCOMPARE(image.pixelIndex(x, y), y * 5 + x);
        QCOMPARE(qGray(image.pixel(4, 2)), 14);
    }

    // A monochrome frame is shown by the depth of its data: 14-bit samples by
    // their upper byte, 12-bit ones by bits 4 to 11.
    void displayMonoDepths_data()
    {
        QTest::addColumn<int>("dataDepth");
        QTest::addColumn<QVector<int>>("shown");
        QTest::newRow("14-bit") << 14 << QVector<int>{255, 0x12, 0, 0x80};
        QTest::newRow("12-bit") << 12 << QVector<int>{255, 0x23, 0, 0x00};
    }
    void displayMonoDepths()
    {
        QFETCH(int, dataDepth);
        QFETCH(QVector<int>, shown);
        DisplayBuffers buffers;
        QVERIFY(buffers.allocate(2, 2, false));
        FrameRef frame = makeFrame16(2, 2, {0xFFFC, 0x1234, 0x000F, 0x8000});
        DisplayBuffers::Options options;
        options.depths = {16, dataDepth};
        const QImage image = buffers.render(*frame, options);
        QCOMPARE(image.size(), QSize(2, 2));
        QCOMPARE((QVector<int>{image.pixelIndex(0, 0), image.pixelIndex(1, 0), image.pixelIndex(0, 1),
                               image.pixelIndex(1, 1)}),
                 shown);
    }

    void displayColourPlanes()
    {
        DisplayBuffers buffers;
        QVERIFY(buffers.allocate(4, 2, true));
        std::vector<uint16_t> packed;
        for (size_t i = 0; i < mosaic16.size(); ++i)
            if (i % 5 != 4)
                packed.push_back(mosaic16[i]);
        FrameRef frame = makeFrame16(4, 2, packed);
        QVERIFY(buffers.fillPlanes(*frame, 16, true));
        QCOMPARE(buffers.planeWidth(), 2);
        QCOMPARE(buffers.planeA()[0], uint16_t(4095));
        QCOMPARE(buffers.planeB()[0], uint16_t(65533));

        DisplayBuffers::Options options;
        options.colour = true;
        options.depths = {16, 14};
        options.sChannel = false;
        QImage image = buffers.render(*frame, options);
        QCOMPARE(image.size(), QSize(2, 1));
        QCOMPARE(image.pixelIndex(0, 0), 255);
        QCOMPARE(image.pixelIndex(1, 0), 1);
    }

    void displayNormalisesFlatFrameToBlack()
    {
        DisplayBuffers buffers;
        QVERIFY(buffers.allocate(4, 4, false));
        FrameRef frame = makeFrame8(4, 4, std::vector<uint8_t>(16, 77));
        DisplayBuffers::Options options;
        options.depths = {8, 8};
        options.normalise = true;
        const QImage image = buffers.render(*frame, options);
        QVERIFY(!image.isNull());
        QCOMPARE(image.pixelIndex(3, 3), 0);
    }

    // Frames that do not fit the buffers are dropped and counted.
    void displayDropsMismatchedFrames()
    {
        DisplayBuffers buffers;
        QVERIFY(buffers.allocate(4, 4, false));
        DisplayBuffers::Options options; // 16-bit
        QVERIFY(buffers.render(*makeFrame16(8, 4, std::vector<uint16_t>(32)), options).isNull());
        QVERIFY(buffers.render(*makeFrame8(4, 4, std::vector<uint8_t>(16)), options).isNull());
        auto shortFrame = std::make_shared<Frame>(*makeFrame16(4, 4, std::vector<uint16_t>(16)));
        auto keep = makeFrame16(4, 4, std::vector<uint16_t>(16));
        shortFrame->data = keep->data;
        shortFrame->size = 30;
        QVERIFY(buffers.render(*shortFrame, options).isNull());
        QVERIFY(!buffers.fillPlanes(*keep, 16, false)); // mono buffers have no planes
        QCOMPARE(buffers.droppedFrames(), uint64_t(4));
        QVERIFY(!buffers.render(*keep, options).isNull());

        // A failed sensor read keeps the old buffers.
        QVERIFY(!buffers.allocate(0, 4, false));
        QVERIFY(!buffers.render(*keep, options).isNull());
    }

    void slotQueueRunsFramesOneAfterAnother()
    {
        FrameSlotQueue queue;
        FrameRef a = makeFrame8(1, 1, {1}, 1), b = makeFrame8(1, 1, {2}, 2), c = makeFrame8(1, 1, {3}, 3);
        QVERIFY(queue.offer(a));
        QCOMPARE(queue.beginPass(), size_t(1));
        QCOMPARE(queue.next(), a);
        QVERIFY(!queue.offer(b)); // arrive while a is being handled
        QVERIFY(!queue.offer(c));
        // The pass ends with b and c left for the next one, which takes them in order.
        QVERIFY(queue.busy());
        QVERIFY(queue.endPass());
        QVERIFY(queue.offer(nullptr));
        QCOMPARE(queue.beginPass(), size_t(2));
        QCOMPARE(queue.next(), b);
        QCOMPARE(queue.next(), c);
        QVERIFY(!queue.next());
        QVERIFY(!queue.endPass());
        QVERIFY(!queue.busy());
        QVERIFY(queue.offer(a));
    }
};

QTEST_GUILESS_MAIN(TestPixelConversion)
#include "tst_PixelConversion.moc"
