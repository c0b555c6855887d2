#include "CaptureListLines.h"
#include "TestFrames.h"
#include "capture/CaptureQueue.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

// The capture's writer thread: files and list lines in the order the frames
// came, however slow the disk; a run ends only once its files are written;
// a full queue and a failed write lose frames, and say so.
class TestCaptureQueue : public QObject
{
    Q_OBJECT

private:
    // A disk that takes its time, and fails at one frame when asked to.
    class SlowWriter : public CaptureWriter
    {
    public:
        explicit SlowWriter(unsigned long ms, unsigned long long failAt = 0) : m_ms(ms), m_failAt(failAt) {}
        Result write(const Frame& frame, int gate) override
        {
            QThread::msleep(m_ms);
            if (frame.number == m_failAt) {
                Result failed;
                failed.ok = false;
                failed.failure = {WriteFailure::Image, QStringLiteral("frame %1").arg(frame.number), ENOSPC};
                return failed;
            }
            return CaptureWriter::write(frame, gate);
        }

    private:
        const unsigned long m_ms;
        const unsigned long long m_failAt;
    };

    // A disk that writes nothing until the test lets it go.
    class HeldWriter : public CaptureWriter
    {
    public:
        Result write(const Frame& frame, int gate) override
        {
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_released.wait(lock, [this] { return m_free; });
            }
            return CaptureWriter::write(frame, gate);
        }
        void release()
        {
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_free = true;
            }
            m_released.notify_all();
        }

    private:
        std::mutex m_mutex;
        std::condition_variable m_released;
        bool m_free = false;
    };

    static CaptureWriter::Run run(const QString& folder, const QString& prefix = QStringLiteral("run"))
    {
        CaptureWriter::Run r;
        r.names = {folder, prefix, QString()};
        r.format = {16, 12, false};
        return r;
    }

    // A frame that counts its release (the pipeline buffer going back).
    static FrameRef frame(unsigned long long number, std::atomic<int>& released)
    {
        const FrameRef base = makeFrame16(2, 1, {uint16_t(number), 7}, number);
        return FrameRef(new Frame(*base), [base, &released](const Frame* f) {
            ++released;
            delete f;
        });
    }

    static QByteArray readAll(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // What the writer thread reports, recorded as it reports it, under a
    // lock of our own: a queued delivery hands the values over inside Qt,
    // where ThreadSanitizer cannot see that it is ordered.
    class Reports
    {
    public:
        // `atEnd` runs on the writer thread as a run ends, before it is recorded.
        explicit Reports(CaptureQueue& queue, std::function<void()> atEnd = {}) : m_atEnd(std::move(atEnd))
        {
            m_runEnded = connect(
                &queue, &CaptureQueue::runEnded, &queue,
                [this](CaptureQueue::Summary s) {
                    const std::lock_guard<std::mutex> lock(m_mutex);
                    if (m_atEnd)
                        m_atEnd();
                    m_ended << s;
                },
                Qt::DirectConnection);
            m_writeFailed = connect(
                &queue, &CaptureQueue::writeFailed, &queue,
                [this](int run, WriteFailure f) {
                    const std::lock_guard<std::mutex> lock(m_mutex);
                    m_failed << qMakePair(run, f);
                },
                Qt::DirectConnection);
        }
        // The tests see their runs end before it goes.
        ~Reports()
        {
            disconnect(m_runEnded);
            disconnect(m_writeFailed);
        }
        QList<CaptureQueue::Summary> ended() const
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            return m_ended;
        }
        QList<QPair<int, WriteFailure>> failed() const
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            return m_failed;
        }

    private:
        mutable std::mutex m_mutex;
        std::function<void()> m_atEnd;
        QMetaObject::Connection m_runEnded;
        QMetaObject::Connection m_writeFailed;
        QList<CaptureQueue::Summary> m_ended;
        QList<QPair<int, WriteFailure>> m_failed;
    };

private slots:
    // The files and list lines follow the frames in order, and the run ends
    // only once the last one is on disk (and every frame let go).
    void orderedUnderASlowDiskAndEndsDrained()
    {
        QTemporaryDir dir;
        std::atomic<int> released{0};
        CaptureQueue queue(32, std::make_unique<SlowWriter>(10));
        QStringList filesAtEnd;
        Reports reports(queue, [&] { filesAtEnd = QDir(dir.path()).entryList({"*.tif"}, QDir::Files, QDir::Name); });
        const int number = queue.beginRun(run(dir.path()));
        for (unsigned long long n = 1; n <= 20; ++n)
            QVERIFY(queue.offer(frame(n, released), 1));
        queue.endRun();
        QVERIFY(!queue.offer(frame(21, released), 1)); // the run is closed
        QTRY_COMPARE_WITH_TIMEOUT(reports.ended().size(), 1, 10000);
        const CaptureQueue::Summary summary = reports.ended().first();
        QCOMPARE(summary.run, number);
        QCOMPARE(summary.stored, 20ull);
        QCOMPARE(summary.lost, 0ull);
        QVERIFY(!summary.failed);
        QCOMPARE(filesAtEnd.size(), 20);
        QCOMPARE(readAll(dir.filePath("run.lst")), listOf("run", 1, 20));
        QCOMPARE(released.load(), 21);

        // Closing the window: what was handed over is still written.
        {
            CaptureQueue closing(32, std::make_unique<SlowWriter>(10));
            closing.beginRun(run(dir.path(), "closing"));
            for (unsigned long long n = 1; n <= 10; ++n)
                closing.offer(frame(n, released), 1);
        }
        QCOMPARE(readAll(dir.filePath("closing.lst")), listOf("closing", 1, 10));
    }

    // A disk slower than the camera: what the queue cannot hold is lost, and
    // counted; the log hears of the first lost frame and of the end.
    void fullQueueLosesFramesAndCountsThem()
    {
        QTemporaryDir dir;
        std::atomic<int> released{0};
        auto disk = std::make_unique<HeldWriter>();
        HeldWriter* held = disk.get();
        CaptureQueue queue(4, std::move(disk));
        // The queue's end waits for the writer, whichever way the test ends.
        const auto writeOn = qScopeGuard([held] { held->release(); });
        Reports reports(queue);
        queue.beginRun(run(dir.path()));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("writer queue full, frame 5 is not stored: the first;"));
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("writer queue full, frames not stored: over after 6 times"));
        int taken = 0;
        for (unsigned long long n = 1; n <= 10; ++n)
            taken += queue.offer(frame(n, released), 1) ? 1 : 0;
        QCOMPARE(taken, 4); // the frame being written holds its place
        QCOMPARE(queue.lostFrames(), 6ull);
        held->release();
        // Once the disk has caught up (every frame let go: 4 written, 6
        // turned away), the queue takes as many frames again.
        QTRY_COMPARE_WITH_TIMEOUT(released.load(), 10, 10000);
        for (unsigned long long n = 11; n <= 14; ++n)
            QVERIFY2(queue.offer(frame(n, released), 1), qPrintable(QString::number(n)));
        QCOMPARE(queue.lostFrames(), 6ull);
        queue.endRun();
        QTRY_COMPARE_WITH_TIMEOUT(reports.ended().size(), 1, 10000);
        const CaptureQueue::Summary summary = reports.ended().first();
        QCOMPARE(summary.stored, 8ull);
        QCOMPARE(summary.lost, 6ull);
        QCOMPARE(readAll(dir.filePath("run.lst")), listOf("run", 1, 4) + listOf("run", 11, 14));
    }

    // The first failure is reported once and ends the run's writing; a new
    // run writes again.
    void firstFailureEndsTheRun()
    {
        QTemporaryDir dir;
        std::atomic<int> released{0};
        CaptureQueue queue(32, std::make_unique<SlowWriter>(5, 3));
        Reports reports(queue);
        const int first = queue.beginRun(run(dir.path(), "a"));
        for (unsigned long long n = 1; n <= 6; ++n)
            queue.offer(frame(n, released), 1);
        QTRY_COMPARE_WITH_TIMEOUT(reports.failed().size(), 1, 10000);
        QVERIFY(!queue.offer(frame(7, released), 1)); // turned away once the failure is known
        // What the window shows as lost: 3 to 6 not written, 7 turned away.
        QTRY_COMPARE_WITH_TIMEOUT(queue.lostFrames(), 5ull, 10000);
        const int second = queue.beginRun(run(dir.path(), "b")); // ends "a"
        queue.offer(frame(1, released), 1);
        queue.endRun();
        QTRY_COMPARE_WITH_TIMEOUT(reports.ended().size(), 2, 10000);

        QCOMPARE(reports.failed().size(), 1);
        QCOMPARE(reports.failed().first().first, first);
        const WriteFailure failure = reports.failed().first().second;
        QCOMPARE(failure.path, QString("frame 3"));
        QCOMPARE(failure.error, ENOSPC);
        const CaptureQueue::Summary a = reports.ended().at(0);
        QCOMPARE(a.run, first);
        QVERIFY(a.failed);
        QCOMPARE(a.stored, 2ull);
        QCOMPARE(a.lost, 5ull); // 3 to 6 written no more, 7 turned away
        QCOMPARE(readAll(dir.filePath("a.lst")), listOf("a", 1, 2));
        const CaptureQueue::Summary b = reports.ended().at(1);
        QCOMPARE(b.run, second);
        QVERIFY(!b.failed);
        QCOMPARE(b.lost, 0ull);
        QCOMPARE(queue.lostFrames(), 0ull); // "a"'s losses are not "b"'s
        QCOMPARE(readAll(dir.filePath("b.lst")), listOf("b", 1, 1));
    }
};

QTEST_GUILESS_MAIN(TestCaptureQueue)
#include "tst_CaptureQueue.moc"
