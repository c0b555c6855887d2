#include "AcqRig.h"

#include <atomic>

class tst_AcqThread : public QObject
{
    Q_OBJECT

private slots:
    void singleFrameIsThePipelineBuffer();
    void averages_data();
    void averages();
    void loweringTheCountAveragesAtOnce();
    void captureDone_data();
    void captureDone();
    void resetRunRestartsTheCount();
    void aRunStartsItsAverageAfresh();
    void idleThreadReadsTemperatureAndStops();
    void stopWhileStreaming();
};

void tst_AcqThread::singleFrameIsThePipelineBuffer()
{
    Rig rig(smallCamera());
    QVERIFY(rig.open(8));
    auto thread = std::make_unique<Thread>(&rig.device, &rig.pipeline);
    Receiver receiver(thread.get());
    receiver.keepFrames = true;
    thread->start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.frames.size() >= 1, streamWaitMs);
    FrameRef held = receiver.frames.front();
    receiver.keepFrames = false;
    receiver.frames.clear();
    const std::vector<uint8_t> before = bytesOf(*held);
    QCOMPARE(before, expectedImage(*held, held->blockId));

    // Many more frames than the pipeline has buffers pass while it is held.
    QTRY_VERIFY_WITH_TIMEOUT(thread->framesReceived() > 40, streamWaitMs);
    QCOMPARE(bytesOf(*held), before);
    QCOMPARE(held->number, 1ull);
    QCOMPARE(held->bytesPerSample, 2u);

    thread->stop();
    QCoreApplication::sendPostedEvents(); // drop the frames still queued to us
    const int cycle = int(rig.pipeline.GetBufferCount()) * 2 + 4;
    QVERIFY(!retrieveBuffers(rig.pipeline, cycle).count(held->data));
    const uint8_t* data = held->data;
    held.reset(); // back to the pipeline
    QVERIFY2(retrieveBuffers(rig.pipeline, cycle).count(data), "the frame was a copy, not the pipeline's buffer");
}

void tst_AcqThread::averages_data()
{
    QTest::addColumn<uint32_t>("format");
    QTest::addColumn<unsigned>("count");
    QTest::addColumn<double>("frameRate");
    QTest::addColumn<int>("images");
    QTest::newRow("Mono8, 4") << 0x01080001u << 4u << 100.0 << 3;
    QTest::newRow("Mono16, 4") << 0x01100007u << 4u << 100.0 << 3;
    QTest::newRow("Mono16, 100 (the most)") << 0x01100007u << 100u << 50.0 << 2;
}

void tst_AcqThread::averages()
{
    QFETCH(uint32_t, format);
    QFETCH(unsigned, count);
    QFETCH(double, frameRate);
    QFETCH(int, images);
    Rig rig(smallCamera(frameRate, format));
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    thread.setAverageCount(count);
    Receiver receiver(&thread);
    receiver.keepFrames = true;
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= size_t(images), streamWaitMs);
    for (int i = 0; i < images; ++i)
        QCOMPARE(receiver.numbers[size_t(i)], (unsigned long long)(count) * unsigned(i + 1));
    QVERIFY(!receiver.events.join(' ').contains("board")); // only single frames report boards

    // Each image is the truncated mean of the frames that made it.
    for (int i = 0; i < images; ++i) {
        const Frame& average = *receiver.frames[size_t(i)];
        QCOMPARE(average.number, receiver.numbers[size_t(i)]);
        QCOMPARE(bytesOf(average), expectedAverage(average, count));
    }
}

void tst_AcqThread::loweringTheCountAveragesAtOnce()
{
    Rig rig(smallCamera(50.0));
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    thread.setAverageCount(100);
    Receiver receiver(&thread);
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(thread.framesReceived() >= 6, streamWaitMs);
    QVERIFY(receiver.numbers.empty());
    thread.setAverageCount(3); // already more than 3 summed
    // The next frame sees the lower count: it shows the mean of those summed.
    const unsigned long long lowered = thread.framesReceived();
    QTRY_VERIFY_WITH_TIMEOUT(!receiver.numbers.empty(), streamWaitMs);
    QVERIFY2(receiver.numbers.front() <= lowered + 1,
             qPrintable(QStringLiteral("%1 after %2").arg(receiver.numbers.front()).arg(lowered)));
    // Then one every third frame; an average the GUI had no room for is
    // dropped, and the next comes three frames later still.
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= 3, streamWaitMs);
    QCOMPARE((receiver.numbers[2] - receiver.numbers[1]) % 3, 0ull);
}

void tst_AcqThread::captureDone_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("capturing");
    QTest::addColumn<int>("expected");
    QTest::newRow("target 10") << 10 << true << 1;
    QTest::newRow("no target") << -1 << true << 0;
    QTest::newRow("not capturing") << 10 << false << 0;
}

void tst_AcqThread::captureDone()
{
    QFETCH(int, target);
    QFETCH(bool, capturing);
    QFETCH(int, expected);
    Rig rig(smallCamera());
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    Receiver receiver(&thread);
    thread.setTarget(target);
    thread.setCapturing(capturing);
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= 25, streamWaitMs);
    rig.stopAcquisition();
    // Once the stream has gone quiet: a retrieve that times out after the
    // last frame is no capture's end either.
    QVERIFY(receiver.waitForIdleThread());
    QCOMPARE(receiver.events.count("captureDone"), expected);
    if (expected) {
        const int at = receiver.events.indexOf("captureDone");
        QCOMPARE(receiver.events.mid(at - 2, 2), (QStringList{"image 10", "board 0 10"}));
    }
}

void tst_AcqThread::resetRunRestartsTheCount()
{
    Rig rig(smallCamera());
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    Receiver receiver(&thread);
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= 10, streamWaitMs);
    rig.stopAcquisition();
    // The last frames of the old run are in before it starts again.
    QVERIFY(receiver.waitForIdleThread());
    // The rate the thread tells as it hands over the new run's first frame.
    std::atomic<double> firstRate{-1.0};
    QObject context;
    connect(
        &thread, &Thread::imageReady, &context,
        [&](unsigned long long number, FrameRef) {
            if (number == 1 && firstRate < 0)
                firstRate = thread.frameRate();
        },
        Qt::DirectConnection);
    QElapsedTimer clock;
    clock.start();
    thread.resetRun();
    QCOMPARE(thread.framesReceived(), 0ull);
    receiver.numbers.clear();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= 3, streamWaitMs);
    QCOMPARE(receiver.numbers[0], 1ull);
    QCOMPARE(receiver.numbers[2], 3ull);
    // The rate is measured between frames of the new run (or from its
    // start), none of them further apart than the run is long.
    const double bound = 1000.0 / double(clock.elapsed() + 1);
    const double rate = thread.frameRate();
    QVERIFY2(rate >= bound, qPrintable(QString::number(rate)));
    QVERIFY2(firstRate >= bound, qPrintable(QStringLiteral("first frame: %1").arg(firstRate)));
}

// A new run starts its average afresh: frames summed before it, of a count
// not reached, are not mixed into its first image.
void tst_AcqThread::aRunStartsItsAverageAfresh()
{
    Rig rig(smallCamera(50.0));
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    thread.setAverageCount(100);
    Receiver receiver(&thread);
    receiver.keepFrames = true;
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(thread.framesReceived() >= 5, streamWaitMs);
    rig.stopAcquisition();
    QVERIFY(receiver.waitForIdleThread());
    QVERIFY(receiver.numbers.empty()); // summed, none shown
    thread.setAverageCount(4);
    thread.resetRun();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(!receiver.frames.empty(), streamWaitMs);
    QCOMPARE(receiver.numbers.front(), 4ull);
    QCOMPARE(bytesOf(*receiver.frames.front()), expectedAverage(*receiver.frames.front(), 4));
}

void tst_AcqThread::idleThreadReadsTemperatureAndStops()
{
    Rig rig(smallCamera());
    QVERIFY(rig.open());
    auto thread = std::make_unique<Thread>(&rig.device, &rig.pipeline);
    QSignalSpy temperatures(thread.get(), &Thread::camTempStatus);
    thread->start();
    // The camera is not acquiring: each empty wait reads the temperature,
    // and counts no error.
    QTRY_VERIFY_WITH_TIMEOUT(!temperatures.isEmpty(), idleWaitMs);
    QCOMPARE(temperatures.first().first().toInt(), 40);
    QCOMPARE(thread->temperature(), 40);
    QCOMPARE(thread->errorCount(), 0ull);
    QVERIFY(thread->isRunning());
    thread.reset(); // stops it: the retrieve under way is woken
}

void tst_AcqThread::stopWhileStreaming()
{
    Rig rig(smallCamera());
    QVERIFY(rig.open());
    Thread thread(&rig.device, &rig.pipeline);
    Receiver receiver(&thread);
    thread.start();
    QVERIFY(rig.startAcquisition());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.numbers.size() >= 5, streamWaitMs);
    thread.stop();
    QVERIFY(thread.isFinished());
    const unsigned long long last = thread.framesReceived();
    QTest::qWait(200);
    QCOMPARE(thread.framesReceived(), last);
}

QTEST_GUILESS_MAIN(tst_AcqThread)
#include "tst_acqthread.moc"
