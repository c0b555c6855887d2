#include "SimulatedCamera.h"
#include "TestFrames.h"
#include "analysis/BoardCollector.h"

#include <QScopeGuard>
#include <QtTest>

#include <opencv2/core/utility.hpp>

#include <atomic>
#include <thread>

// The chessboard collection as the acquisition thread drives it, on the
// simulated camera's chessboard (9 x 6 inner corners).
class TestBoardCollector : public QObject
{
    Q_OBJECT

private slots:
    // OpenCV's own worker threads are not instrumented for ThreadSanitizer:
    // its functions run on the calling thread here.
    void initTestCase() { cv::setNumThreads(0); }
    void collectsTheWantedBoards();
    void colourCameraSearchesItsPlane();
    void searchFollowsTheFrameSize();
    void armedAndReadFromAnotherThread();
    void searchOfAnEndedCollectionIsNotKept();
};

namespace {

FrameRef chessboard16(uint32_t width, uint32_t height)
{
    std::vector<uint16_t> samples(size_t(width) * height);
    SimulatedCamera::fillFrame(reinterpret_cast<uint8_t*>(samples.data()), width, height, 0x01100007, 1,
                               SimulatedCameraOptions::Pattern::Chessboard);
    return makeFrame16(width, height, samples);
}

// Waits, without an event loop, until `done` holds (false after 30 s).
template <typename Condition>
bool waitUntil(Condition done)
{
    QDeadlineTimer deadline(30000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(1);
    }
    return true;
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
    QCOMPARE(boards.examine(*frame), 0); // not armed
    boards.arm(9, 6, 3, mono14());
    QCOMPARE(boards.examine(*frame), 1);
    QCOMPARE(boards.examine(*frame), 2);
    QCOMPARE(boards.examine(*frame), 3);
    QCOMPARE(boards.examine(*frame), 3); // enough: no more are kept
    boards.disarm();
    const BoardCollector::Views views = boards.views(); // kept for the computation
    QCOMPARE(views.imagePoints.size(), size_t(3));
    QCOMPARE(views.objectPoints.size(), size_t(3));
    QCOMPARE(views.imagePoints[0].size(), size_t(54));
    QCOMPARE(views.imageSize, cv::Size(640, 480));
    // The first inner corner, where the 53-pixel squares from (55, 54) meet.
    QVERIFY(cv::norm(views.imagePoints[0][0] - cv::Point2f(107.5, 106.5)) < 0.5);

    // A new collection forgets the old views; a pattern not on the board
    // finds nothing, nor does one the search cannot take.
    boards.arm(7, 7, 3, mono14());
    QCOMPARE(boards.examine(*frame), 0);
    QVERIFY(boards.views().imagePoints.empty());
    boards.arm(2, 5, 3, mono14());
    QVERIFY(!boards.armed());
}

void TestBoardCollector::colourCameraSearchesItsPlane()
{
    // A 1280 x 960 mosaic whose every 2 x 2 cell repeats one pixel of the
    // board: the plane searched is the 640 x 480 board.
    std::vector<uint8_t> board(640 * 480);
    SimulatedCamera::fillFrame(board.data(), 640, 480, 0x01080001, 1, SimulatedCameraOptions::Pattern::Chessboard);
    std::vector<uint8_t> mosaic(1280 * 960);
    for (size_t i = 0; i < mosaic.size(); ++i)
        mosaic[i] = board[(i / 1280 / 2) * 640 + (i % 1280) / 2];
    DisplayBuffers::Options options;
    options.depths = {8, 8};
    options.colour = true;
    BoardCollector boards;
    boards.arm(9, 6, 1, options);
    QCOMPARE(boards.examine(*makeFrame8(1280, 960, mosaic)), 1);
    QCOMPARE(boards.views().imageSize, cv::Size(640, 480));
}

void TestBoardCollector::searchFollowsTheFrameSize()
{
    // The searched image is sized per geometry: a frame wider or taller than
    // the last is searched whole, not refused for want of room.
    BoardCollector boards;
    boards.arm(9, 6, 3, mono14());
    QCOMPARE(boards.examine(*chessboard16(320, 240)), 1);
    QCOMPARE(boards.examine(*chessboard16(640, 240)), 2);
    QCOMPARE(boards.views().imageSize, cv::Size(640, 240));
    QCOMPARE(boards.examine(*chessboard16(640, 480)), 3);
    QCOMPARE(boards.views().imageSize, cv::Size(640, 480));
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
    for (int round = 1; timer.elapsed() < 1500 || searches < 20; ++round) {
        boards.arm(9, 6, 4, mono14());
        QThread::msleep(5);
        const BoardCollector::Views views = boards.views();
        QCOMPARE(views.imagePoints.size(), views.objectPoints.size());
        QVERIFY(views.imagePoints.size() <= 4);
        for (const auto& corners : views.imagePoints)
            QCOMPARE(corners.size(), size_t(54));
        if (round % 3 == 0)
            boards.disarm();
    }
    done = true;
    acquisition.join();
}

void TestBoardCollector::searchOfAnEndedCollectionIsNotKept()
{
    // The acquisition thread is nearly always inside a search when the GUI
    // thread ends a collection, by disarming it or by arming another whose
    // pattern (7 x 7) is not on the board. The search it then finishes
    // belongs to the ended collection: once it is over, nothing was added.
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
    const auto finish = qScopeGuard([&] {
        done = true;
        acquisition.join();
    });
    for (int round = 0; round < 40; ++round) {
        boards.arm(9, 6, 1000, mono14());
        QVERIFY(waitUntil([&] { return boards.boardsFound() > 0; }));
        const bool disarm = round % 2 == 0;
        if (disarm)
            boards.disarm();
        else
            boards.arm(7, 7, 1000, mono14());
        const int found = disarm ? boards.boardsFound() : 0;
        // The search under way has ended once the loop went round twice.
        const int after = searches;
        QVERIFY(waitUntil([&] { return searches >= after + 2; }));
        QCOMPARE(boards.boardsFound(), found);
    }
}

QTEST_APPLESS_MAIN(TestBoardCollector)
#include "tst_BoardCollector.moc"
