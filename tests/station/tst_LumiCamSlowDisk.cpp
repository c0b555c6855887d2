#include "CaptureListLines.h"
#include "Lumi_cam.h"
#include "ScriptedPrompt.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
#include "camera/Thread.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

// Captures whose disk holds the writer thread while the camera goes on: the
// window keeps every frame the camera pipeline can hold, and a capture is
// reported done only once its files are written.
class LumiCamSlowDiskTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void diskHeldForAPipelineOfFrames();
    void notDoneBeforeTheWriterHasEnded();
};

namespace {

using WindowDriver::PatienceMs;

// A list file on a disk that holds the writer: a named pipe in its place.
// The writer opens its list for each image it lists, and that open waits
// until the test reads; what is listed is read from the pipe.
class HeldList
{
public:
    explicit HeldList(const QString& path) : m_path(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
    }
    HeldList(const HeldList&) = delete;
    HeldList& operator=(const HeldList&) = delete;
    // Whatever way the test ends, a writer still held goes on (its line
    // may meet a pipe nobody reads), and opens after it find a plain file.
    ~HeldList()
    {
        if (m_reader < 0)
            m_reader = ::open(m_path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        ::unlink(m_path.constData());
        if (m_reader >= 0)
            ::close(m_reader);
    }
    bool made() const { return m_made; }

    // Lets the writer go on and reads until `lines` lines have come.
    QByteArray read(int lines)
    {
        if (m_reader < 0)
            m_reader = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        const bool all = QTest::qWaitFor(
            [&] {
                char buffer[4096];
                ssize_t n;
                while ((n = ::read(m_reader, buffer, sizeof buffer)) > 0)
                    m_listed.append(buffer, int(n));
                return m_listed.count('\n') >= lines;
            },
            PatienceMs);
        if (!all)
            qWarning() << "only" << m_listed.count('\n') << "lines were listed, not" << lines;
        return m_listed;
    }

    // The writer no longer lists here.
    void close()
    {
        ::close(m_reader);
        m_reader = -1;
        ::unlink(m_path.constData());
    }

private:
    const QByteArray m_path;
    bool m_made = false;
    int m_reader = -1;
    QByteArray m_listed;
};

} // namespace

void LumiCamSlowDiskTest::initTestCase()
{
    // A writer let go when a test ends early may list into a pipe nobody reads.
    std::signal(SIGPIPE, SIG_IGN);
}

// The disk holds the first image's list line for the whole capture. The
// writer queue keeps as many frames as the camera pipeline has buffers (each
// queued frame holds one), so a capture of that many frames loses none: once
// the disk goes on, every frame is written and listed, in order.
void LumiCamSlowDiskTest::diskHeldForAPipelineOfFrames()
{
    constexpr int frames = 64; // the window's stream buffers
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(WindowDriver::writeRunSettings(folder.path(), frames, QStringLiteral("run")));
    WindowDriver::Station station;
    QVERIFY2(station.connect(), "the camera is not listed");
    HeldList list(folder.filePath(QStringLiteral("run.lst")));
    QVERIFY(list.made());

    station.action("actionCapture")->setChecked(true);
    // Every frame has come and the capture has ended, the first image still
    // unlisted.
    QTRY_VERIFY_WITH_TIMEOUT(!station.window.captureWriter().runOpen(), PatienceMs);
    QVERIFY(station.window.acquisitionThread()->framesReceived() >= quint64(frames));
    QCOMPARE(station.window.captureWriter().lostFrames(), 0ull);
    QVERIFY(!station.window.stationState().captureDone);

    QCOMPARE(list.read(frames), listOf(QStringLiteral("run"), 1, frames));
    list.close();
    QTRY_VERIFY_WITH_TIMEOUT(station.window.stationState().captureDone, PatienceMs);
    QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("run_*.tif")}, QDir::Files).size(), frames);
    QCOMPARE(station.window.captureWriter().lostFrames(), 0ull);
    QVERIFY(station.prompt.shown.isEmpty());
}

// The first image waits for the disk while the rest of the capture is
// queued behind it, and the second cannot be written. The capture reached
// its target, but it is not done: the writer's end, which comes after every
// frame handed to it, says so.
void LumiCamSlowDiskTest::notDoneBeforeTheWriterHasEnded()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(WindowDriver::writeRunSettings(folder.path(), 3, QStringLiteral("run")));
    const QDir dir(folder.path());
    QVERIFY(dir.mkdir(QStringLiteral("run_000002.tif"))); // a folder: the file cannot be made
    WindowDriver::Station station;
    QVERIFY2(station.connect(), "the camera is not listed");
    HeldList list(folder.filePath(QStringLiteral("run.lst")));
    QVERIFY(list.made());

    station.action("actionCapture")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(!station.window.captureWriter().runOpen(), PatienceMs);
    QVERIFY(station.window.stationState().capturing); // until the writer has ended
    QCOMPARE(list.read(1), listOf(QStringLiteral("run"), 1, 1));
    list.close();

    QTRY_VERIFY_WITH_TIMEOUT(!station.window.stationState().capturing, PatienceMs);
    QVERIFY(!station.window.stationState().captureDone);
    QCOMPARE(station.prompt.titles(), QStringList{"Save tiff"});
    QVERIFY2(station.prompt.shown[0].text.contains(QStringLiteral("run_000002.tif")),
             qPrintable(station.prompt.shown[0].text));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("run_000001.tif"))).isFile());
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("run_000003.tif"))));
}

QTEST_MAIN(LumiCamSlowDiskTest)
#include "tst_LumiCamSlowDisk.moc"
