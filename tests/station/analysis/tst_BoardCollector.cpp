#include "SimulatedCamera.h"
#include "TestFrames.h"
#include "analysis/BoardCollector.h"

#include <QtTest>

#include <atomic>
#include <thread>

// The chessboard collection as the acquisition thread drives it, on the
// simulated camera's chessboard (9 x 6 inner corners).
class TestBoardCollector : public QObject
{
    Q_OBJECT

private slots:
    void collectsTheWantedBoards();
    void searchesNothingUnlessArmed();
    void colourCameraSearchesItsPlane();
    void armedAndReadFromAnotherThread();
};

namespace {

constexpr uint32_t Mono16 = 0x01100007;

FrameRef chessboard16(uint32_t width, uint32_t height)
{
    std::vector<uint16_t> samples(size_t(width) * height);
    SimulatedCamera::fillFrame(reinterpret_cast<uint8_t*>(samples.data()), width, height, Mono16, 1,
                               SimulatedCameraOptions::Pattern::Chessboard);
    return makeFrame16(width, height, samples);
}

DisplayBuffers::Options mono14()
{
    DisplayBuffers::Options options;
    options.depths = {16, 14};
    return options;
}

} // namespace

void TestBoardCollector::collectsTheWantedBoards()
{
    const FrameRef frame = chessboard16(640, 480);
    BoardCollector boards;
    boards.arm(9, 6, 3, mono14());
    QVERIFY(boards.armed());
    QCOMPARE(boards.examine(*frame), 1);
    QCOMPARE(boards.examine(*frame), 2);
    QCOMPARE(boards.examine(*frame), 3);
    QCOMPARE(boards.examine(*frame), 3); // enough: no more are kept
    QCOMPARE(boards.boardsFound(), 3);
    QVERIFY(boards.error().isEmpty());

    const BoardCollector::Views views = boards.views();
    QCOMPARE(views.imagePoints.size(), size_t(3));
    QCOMPARE(views.objectPoints.size(), size_t(3));
    QCOMPARE(views.imagePoints[0].size(), size_t(54));
    QCOMPARE(views.objectPoints[0].size(), size_t(54));
    QCOMPARE(views.imageSize, cv::Size(640, 480));
    // Refined corners lie on the square edges of the pattern: 53-pixel
    // squares from (55, 54), so inner corners sit on multiples of 53 from there.
    for (const cv::Point2f& corner : views.imagePoints[0]) {
        const double dx = std::fmod(corner.x - 55 + 0.5 + 53 * 10, 53.0);
        const double dy = std::fmod(corner.y - 54 + 0.5 + 53 * 10, 53.0);
        QVERIFY2(std::min(dx, 53 - dx) < 1.0 && std::min(dy, 53 - dy) < 1.0,
                 qPrintable(QStringLiteral("%1, %2").arg(corner.x).arg(corner.y)));
    }

    // A new collection forgets the old views; a pattern not on the board finds nothing.
    boards.arm(7, 7, 3, mono14());
    QCOMPARE(boards.boardsFound(), 0);
    QCOMPARE(boards.examine(*frame), 0);
    QVERIFY(boards.views().imagePoints.empty());
}

void TestBoardCollector::searchesNothingUnlessArmed()
{
    const FrameRef frame = chessboard16(640, 480);
    BoardCollector boards;
    QCOMPARE(boards.examine(*frame), 0);
    boards.arm(9, 6, 5, mono14());
    QCOMPARE(boards.examine(*frame), 1);
    boards.disarm();
    QVERIFY(!boards.armed());
    QCOMPARE(boards.examine(*frame), 1);
    QCOMPARE(boards.views().imagePoints.size(), size_t(1)); // kept for the computation
    // A pattern the search cannot take never arms.
    boards.arm(2, 5, 5, mono14());
    QVERIFY(!boards.armed());
    QCOMPARE(boards.examine(*frame), 0);
    // A frame that does not match the depths is not searched.
    boards.arm(9, 6, 5, mono14());
    const FrameRef eightBit = makeFrame8(640, 480, std::vector<uint8_t>(640 * 480, 200));
    QCOMPARE(boards.examine(*eightBit), 0);
}

void TestBoardCollector::colourCameraSearchesItsPlane()
{
    // A 1280 x 960 mosaic whose every 2 x 2 cell repeats one chessboard pixel:
    // either plane is the 640 x 480 board.
    std::vector<uint8_t> board(640 * 480);
    SimulatedCamera::fillFrame(board.data(), 640, 480, 0x01080001, 1, SimulatedCameraOptions::Pattern::Chessboard);
    std::vector<uint8_t> mosaic(1280 * 960);
    for (int y = 0; y < 960; ++y)
        for (int x = 0; x < 1280; ++x)
            mosaic[size_t(y) * 1280 + x] = board[size_t(y / 2) * 640 + x / 2];
    const FrameRef frame = makeFrame8(1280, 960, mosaic);

    DisplayBuffers::Options options;
    options.depths = {8, 8};
    options.colour = true;
    BoardCollector boards;
    boards.arm(9, 6, 1, options);
    QCOMPARE(boards.examine(*frame), 1);
    QCOMPARE(boards.views().imageSize, cv::Size(640, 480)); // the searched size
}

void TestBoardCollector::armedAndReadFromAnotherThread()
{
    // The acquisition thread searches while the GUI thread starts, ends and
    // reads collections: every view it reads is whole.
    const FrameRef frame = chessboard16(320, 240);
    BoardCollector boards;
    std::atomic<bool> done{false};
    std::atomic<int> searches{0};
    std::thread acquisition([&] {
        while (!done) {
            boards.examine(*frame);
            ++searches;
        }
    });
    QElapsedTimer timer;
    timer.start();
    int rounds = 0;
    while (timer.elapsed() < 1500 || searches < 20) {
        boards.arm(9, 6, 4, mono14());
        QThread::msleep(5);
        const BoardCollector::Views views = boards.views();
        QCOMPARE(views.imagePoints.size(), views.objectPoints.size());
        QVERIFY(views.imagePoints.size() <= 4);
        for (const auto& corners : views.imagePoints)
            QCOMPARE(corners.size(), size_t(54));
        if (++rounds % 3 == 0)
            boards.disarm();
        QVERIFY(boards.boardsFound() <= 4);
    }
    done = true;
    acquisition.join();
    QVERIFY(searches > 0);
}

QTEST_APPLESS_MAIN(TestBoardCollector)
#include "tst_BoardCollector.moc"
