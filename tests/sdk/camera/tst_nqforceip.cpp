// FORCEIP from NqDevice::SetIPConfiguration to a scripted GVCP responder on
// 127.0.0.1:3956 (loopback gets the command unicast).
#include "camera/NqDevice.h"
#include "camera/NqGvcp.h"

#include <QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Answers FORCEIP_CMD on 127.0.0.1:3956, at once or `delayMs` after it
// came, and keeps what it got.
class ForceIpResponder
{
public:
    explicit ForceIpResponder(int delayMs = 0) : m_delay(delayMs)
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        local.sin_port = htons(NqGvcp::GVCP_PORT);
        m_bound = ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
        m_thread = std::thread([this] { run(); });
    }
    ~ForceIpResponder()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    bool bound() const { return m_bound; }
    int received() const { return m_received; }
    NqGvcp::ForceIp last() const { return m_last; }

private:
    void run()
    {
        using Clock = std::chrono::steady_clock;
        std::vector<uint8_t> ack;
        sockaddr_in to{};
        Clock::time_point due;
        while (!m_stop) {
            if (!ack.empty() && Clock::now() >= due) {
                ::sendto(m_fd, ack.data(), ack.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
                ack.clear();
            }
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0)
                continue;
            uint8_t data[1500];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t size = ::recvfrom(m_fd, data, sizeof data, 0, reinterpret_cast<sockaddr*>(&from), &length);
            NqGvcp::ForceIp force;
            NqGvcp::Header header;
            if (size <= 0 || !NqGvcp::parseHeader(data, size_t(size), header)
                || !NqGvcp::parseForceIpCmd(data, size_t(size), force))
                continue;
            m_last = force;
            ++m_received;
            ack = NqGvcp::buildAck(NqGvcp::GEV_STATUS_SUCCESS, NqGvcp::FORCEIP_ACK, header.requestId, {});
            to = from;
            due = Clock::now() + std::chrono::milliseconds(m_delay);
        }
    }

    const int m_delay;
    int m_fd = -1;
    bool m_bound = false;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_received{0};
    NqGvcp::ForceIp m_last; // written before m_received is raised
    std::thread m_thread;
};

} // namespace

class TestNqForceIp : public QObject
{
    Q_OBJECT

private slots:
    void carriesAddresses();
    void lateAckIsTimeout();
    void invalidTexts_data();
    void invalidTexts();
};

void TestNqForceIp::carriesAddresses()
{
    ForceIpResponder responder;
    QVERIFY(responder.bound());
    const NqResult result = NqDevice::SetIPConfiguration("02:4B:53:00:00:07", "169.254.7.8", "255.255.0.0",
                                                         "169.254.0.1");
    QVERIFY2(result.IsOK(), result.GetDescription().GetAscii());
    QCOMPARE(responder.received(), 1);
    const NqGvcp::ForceIp got = responder.last();
    QCOMPARE(NqGvcp::formatMac(got.mac), std::string("02:4b:53:00:00:07"));
    QCOMPARE(NqGvcp::formatIp(got.ip), std::string("169.254.7.8"));
    QCOMPARE(NqGvcp::formatIp(got.subnetMask), std::string("255.255.0.0"));
    QCOMPARE(NqGvcp::formatIp(got.gateway), std::string("169.254.0.1"));
}

// The camera's acknowledge is waited for one second: one that comes three
// seconds after the command is not taken, and the wait is not cut short.
void TestNqForceIp::lateAckIsTimeout()
{
    ForceIpResponder responder(3000);
    QVERIFY(responder.bound());
    QElapsedTimer timer;
    timer.start();
    const NqResult result = NqDevice::SetIPConfiguration("02:4b:53:00:00:07", "127.0.0.9", "255.0.0.0", "0.0.0.0");
    QVERIFY(timer.elapsed() >= 1000);
    QCOMPARE(result.GetCode(), uint32_t(NqResult::Code::TIMEOUT));
    // The responder's thread may take the command after that second on a loaded machine.
    QTRY_VERIFY_WITH_TIMEOUT(responder.received() >= 1, 10000);
}

void TestNqForceIp::invalidTexts_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::newRow("bad mac") << "02:4b:53:00:00" << "10.0.0.2" << "255.0.0.0" << "10.0.0.1";
    QTest::newRow("ip prefix only") << "02:4b:53:00:00:01" << "10.0.0." << "255.0.0.0" << "10.0.0.1";
    QTest::newRow("empty ip") << "02:4b:53:00:00:01" << "" << "255.0.0.0" << "10.0.0.1";
    QTest::newRow("bad mask") << "02:4b:53:00:00:01" << "10.0.0.2" << "255.0.0" << "10.0.0.1";
    QTest::newRow("bad gateway") << "02:4b:53:00:00:01" << "10.0.0.2" << "255.0.0.0" << "gateway";
}

void TestNqForceIp::invalidTexts()
{
    QFETCH(QString, mac);
    QFETCH(QString, ip);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    const NqResult result = NqDevice::SetIPConfiguration(mac.toStdString(), ip.toStdString(), mask.toStdString(),
                                                         gateway.toStdString());
    QCOMPARE(result.GetCode(), uint32_t(NqResult::Code::INVALID_PARAMETER));
}

QTEST_GUILESS_MAIN(TestNqForceIp)
#include "tst_nqforceip.moc"
