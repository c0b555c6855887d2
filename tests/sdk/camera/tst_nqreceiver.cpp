// How our streams receive: the socket buffer in place from the stream's
// start, and the receiving thread raised above the process it runs in where
// the system allows it, which the stream tells.
#include "RaiseRefused.h"
#include "SimulatedCamera.h"
#include "camera/NqDevice.h"
#include "camera/NqStream.h"

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

// The receive buffer size of this process's UDP socket bound to `port` (0 if none).
int receiveBufferOfPort(uint16_t port)
{
    for (int fd = 0; fd < 1024; ++fd) {
        sockaddr_in address{};
        socklen_t size = sizeof address;
        int type = 0;
        socklen_t typeSize = sizeof type;
        if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 || type != SOCK_DGRAM
            || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0 || address.sin_family != AF_INET
            || ntohs(address.sin_port) != port)
            continue;
        int bytes = 0;
        socklen_t bytesSize = sizeof bytes;
        return ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, &bytesSize) == 0 ? bytes : 0;
    }
    return 0;
}

// The ids of this process's threads.
std::vector<pid_t> threadIds()
{
    std::vector<pid_t> ids;
    for (const QString& name : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        ids.push_back(pid_t(name.toInt()));
    return ids;
}

} // namespace

class TestNqReceiver : public QObject
{
    Q_OBJECT

private slots:
    void receiverIsTuned();
};

// Before the first frame arrives, the stream's socket already holds several
// frames: a receiving thread that a loaded machine wakes late must not lose
// the start of the stream to the small system default. The receiving thread
// runs ten steps above the process it is in (whatever nice value the process
// was started with) where the system allows it, and says whether it does.
void TestNqReceiver::receiverIsTuned()
{
    SimulatedCameraOptions options;
    options.address = "127.0.83.13";
    SimulatedCamera camera(options);
    QVERIFY(camera.start());
    NqDevice device;
    NqStream stream;
    QVERIFY(device.Connect(NqString("127.0.83.13")).IsOK());
    const int processNice = ::getpriority(PRIO_PROCESS, id_t(::getpid()));
    const int callerNice = ::getpriority(PRIO_PROCESS, 0);
    const std::vector<pid_t> before = threadIds();
    QVERIFY(stream.Open(NqString("127.0.83.13")).IsOK());

    QFile maximumFile("/proc/sys/net/core/rmem_max");
    QVERIFY(maximumFile.open(QIODevice::ReadOnly));
    const int systemMaximum = maximumFile.readAll().trimmed().toInt();
    // The system doubles the size asked for (bookkeeping), up to its maximum.
    const int expected = 2 * std::min(systemMaximum, 8 * 1024 * 1024);
    QCOMPARE(receiveBufferOfPort(stream.GetLocalPort()), expected);

    if (!threadMayRaiseTo(std::max(processNice - 10, -20)))
        QSKIP("this process may not raise a thread's priority");
    // Open returns once the receiving thread, the one the stream started, has raised itself.
    const NqReceiverPriority priority = stream.GetReceiverPriority();
    QCOMPARE(int(priority.state), int(NqReceiverPriority::State::Raised));
    QCOMPARE(priority.processNice, processNice);
    QCOMPARE(priority.threadNice, std::max(processNice - 10, -20));
    QString started; // the nice values of the threads the stream started
    bool raised = false;
    for (const pid_t id : threadIds())
        if (std::find(before.begin(), before.end(), id) == before.end()) {
            const int nice = ::getpriority(PRIO_PROCESS, id_t(id));
            started += QString::number(nice) + QLatin1Char(' ');
            raised = raised || nice == priority.threadNice;
        }
    QVERIFY2(raised, qPrintable(QString("process at %1, the stream's threads at %2").arg(processNice).arg(started)));
    QCOMPARE(::getpriority(PRIO_PROCESS, 0), callerNice); // the caller's thread keeps its own
    stream.Close();

    // Where the system refuses, the thread runs as the process does, and says why.
    RaiseRefused refused;
    if (!refused.active())
        QSKIP("the raise cannot be taken away here");
    QVERIFY(stream.Open(NqString("127.0.83.13")).IsOK());
    const NqReceiverPriority kept = stream.GetReceiverPriority();
    QCOMPARE(int(kept.state), int(NqReceiverPriority::State::Refused));
    QVERIFY2(kept.error == EACCES || kept.error == EPERM, qPrintable(QString::number(kept.error)));
    QCOMPARE(kept.threadNice, processNice);
}

QTEST_GUILESS_MAIN(TestNqReceiver)
#include "tst_nqreceiver.moc"
