// The simulated camera's images, its command line and its packet-loss choice:
// pure functions, no network.

#include "PacketDropper.h"
#include "SimCamArgs.h"
#include "SimulatedCamera.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>

#include <QtTest>

#include <vector>

namespace {

constexpr uint32_t Mono8 = 0x01080001;
constexpr uint32_t Mono12 = 0x01100005;
constexpr uint32_t Mono16 = 0x01100007;
constexpr uint32_t BayerGR8 = 0x01080008;
constexpr uint32_t BayerGR12 = 0x01100010;

std::vector<uint32_t> samples(uint32_t width, uint32_t height, uint32_t format, uint64_t frameId,
                              SimulatedCameraOptions::Pattern pattern = SimulatedCameraOptions::Pattern::Gradient)
{
    std::vector<uint8_t> bytes(SimulatedCamera::frameBytes(width, height, format), 0xEE);
    SimulatedCamera::fillFrame(bytes.data(), width, height, format, frameId, pattern);
    const bool wide = SimulatedCamera::frameBytes(1, 1, format) == 2;
    std::vector<uint32_t> out(size_t(width) * height);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = wide ? uint32_t(bytes[2 * i] | (bytes[2 * i + 1] << 8)) : bytes[i];
    return out;
}

} // namespace

class TestSimPattern : public QObject
{
    Q_OBJECT

private slots:
    void depth_data()
    {
        QTest::addColumn<uint>("format");
        QTest::addColumn<uint>("limit");    // every sample below
        QTest::addColumn<uint>("lowZeros"); // bits that are always 0
        QTest::addColumn<uint>("bytes");
        QTest::newRow("Mono8") << uint(Mono8) << 256u << 0u << 1u;
        QTest::newRow("BayerGR8") << uint(BayerGR8) << 256u << 0u << 1u;
        QTest::newRow("Mono12") << uint(Mono12) << 4096u << 0u << 2u;
        QTest::newRow("BayerGR12") << uint(BayerGR12) << 4096u << 0u << 2u;
        // 14 significant bits in the upper part of the word: 16383 is 0xFFFC.
        QTest::newRow("Mono16") << uint(Mono16) << 65536u << 2u << 2u;
    }
    void depth()
    {
        QFETCH(uint, format);
        QFETCH(uint, limit);
        QFETCH(uint, lowZeros);
        QFETCH(uint, bytes);
        QCOMPARE(SimulatedCamera::frameBytes(64, 48, format), size_t(64 * 48 * bytes));
        uint32_t maxSeen = 0;
        bool lowBitsUsed = false;
        for (uint64_t frameId : {1ull, 2ull, 1000ull, 65535ull}) {
            for (uint32_t s : samples(640, 480, format, frameId)) {
                QVERIFY2(s < limit, qPrintable(QString::number(s)));
                QCOMPARE(s & ((1u << lowZeros) - 1), 0u);
                maxSeen = std::max(maxSeen, s);
                lowBitsUsed = lowBitsUsed || ((s >> lowZeros) & 1u);
            }
        }
        // The pattern reaches the top of the range and uses the lowest significant bit.
        QVERIFY(maxSeen >= limit - (limit >> 4));
        QVERIFY(lowBitsUsed);
    }

    void gradientIsDeterministicAndMoves()
    {
        const auto a = samples(320, 240, Mono12, 7);
        QCOMPARE(samples(320, 240, Mono12, 7), a);
        QVERIFY(samples(320, 240, Mono12, 8) != a);
        // Rows follow each other without gaps: pixel (x, y) depends on x + y.
        QVERIFY(a[1] != a[0]);
        QVERIFY(a[320] != a[0]);
    }

    void fillFrameWritesExactlyTheFrame()
    {
        std::vector<uint8_t> bytes(SimulatedCamera::frameBytes(16, 4, Mono16) + 8, 0xAB);
        SimulatedCamera::fillFrame(bytes.data(), 16, 4, Mono16, 3, SimulatedCameraOptions::Pattern::Gradient);
        for (size_t i = bytes.size() - 8; i < bytes.size(); ++i)
            QCOMPARE(bytes[i], uint8_t(0xAB));
        // Unknown depths write nothing.
        QCOMPARE(SimulatedCamera::frameBytes(16, 4, 0x02180014), size_t(0));
    }

    void chessboardIsFound_data()
    {
        QTest::addColumn<uint>("format");
        QTest::addColumn<uint>("width");
        QTest::addColumn<uint>("height");
        QTest::newRow("Mono8 640x480") << uint(Mono8) << 640u << 480u;
        QTest::newRow("Mono16 1608x1208") << uint(Mono16) << 1608u << 1208u;
        QTest::newRow("Mono12 320x240") << uint(Mono12) << 320u << 240u;
    }
    void chessboardIsFound()
    {
        QFETCH(uint, format);
        QFETCH(uint, width);
        QFETCH(uint, height);
        const auto s = samples(width, height, format, 5, SimulatedCameraOptions::Pattern::Chessboard);
        const int shift = format == Mono8 ? 0 : (format == Mono16 ? 8 : 4);
        cv::Mat gray(int(height), int(width), CV_8UC1);
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                gray.at<uint8_t>(int(y), int(x)) = uint8_t(s[y * width + x] >> shift);
        std::vector<cv::Point2f> corners;
        const cv::Size board(SimulatedCamera::ChessboardCornersX, SimulatedCamera::ChessboardCornersY);
        QVERIFY(cv::findChessboardCorners(gray, board, corners,
                                          cv::CALIB_CB_ADAPTIVE_THRESH | cv::CALIB_CB_FAST_CHECK));
        QCOMPARE(int(corners.size()), 9 * 6);
        // The board does not move with the frame id.
        QCOMPARE(samples(width, height, format, 6, SimulatedCameraOptions::Pattern::Chessboard), s);
    }

    void dropperKeepsItsFraction_data()
    {
        QTest::addColumn<double>("fraction");
        QTest::newRow("none") << 0.0;
        QTest::newRow("5%") << 0.05;
        QTest::newRow("30%") << 0.3;
        QTest::newRow("all") << 1.0;
    }
    void dropperKeepsItsFraction()
    {
        QFETCH(double, fraction);
        PacketDropper dropper(fraction, 42);
        PacketDropper again(fraction, 42);
        int dropped = 0;
        for (int i = 0; i < 100000; ++i) {
            const bool drop = dropper.dropNext();
            QCOMPARE(again.dropNext(), drop);
            dropped += drop ? 1 : 0;
        }
        QVERIFY(std::abs(dropped / 100000.0 - fraction) < 0.01);
    }

    void dropperSeedsDiffer()
    {
        PacketDropper a(0.5, 1);
        PacketDropper b(0.5, 2);
        int differences = 0;
        for (int i = 0; i < 1000; ++i)
            differences += a.dropNext() != b.dropNext() ? 1 : 0;
        QVERIFY(differences > 100);
        PacketDropper clamped(7.0, 0); // out-of-range fraction, zero seed
        QCOMPARE(clamped.fraction(), 1.0);
        QVERIFY(clamped.dropNext());
    }

    void arguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("result"); // simcam::ArgsResult
        QTest::addColumn<QString>("address");
        QTest::addColumn<uint>("format");
        QTest::addColumn<int>("ccdType");
        QTest::addColumn<QString>("model");
        const int run = int(simcam::ArgsResult::Run);
        const int error = int(simcam::ArgsResult::Error);
        QTest::newRow("defaults") << QStringList() << run << "127.0.0.1" << uint(Mono16) << 0 << "GEV_K3370M";
        QTest::newRow("help") << QStringList{"--help"} << int(simcam::ArgsResult::Help) << "127.0.0.1"
                              << uint(Mono16) << 0 << "GEV_K3370M";
        QTest::newRow("address") << QStringList{"--address", "127.3.4.5"} << run << "127.3.4.5" << uint(Mono16)
                                 << 0 << "GEV_K3370M";
        QTest::newRow("foreign address") << QStringList{"--address", "10.1.2.3"} << error << "" << 0u << 0 << "";
        QTest::newRow("colour") << QStringList{"--colour"} << run << "127.0.0.1" << uint(BayerGR12) << 12
                                << "GEV_K3370C";
        QTest::newRow("colour 8-bit") << QStringList{"--pixel-format", "BayerGR8", "--colour"} << run
                                      << "127.0.0.1" << uint(BayerGR8) << 12 << "GEV_K3370C";
        QTest::newRow("format by number") << QStringList{"--pixel-format", "0x01100005"} << run << "127.0.0.1"
                                          << uint(Mono12) << 0 << "GEV_K3370M";
        QTest::newRow("unknown format") << QStringList{"--pixel-format", "RGB8"} << error << "" << 0u << 0 << "";
        QTest::newRow("bad size") << QStringList{"--size", "640x"} << error << "" << 0u << 0 << "";
        QTest::newRow("size beyond sensor") << QStringList{"--size", "2000x100"} << error << "" << 0u << 0 << "";
        QTest::newRow("frame rate above 5000") << QStringList{"--frame-rate", "5001"} << error << "" << 0u << 0 << "";
        QTest::newRow("negative link rate") << QStringList{"--link-rate", "-1"} << error << "" << 0u << 0 << "";
        QTest::newRow("loss above 1") << QStringList{"--packet-loss", "1.5"} << error << "" << 0u << 0 << "";
        QTest::newRow("long user name") << QStringList{"--user-name", "seventeen-chars!!"} << error << "" << 0u
                                        << 0 << "";
        QTest::newRow("bad mac") << QStringList{"--mac", "02:4b:53:00:00"} << error << "" << 0u << 0 << "";
        QTest::newRow("missing value") << QStringList{"--serial"} << error << "" << 0u << 0 << "";
        QTest::newRow("unknown option") << QStringList{"--fast", "1"} << error << "" << 0u << 0 << "";
        QTest::newRow("unknown feature to leave out") << QStringList{"--without", "Zoom"} << error << "" << 0u << 0
                                                      << "";
    }
    void arguments()
    {
        QFETCH(QStringList, args);
        QFETCH(int, result);
        QFETCH(QString, address);
        QFETCH(uint, format);
        QFETCH(int, ccdType);
        QFETCH(QString, model);
        std::vector<std::string> list;
        for (const QString& arg : args)
            list.push_back(arg.toStdString());
        SimulatedCameraOptions options;
        std::string error;
        QCOMPARE(int(simcam::parseArgs(list, options, error)), result);
        if (result == int(simcam::ArgsResult::Error)) {
            QVERIFY(!error.empty());
            return;
        }
        QCOMPARE(QString::fromStdString(options.address), address);
        QCOMPARE(options.pixelFormat, uint32_t(format));
        QCOMPARE(options.ccdType, ccdType);
        QCOMPARE(QString::fromStdString(options.model), model);
    }

    void fullOptions()
    {
        SimulatedCameraOptions options;
        std::string error;
        QCOMPARE(simcam::parseArgs({"--size", "320x240", "--frame-rate", "5000", "--link-rate", "0", "--serial", "K0042", "--mac",
                                    "02:AA:bb:00:00:09", "--user-name", "Lab cam", "--chessboard",
                                    "--packet-loss", "0.1", "--seed", "7", "--sensor", "800x600", "--without",
                                    "ProgFrameTimeEnable", "--refuse", "ExposureTimeRaw", "--refuse", "GainRaw"},
                                   options, error),
                 simcam::ArgsResult::Run);
        QCOMPARE(options.width, 320u);
        QCOMPARE(options.height, 240u);
        QCOMPARE(options.frameRate, 5000.0);
        QCOMPARE(options.linkRateMbps, 0.0);
        QCOMPARE(options.serial, std::string("K0042"));
        QCOMPARE(options.mac, std::string("02:AA:bb:00:00:09"));
        QCOMPARE(options.userName, std::string("Lab cam"));
        QCOMPARE(options.pattern, SimulatedCameraOptions::Pattern::Chessboard);
        QCOMPARE(options.packetLoss, 0.1);
        QCOMPARE(options.packetLossSeed, 7u);
        QCOMPARE(options.sensorWidth, 800u);
        QCOMPARE(options.missingFeatures, std::vector<std::string>{"ProgFrameTimeEnable"});
        QCOMPARE(options.refusedFeatures, (std::vector<std::string>{"ExposureTimeRaw", "GainRaw"}));
        QCOMPARE(simcam::readyLine(options).rfind("lumivar-simcam: listening on 127.0.0.1 ", 0), size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestSimPattern)
#include "tst_simpattern.moc"
