// The filter-driver sender against the in-process test device (Hold mode:
// buffers stay in the device until the test completes them), its wire
// blocks, and the transmitter's choice of sender.
#include "GSVPSenderStratolinePro.h"
#include "GVSPSenderUserMode.h"
#include "GVSPStatistic.h"
#include "LogCapture.h"
#include "ResultCodes.h"
#include "StratolineProtocol.h"
#include "TestFilterDriver.h"
#include "TransmitterRaw.h"
#include "base/NqBuffer.h"
#include "KyNetworkLib/Arp.h"

#include <QtTest>
#include <memory>
#include <unistd.h>

using namespace NqTransmitterRawLib;
using KyNetworkLib::EthernetAddress;
using KyNetworkLib::IpAddress;

namespace {

const uint32_t kAll = 0xFFFFFFFF;

IpAddress Ip(const char* text)
{
    IpAddress address;
    address.Set(text);
    return address;
}

EthernetAddress Mac(const char* text)
{
    EthernetAddress mac;
    mac.Set(text);
    return mac;
}

// A sender on the test device, as the transmitter would open it for 127.0.0.1.
struct Bench
{
    explicit Bench(TestFilterDriver::Mode mode = TestFilterDriver::Mode::Hold)
        : device(std::make_shared<TestFilterDriver>(mode)), registration(device),
          sender(Mac("02:11:22:33:44:55"), Ip("127.0.0.1"))
    {
        for (NqBuffer& buffer : buffers)
            buffer.Alloc(1000);
    }
    NzUtilsLib::Result Open(uint32_t capability = 8, const char* destination = "127.0.0.1")
    {
        const IpAddress to = Ip(destination);
        const IpAddress from = Ip("127.0.0.1");
        return sender.Open(&to, 5000, &from, 0, false, false, capability, 64, false);
    }

    // The sender goes first: its Close completes the buffers still queued.
    std::shared_ptr<TestFilterDriver> device;
    ScopedDevice registration;
    NqBuffer buffers[8];
    GSVPSenderStratolinePro sender;
};

std::vector<uint8_t> Bytes(std::initializer_list<int> values)
{
    return std::vector<uint8_t>(values.begin(), values.end());
}

void Put(std::vector<uint8_t>& block, size_t offset, const std::vector<uint8_t>& bytes)
{
    std::copy(bytes.begin(), bytes.end(), block.begin() + offset);
}

} // namespace

class DriverSenderTest : public QObject
{
    Q_OBJECT

private slots:
    void plugInBlockByteForByte_data();
    void plugInBlockByteForByte();
    void versionGates_data();
    void versionGates();
    void versionText_data();
    void versionText();
    void neighbourTable_data();
    void neighbourTable();
    void arpFailureLeavesNothingOpen();
    void missingDeviceLeavesNothingOpen();
    void openTwiceIsRefused();
    void capacityThenBusy();
    void queueAnswers_data();
    void queueAnswers();
    void fiveCompletionsFromOneBatch();
    void completionStatuses_data();
    void completionStatuses();
    void emptyBatchIsNothingCompleted();
    void batchCountClampedAndRecordsChecked();
    void abortCompletesQueuedBuffers();
    void failedAbortCallIsReturned();
    void abortOldestGivesTheFirstBuffer();
    void closeAgainstSilentDeviceIsBounded();
    void closeCollectsLateCompletions();
    void threadPriorityIsRefused();
    void oversizedBufferIsRefused();
    void transmitterChoosesTheSender_data();
    void transmitterChoosesTheSender();
    void poolTakesCompletionsFromTheDriver();
};

void DriverSenderTest::plugInBlockByteForByte_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QByteArray>("remoteMac");
    QTest::addColumn<bool>("headerFlag");
    QTest::addColumn<bool>("dontFragment");
    QTest::addColumn<bool>("engineFlag");
    QTest::newRow("multicast") << "239.1.2.3" << QByteArray("\x01\x00\x5E\x01\x02\x03", 6) << true << false << true;
    QTest::newRow("multicast high bit cleared")
        << "239.129.2.3" << QByteArray("\x01\x00\x5E\x01\x02\x03", 6) << false << true << false;
    QTest::newRow("loopback") << "127.0.0.1" << QByteArray(6, '\0') << false << true << true;
}

void DriverSenderTest::plugInBlockByteForByte()
{
    QFETCH(QString, destination);
    QFETCH(QByteArray, remoteMac);
    QFETCH(bool, headerFlag);
    QFETCH(bool, dontFragment);
    QFETCH(bool, engineFlag);
    Bench bench;
    const IpAddress to = Ip(destination.toLatin1().constData());
    const IpAddress from = Ip("127.0.0.1");
    QVERIFY(bench.sender.Open(&to, 0x1234, &from, 0, dontFragment, headerFlag, 200, 64, engineFlag).IsSuccess());
    const uint16_t port = bench.sender.GetSourcePort();
    QVERIFY(port != 0);

    std::vector<uint8_t> expected(260, 0);
    Put(expected, 0, Bytes({2, 0, 0, 0}));
    Put(expected, 4, Bytes({0x02, 0x11, 0x22, 0x33, 0x44, 0x55}));
    Put(expected, 12, Bytes({2, 0, 0, 0}));
    Put(expected, 40, Bytes({2, 0, 0, 0}));
    Put(expected, 68, Bytes({200, 0, 0, 0}));
    Put(expected, 72, Bytes({headerFlag, 0, 0, 0}));
    Put(expected, 76, Bytes({dontFragment, 0, 0, 0}));
    Put(expected, 80, Bytes({engineFlag, 0, 0, 0}));
    const uint8_t* ip = to.GetData();
    Put(expected, 88, Bytes({ip[0], ip[1], ip[2], ip[3]}));
    Put(expected, 104, std::vector<uint8_t>(remoteMac.begin(), remoteMac.end()));
    Put(expected, 110, Bytes({0x12, 0x34}));
    Put(expected, 116, Bytes({127, 0, 0, 1}));
    Put(expected, 132, Bytes({0x02, 0x11, 0x22, 0x33, 0x44, 0x55}));
    Put(expected, 138, Bytes({port >> 8, port & 0xFF}));
    Put(expected, 140, Bytes({64, 0, 0, 0}));
    QCOMPARE(bench.device->GetPlugInBlock(), expected);
}

void DriverSenderTest::versionGates_data()
{
    QTest::addColumn<QByteArray>("versionText");
    QTest::addColumn<quint32>("driverInterface");
    QTest::addColumn<quint32>("plugInInterface");
    QTest::addColumn<quint32>("interfaceStatus");
    QTest::addColumn<quint32>("plugInStatus");
    QTest::addColumn<quint32>("failingCall");
    QTest::addColumn<quint32>("code");
    QTest::addColumn<QString>("description");
    const QString tooOld = "Cannot connect to older version of the driver";
    QTest::newRow("4 passes") << QByteArray("4, 0, 0, 1") << 2u << 2u << 0u << 0u << 0u << 0u << "";
    QTest::newRow("12 passes") << QByteArray("12, 3, 1, 100") << 2u << 2u << 0u << 0u << 0u << 0u << "";
    QTest::newRow("3 refused") << QByteArray("3, 9, 9, 9") << 2u << 2u << 0u << 0u << 0u << 513u << tooOld;
    QTest::newRow("three numbers") << QByteArray("4, 0, 0") << 2u << 2u << 0u << 0u << 0u << 513u << tooOld;
    QTest::newRow("dotted") << QByteArray("4.0.0.1") << 2u << 2u << 0u << 0u << 0u << 513u << tooOld;
    QTest::newRow("empty") << QByteArray() << 2u << 2u << 0u << 0u << 0u << 513u << tooOld;
    QTest::newRow("64 bytes unterminated, valid")
        << QByteArray("4, 1, 2, 3").leftJustified(64, ' ') << 2u << 2u << 0u << 0u << 0u << 0u << "";
    QTest::newRow("64 bytes unterminated, three numbers")
        << QByteArray("4, 1, 2,").leftJustified(64, ' ') << 2u << 2u << 0u << 0u << 0u << 513u << tooOld;
    QTest::newRow("version call fails") << QByteArray("4, 0, 0, 1") << 2u << 2u << 0u << 0u
                                        << quint32(Stratoline::ReadVersion) << 31u << "";
    QTest::newRow("interfaces 2 and 1") << QByteArray("4, 0, 0, 1") << 2u << 1u << 0u << 0u << 0u << 513u
                                        << "Cannot connect to older version of the driver interface. "
                                           "DIS = 2/2, PIT = 1/2";
    QTest::newRow("interfaces 3 and 2") << QByteArray("4, 0, 0, 1") << 3u << 2u << 0u << 0u << 0u << 513u
                                        << "Cannot connect to older version of the driver interface. "
                                           "DIS = 3/2, PIT = 2/2";
    QTest::newRow("interface status") << QByteArray("4, 0, 0, 1") << 2u << 2u << 3u << 0u << 0u << 27u
                                      << "Unable to read the interface version.";
    QTest::newRow("interface call fails") << QByteArray("4, 0, 0, 1") << 2u << 2u << 0u << 0u
                                          << quint32(Stratoline::ReadInterfaceVersion) << 31u << "";
    QTest::newRow("plug-in status") << QByteArray("4, 0, 0, 1") << 2u << 2u << 0u << 4u << 0u << 16385u
                                    << "Cannot initialize the plug-in";
    QTest::newRow("plug-in call fails") << QByteArray("4, 0, 0, 1") << 2u << 2u << 0u << 0u
                                        << quint32(Stratoline::LoadPlugIn) << 31u << "";
}

void DriverSenderTest::versionGates()
{
    QFETCH(QByteArray, versionText);
    QFETCH(quint32, driverInterface);
    QFETCH(quint32, plugInInterface);
    QFETCH(quint32, interfaceStatus);
    QFETCH(quint32, plugInStatus);
    QFETCH(quint32, failingCall);
    QFETCH(quint32, code);
    QFETCH(QString, description);
    Bench bench;
    TestFilterDriver::Faults faults;
    faults.versionText.assign(versionText.begin(), versionText.end());
    if (versionText.size() < 64)
        faults.versionText = TestFilterDriver::VersionText(versionText.toStdString());
    faults.driverInterfaceVersion = driverInterface;
    faults.plugInInterfaceVersion = plugInInterface;
    faults.interfaceStatus = interfaceStatus;
    faults.plugInStatus = plugInStatus;
    if (failingCall)
        faults.failingCalls.insert(failingCall);
    bench.device->SetFaults(faults);
    const NzUtilsLib::Result result = bench.Open();
    QCOMPARE(result.GetCode(), code);
    QCOMPARE(QString::fromStdString(result.GetDescription()), description);
    QCOMPARE(bench.sender.IsOpen(), code == 0);
    QCOMPARE(bench.device->IsOpen(), code == 0);
    if (code) {
        QCOMPARE(bench.sender.GetSourcePort(), uint16_t(0));
        QCOMPARE(bench.sender.GetQueuedBufferCount(), 0u);
    }
}

void DriverSenderTest::versionText_data()
{
    QTest::addColumn<QByteArray>("memory");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<int>("major");
    QTest::newRow("terminated") << QByteArray("4, 0, 0, 1") << 64 << true << 4;
    QTest::newRow("no blanks") << QByteArray("5,0,0,1") << 64 << true << 5;
    QTest::newRow("negative") << QByteArray("-1, 0, 0, 1") << 64 << true << -1;
    QTest::newRow("words") << QByteArray("four, 0, 0, 1") << 64 << false << 0;
    // The fourth number lies after the 64 bytes the driver answered.
    QTest::newRow("64 bytes, then more memory")
        << QByteArray("4, 1, 2,").leftJustified(64, ' ').append(" 3") << 64 << false << 0;
    QTest::newRow("64 bytes, complete") << QByteArray("4, 1, 2, 3").leftJustified(64, ' ').append("9") << 64 << true
                                        << 4;
}

void DriverSenderTest::versionText()
{
    QFETCH(QByteArray, memory);
    QFETCH(int, size);
    QFETCH(bool, parsed);
    QFETCH(int, major);
    memory = memory.leftJustified(size, '\0');
    int numbers[4] = {0, 0, 0, 0};
    QCOMPARE(Stratoline::ParseVersionText(reinterpret_cast<const uint8_t*>(memory.constData()), size_t(size), numbers),
             parsed);
    if (parsed)
        QCOMPARE(numbers[0], major);
}

void DriverSenderTest::neighbourTable_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("mac");
    QTest::newRow("complete") << "192.168.7.1" << true << "a4:5e:60:01:02:03";
    QTest::newRow("permanent") << "192.168.7.9" << true << "00:1b:21:aa:bb:cc";
    QTest::newRow("incomplete") << "192.168.7.2" << false << "";
    QTest::newRow("absent") << "192.168.7.3" << false << "";
    QTest::newRow("prefix of another") << "192.168.7.10" << false << "";
}

void DriverSenderTest::neighbourTable()
{
    QFETCH(QString, destination);
    QFETCH(bool, found);
    QFETCH(QString, mac);
    const std::string table =
        "IP address       HW type     Flags       HW address            Mask     Device\n"
        "192.168.7.1      0x1         0x2         a4:5e:60:01:02:03     *        eth0\n"
        "192.168.7.2      0x1         0x0         00:00:00:00:00:00     *        eth0\n"
        "192.168.7.9      0x1         0x6         00:1b:21:aa:bb:cc     *        eth1\n"
        "192.168.7.100    0x1         0x2         02:00:00:00:00:01     *        eth1\n";
    EthernetAddress resolved;
    QCOMPARE(KyNetworkLib::Arp::FindInTable(table, Ip(destination.toLatin1().constData()), resolved), found);
    if (found)
        QCOMPARE(QString::fromStdString(resolved.GetString()), mac);
}

void DriverSenderTest::arpFailureLeavesNothingOpen()
{
    Bench bench;
    LogCapture log;
    const NzUtilsLib::Result result = bench.Open(8, "10.9.9.9");
    QCOMPARE(result.GetCode(), 19u);
    QCOMPARE(QString::fromStdString(result.GetDescription()), QString("Unable to get the MAC address. Error = 113"));
    QVERIFY(!bench.sender.IsOpen());
    QCOMPARE(bench.device->GetOpenCount(), 0u);
    QCOMPARE(bench.sender.GetSourcePort(), uint16_t(0));
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 0u);
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(100).IsOK());
    QCOMPARE(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode(), uint32_t(Code::NotOpened));
    bool arpLogged = false;
    for (const LogCapture::Line& line : log.Lines())
        arpLogged = arpLogged || line.message == "Revolve MAC address using arp";
    QVERIFY(arpLogged);
}

void DriverSenderTest::missingDeviceLeavesNothingOpen()
{
    GSVPSenderStratolinePro sender(Mac("02:11:22:33:44:55"), Ip("127.0.0.1"));
    const IpAddress to = Ip("127.0.0.1");
    const NzUtilsLib::Result result = sender.Open(&to, 5000, nullptr, 0, false, false, 8, 64, false);
    QCOMPARE(result.GetCode(), uint32_t(KyTransportLayerLib::Link::FileNotFound));
    QVERIFY(!sender.IsOpen());
    QCOMPARE(sender.GetSourcePort(), uint16_t(0));
}

void DriverSenderTest::openTwiceIsRefused()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    QCOMPARE(bench.Open().GetCode(), uint32_t(Code::StateError));
    QVERIFY(bench.sender.IsOpen());
    QCOMPARE(bench.device->GetOpenCount(), 1u);
}

void DriverSenderTest::capacityThenBusy()
{
    for (uint32_t capacity : {2u, 5u}) {
        Bench bench;
        QVERIFY(bench.Open(capacity).IsSuccess());
        NqBuffer(&buffers)[8] = bench.buffers;
        for (uint32_t i = 0; i < capacity; ++i)
            QCOMPARE(bench.sender.QueueBuffer(buffers[i].GetInternal()).GetCode(), uint32_t(Code::Accepted));
        QCOMPARE(bench.sender.QueueBuffer(buffers[capacity].GetInternal()).GetCode(), uint32_t(Code::NoFreeRecord));
        QCOMPARE(bench.sender.GetQueuedBufferCount(), capacity);
        QCOMPARE(bench.device->GetHeldCount(), capacity);
        // One back, one more in.
        bench.device->Complete(1, 0);
        NqBufferLib::Buffer* back = nullptr;
        QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 1000).IsSuccess());
        QCOMPARE(back, buffers[0].GetInternal());
        QCOMPARE(bench.sender.QueueBuffer(buffers[capacity].GetInternal()).GetCode(), uint32_t(Code::Accepted));
    }
}

void DriverSenderTest::queueAnswers_data()
{
    QTest::addColumn<bool>("pending");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<quint32>("failingCall");
    QTest::addColumn<quint32>("code");
    QTest::newRow("pending") << true << 0u << 0u << 0xFFFFu;
    QTest::newRow("done, status 0") << false << 0u << 0u << 0xFFFFu;
    QTest::newRow("done, status 14") << false << 14u << 0u << 0xFFFFu;
    QTest::newRow("done, status 3 (full)") << false << 3u << 0u << 27u;
    QTest::newRow("done, unknown status") << false << 99u << 0u << 1u;
    QTest::newRow("call fails") << true << 0u << quint32(Stratoline::QueueBuffer) << 31u;
}

void DriverSenderTest::queueAnswers()
{
    QFETCH(bool, pending);
    QFETCH(quint32, status);
    QFETCH(quint32, failingCall);
    QFETCH(quint32, code);
    Bench bench;
    QVERIFY(bench.Open(4).IsSuccess());
    TestFilterDriver::Faults faults;
    faults.queuePending = pending;
    faults.queueStatus = status;
    if (failingCall)
        faults.failingCalls.insert(failingCall);
    bench.device->SetFaults(faults);
    NqBuffer& buffer = bench.buffers[0];
    QCOMPARE(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode(), code);
    // A refused buffer gives its record back.
    QCOMPARE(bench.sender.GetQueuedBufferCount(), code == 0xFFFF ? 1u : 0u);
}

void DriverSenderTest::fiveCompletionsFromOneBatch()
{
    Bench bench;
    QVERIFY(bench.Open(8).IsSuccess());
    GVSPStatistic statistic;
    bench.sender.SetStatistic(&statistic);
    NqBuffer(&buffers)[8] = bench.buffers;
    for (int i = 0; i < 5; ++i)
        QCOMPARE(bench.sender.QueueBuffer(buffers[i].GetInternal()).GetCode(), uint32_t(Code::Accepted));
    bench.device->Complete(5, 0, 3, 1000);
    for (int i = 0; i < 5; ++i) {
        NqBuffer& buffer = buffers[i];
        NqBufferLib::Buffer* back = nullptr;
        QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 1000).IsSuccess());
        QCOMPARE(back, buffer.GetInternal());
        QCOMPARE(buffer.GetOperationResult().GetCode(), 0u);
    }
    QCOMPARE(bench.device->GetCallCount(Stratoline::RetrieveCompletions), 1u);
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 0u);
    QCOMPARE(statistic.GetBlocksTransmitted(), 5ull);
    QCOMPARE(statistic.GetPayloadBytesTransmitted(), 5000ull);
}

void DriverSenderTest::completionStatuses_data()
{
    QTest::addColumn<quint32>("status");
    QTest::addColumn<quint32>("code");
    QTest::newRow("0 sent") << 0u << 0u;
    QTest::newRow("1") << 1u << 1u;
    QTest::newRow("2") << 2u << 19u;
    QTest::newRow("3") << 3u << 1u;
    QTest::newRow("out of range") << 7u << 1u;
}

void DriverSenderTest::completionStatuses()
{
    QFETCH(quint32, status);
    QFETCH(quint32, code);
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    GVSPStatistic statistic;
    bench.sender.SetStatistic(&statistic);
    NqBuffer& buffer = bench.buffers[0];
    QVERIFY(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode() == Code::Accepted);
    bench.device->Complete(1, status, 1, 400);
    NqBufferLib::Buffer* back = nullptr;
    QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 1000).IsSuccess());
    QCOMPARE(back, buffer.GetInternal());
    QCOMPARE(buffer.GetOperationResult().GetCode(), code);
    // Failed blocks count too, with the bytes the driver reports.
    QCOMPARE(statistic.GetBlocksTransmitted(), 1ull);
    QCOMPARE(statistic.GetPayloadBytesTransmitted(), 400ull);
}

void DriverSenderTest::emptyBatchIsNothingCompleted()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    NqBuffer& buffer = bench.buffers[0];
    QVERIFY(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode() == Code::Accepted);
    NqBufferLib::Buffer* back = buffer.GetInternal();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(bench.sender.RetrieveFreeBuffer(&back, 60).GetCode(), uint32_t(Code::NoCompletion));
    QVERIFY(timer.elapsed() >= 50);
    QVERIFY(!back);
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 1u);
}

void DriverSenderTest::batchCountClampedAndRecordsChecked()
{
    Bench bench;
    QVERIFY(bench.Open(8).IsSuccess());
    LogCapture log;
    NqBuffer(&buffers)[8] = bench.buffers;
    for (int i = 0; i < 3; ++i)
        QVERIFY(bench.sender.QueueBuffer(buffers[i].GetInternal()).GetCode() == Code::Accepted);
    TestFilterDriver::Faults faults;
    faults.claimedCount = 1000;
    bench.device->SetFaults(faults);
    bench.device->Complete(3, 0);
    std::vector<NqBufferLib::Buffer*> back;
    uint32_t refused = 0;
    for (int i = 0; i < 32; ++i) {
        NqBufferLib::Buffer* buffer = nullptr;
        const NzUtilsLib::Result result = bench.sender.RetrieveFreeBuffer(&buffer, 100);
        if (result.IsSuccess())
            back.push_back(buffer);
        else
            ++refused;
    }
    QCOMPARE(back, (std::vector<NqBufferLib::Buffer*>{buffers[0].GetInternal(), buffers[1].GetInternal(),
                                                       buffers[2].GetInternal()}));
    // The 29 entries the answer does not hold name no record of ours.
    QCOMPARE(refused, 29u);
    QCOMPARE(bench.device->GetCallCount(Stratoline::RetrieveCompletions), 1u);
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 0u);
    bool clampLogged = false;
    for (const LogCapture::Line& line : log.Lines())
        clampLogged = clampLogged || line.message == "The driver reported 1000 completions in one batch; 32 are read";
    QVERIFY(clampLogged);
}

void DriverSenderTest::abortCompletesQueuedBuffers()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    NqBuffer(&buffers)[8] = bench.buffers;
    for (int i = 0; i < 3; ++i)
        QVERIFY(bench.sender.QueueBuffer(buffers[i].GetInternal()).GetCode() == Code::Accepted);
    bool aborted = false;
    QVERIFY(bench.sender.AbortQueuedBuffers(2, &aborted).IsSuccess());
    QVERIFY(aborted);
    QCOMPARE(bench.device->GetHeldCount(), 1u);
    for (int i = 0; i < 2; ++i) {
        NqBufferLib::Buffer* back = nullptr;
        QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 1000).IsSuccess());
        QCOMPARE(back, buffers[i].GetInternal());
        QCOMPARE(buffers[i].GetOperationResult().GetCode(), 1u);
    }
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 1u);
}

void DriverSenderTest::failedAbortCallIsReturned()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    NqBuffer& buffer = bench.buffers[0];
    QVERIFY(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode() == Code::Accepted);
    TestFilterDriver::Faults faults;
    faults.failingCalls = {Stratoline::AbortQueued, Stratoline::AbortOldest};
    bench.device->SetFaults(faults);
    bool aborted = true;
    const NzUtilsLib::Result result = bench.sender.AbortQueuedBuffers(kAll, &aborted);
    QCOMPARE(result.GetCode(), uint32_t(KyTransportLayerLib::Link::DeviceFailure));
    QVERIFY(!aborted);
    NqBufferLib::Buffer* back = buffer.GetInternal();
    QCOMPARE(bench.sender.AbortOldestQueuedBuffer(&back).GetCode(), uint32_t(KyTransportLayerLib::Link::DeviceFailure));
    QVERIFY(!back);
    QCOMPARE(bench.device->GetHeldCount(), 1u);
    bench.device->SetFaults(TestFilterDriver::Faults());
}

void DriverSenderTest::abortOldestGivesTheFirstBuffer()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    NqBuffer(&buffers)[8] = bench.buffers;
    for (int i = 0; i < 2; ++i)
        QVERIFY(bench.sender.QueueBuffer(buffers[i].GetInternal()).GetCode() == Code::Accepted);
    NqBufferLib::Buffer* back = nullptr;
    QVERIFY(bench.sender.AbortOldestQueuedBuffer(&back).IsSuccess());
    QCOMPARE(back, buffers[0].GetInternal());
    QCOMPARE(buffers[0].GetOperationResult().GetCode(), 1u);
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 1u);
    QVERIFY(bench.sender.AbortOldestQueuedBuffer(&back).IsSuccess());
    QCOMPARE(back, buffers[1].GetInternal());
    // Nothing left: the driver's status, converted.
    QCOMPARE(bench.sender.AbortOldestQueuedBuffer(&back).GetCode(), uint32_t(Code::NoCompletion));
    QVERIFY(!back);
}

void DriverSenderTest::closeAgainstSilentDeviceIsBounded()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    NqBuffer(&buffers)[8] = bench.buffers;
    for (int i = 0; i < 3; ++i)
        QVERIFY(bench.sender.QueueBuffer(buffers[i].GetInternal()).GetCode() == Code::Accepted);
    TestFilterDriver::Faults faults;
    faults.silent = true;
    bench.device->SetFaults(faults);
    LogCapture log;
    QElapsedTimer timer;
    timer.start();
    bench.sender.Close();
    const qint64 elapsed = timer.elapsed();
    // Its 2000 ms limit, where the silent device would hold it for ever.
    QVERIFY2(elapsed >= 1900 && elapsed < 10000, qPrintable(QString("Close took %1 ms").arg(elapsed)));
    QVERIFY(!bench.sender.IsOpen());
    QVERIFY(!bench.device->IsOpen());
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 0u);
    bool warned = false;
    for (const LogCapture::Line& line : log.Lines())
        warned = warned
                 || (line.level == NzUtilsLib::Logger::Warning
                     && line.message == "The driver did not give back 3 buffers within 2000 ms; closing anyway");
    QVERIFY(warned);
}

void DriverSenderTest::closeCollectsLateCompletions()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    NqBuffer(&buffers)[8] = bench.buffers;
    for (int i = 0; i < 3; ++i)
        QVERIFY(bench.sender.QueueBuffer(buffers[i].GetInternal()).GetCode() == Code::Accepted);
    TestFilterDriver::Faults faults;
    faults.completionDelayMs = 120;
    bench.device->SetFaults(faults);
    LogCapture log;
    QElapsedTimer timer;
    timer.start();
    bench.sender.Close();
    // Waits for the late completions, not for the 2000 ms limit.
    QVERIFY2(timer.elapsed() >= 100 && timer.elapsed() < 1900, qPrintable(QString("%1 ms").arg(timer.elapsed())));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(buffers[i].GetOperationResult().GetCode(), 1u);
    for (const LogCapture::Line& line : log.Lines())
        QVERIFY2(line.level < NzUtilsLib::Logger::Warning, line.message.c_str());
}

void DriverSenderTest::threadPriorityIsRefused()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    QCOMPARE(bench.sender.GetThreadPriority(), 0xFFFFFFFFu);
    const NzUtilsLib::Result result = bench.sender.SetThreadPriority(3);
    QCOMPARE(result.GetCode(), 26u);
    QCOMPARE(QString::fromStdString(result.GetDescription()),
             QString("The priority of the transmitter thread cannot be set when using the Kyvo Stratoline driver"));
}

void DriverSenderTest::oversizedBufferIsRefused()
{
    Bench bench;
    QVERIFY(bench.Open().IsSuccess());
    QCOMPARE(bench.sender.GetMaxBufferSize(), Stratoline::MaxBufferSize(uint64_t(sysconf(_SC_PAGESIZE))));
    QCOMPARE(Stratoline::MaxBufferSize(4096), 33529344ull);
    const uint32_t size = uint32_t(bench.sender.GetMaxBufferSize() + 1);
    std::unique_ptr<uint8_t[]> memory(new uint8_t[size]);
    NqBuffer buffer;
    QVERIFY(buffer.Attach(memory.get(), size).IsOK());
    QCOMPARE(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode(), uint32_t(Code::NotEnoughMemory));
    QCOMPARE(bench.sender.GetQueuedBufferCount(), 0u);
    QCOMPARE(bench.device->GetCallCount(Stratoline::QueueBuffer), 0u);
}

void DriverSenderTest::transmitterChoosesTheSender_data()
{
    QTest::addColumn<bool>("registered");
    QTest::addColumn<QString>("served");
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("driver");
    QTest::newRow("no device") << false << "lo" << "" << false;
    QTest::newRow("device serves lo") << true << "lo" << "" << true;
    QTest::newRow("device serves lo, source given") << true << "lo" << "127.0.0.1" << true;
    QTest::newRow("device serves another interface") << true << "eth7" << "" << false;
}

void DriverSenderTest::transmitterChoosesTheSender()
{
    QFETCH(bool, registered);
    QFETCH(QString, served);
    QFETCH(QString, source);
    QFETCH(bool, driver);
    auto device = std::make_shared<TestFilterDriver>(TestFilterDriver::Mode::Hold,
                                                     std::set<std::string>{served.toStdString()});
    std::unique_ptr<ScopedDevice> registration(registered ? new ScopedDevice(device) : nullptr);
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(100).IsOK());
    TransmitterRaw transmitter;
    QVERIFY(transmitter.Open("127.0.0.1", 5000, source.toLatin1().constData(), 0, false, false, 8, 64, false)
                .IsSuccess());
    QCOMPARE(dynamic_cast<GSVPSenderStratolinePro*>(transmitter.GetSender()) != nullptr, driver);
    QCOMPARE(dynamic_cast<GVSPSenderUserMode*>(transmitter.GetSender()) != nullptr, !driver);
    QCOMPARE(device->IsOpen(), driver);
    if (driver) {
        QCOMPARE(transmitter.GetUserModeTransmitterThreadPriority(), 0xFFFFFFFFu);
        QCOMPARE(transmitter.SetUserModeTransmitterThreadPriority(3).GetCode(), 26u);
        QCOMPARE(transmitter.QueueBuffer(buffer.GetInternal()).GetPublicCode(), 0xFFFFu);
        QCOMPARE(transmitter.GetQueuedBufferCount(), 1u);
    }
    QVERIFY(transmitter.Close().IsSuccess());
    QVERIFY(!device->IsOpen());
}

void DriverSenderTest::poolTakesCompletionsFromTheDriver()
{
    auto device = std::make_shared<TestFilterDriver>(TestFilterDriver::Mode::Hold);
    ScopedDevice registration(device);
    NqBuffer buffers[3];
    NqBufferLib::Buffer* internals[3];
    for (int i = 0; i < 3; ++i) {
        QVERIFY(buffers[i].Alloc(1000).IsOK());
        internals[i] = buffers[i].GetInternal();
    }
    TransmitterRaw transmitter;
    QVERIFY(transmitter.LoadBufferPool(internals, 3).IsSuccess());
    QVERIFY(transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false).IsSuccess());
    QVERIFY(dynamic_cast<GSVPSenderStratolinePro*>(transmitter.GetSender()));
    for (int i = 0; i < 3; ++i) {
        NqBufferLib::Buffer* buffer = nullptr;
        QVERIFY(transmitter.RetrieveFreeBuffer(&buffer, 0).IsSuccess());
        QCOMPARE(transmitter.QueueBuffer(buffer).GetPublicCode(), 0xFFFFu);
    }
    NqBufferLib::Buffer* none = nullptr;
    QCOMPARE(transmitter.RetrieveFreeBuffer(&none, 20).GetCode(), uint32_t(Code::Timeout));
    device->Complete(2, 0);
    std::set<NqBufferLib::Buffer*> back;
    for (int i = 0; i < 2; ++i) {
        NqBufferLib::Buffer* buffer = nullptr;
        QVERIFY(transmitter.RetrieveFreeBuffer(&buffer, 10000).IsSuccess()); // through the pool's thread
        back.insert(buffer);
    }
    QCOMPARE(back, (std::set<NqBufferLib::Buffer*>{internals[0], internals[1]}));
    // Close aborts the last one in the driver and the pool takes it back.
    QVERIFY(transmitter.Close().IsSuccess());
    QVERIFY(!device->IsOpen());
    QVERIFY(transmitter.Open("127.0.0.1", 5000, "", 0, false, false, 8, 64, false).IsSuccess());
    NqBufferLib::Buffer* last = nullptr;
    QVERIFY(transmitter.RetrieveFreeBuffer(&last, 10000).IsSuccess());
    QCOMPARE(last, internals[2]);
    QCOMPARE(buffers[2].GetOperationResult().GetCode(), 1u);
}

QTEST_GUILESS_MAIN(DriverSenderTest)
#include "tst_transmitter_driver.moc"
