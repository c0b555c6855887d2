// The filter-driver sender's wire blocks and opening against the in-process
// test device: the plug-in, queue and completion blocks, the version gates,
// the neighbour table, and the transmitter's choice of sender.
#include "DriverBench.h"
#include "GSVPSenderStratolinePro.h"
#include "GVSPSenderUserMode.h"
#include "LogCapture.h"
#include "ResultCodes.h"
#include "StratolineProtocol.h"
#include "TestFilterDriver.h"
#include "TransmitterRaw.h"
#include "base/NqBuffer.h"
#include "base/NqPixelType.h"
#include "KyNetworkLib/Arp.h"
#include "KyNetworkLib/Gvsp.h"
#include "KyNetworkLib/GVSPPacketLeader.h"
#include "KyNetworkLib/GVSPPacketTrailer.h"
#include "NzUtilsLib/Thread.h"

#include <QtTest>
#include <algorithm>
#include <memory>

using namespace NqTransmitterRawLib;
using KyNetworkLib::EthernetAddress;
using KyNetworkLib::IpAddress;

class DriverSenderTest : public QObject
{
    Q_OBJECT

private slots:
    void plugInBlockByteForByte_data();
    void plugInBlockByteForByte();
    void queueBlockByteForByte_data();
    void queueBlockByteForByte();
    void versionGates_data();
    void versionGates();
    void versionText_data();
    void versionText();
    void completionBlocksByteForByte();
    void neighbourTable_data();
    void neighbourTable();
    void arpFailureLeavesNothingOpen();
    void missingDeviceLeavesNothingOpen();
    void openTwiceIsRefused();
    void threadPriorityIsRefused();
    void transmitterChoosesTheSender_data();
    void transmitterChoosesTheSender();
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
    // All of 127/8 is loopback, with no hardware address to look up.
    QTest::newRow("loopback, another address") << "127.0.0.2" << QByteArray(6, '\0') << false << false << false;
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

void DriverSenderTest::queueBlockByteForByte_data()
{
    QTest::addColumn<bool>("headerFlag");
    QTest::newRow("standard header") << false;
    QTest::newRow("extended-id header") << true;
}

void DriverSenderTest::queueBlockByteForByte()
{
    QFETCH(bool, headerFlag);
    Bench bench;
    QVERIFY(bench.Open(8, "127.0.0.1", headerFlag).IsSuccess());
    QVERIFY(bench.sender.SetPacketSize(9000).IsSuccess());
    QVERIFY(bench.sender.SetMaxPayloadThroughput(3e8f).IsSuccess());
    // An image in a larger allocation: only the image is sent.
    NqBuffer buffer;
    QVERIFY(buffer.Alloc(40 * 30 * 2 + 100).IsOK());
    QVERIFY(buffer.GetImage()->Attach(40, 30, NqPixelType::Mono16).IsOK());
    const uint64_t before = NzUtilsLib::Thread::GetTickCount();
    QCOMPARE(bench.sender.QueueBuffer(buffer.GetInternal()).GetCode(), uint32_t(Code::Accepted));
    const uint64_t after = NzUtilsLib::Thread::GetTickCount();
    const std::vector<uint8_t> block = bench.device->GetQueueBlock();
    QCOMPARE(block.size(), size_t(9480));

    // Leader and trailer as the encoders write them for this buffer, stamped when queued.
    uint8_t leader[128] = {};
    KyNetworkLib::GVSPPacketLeader leaderEncoder;
    QVERIFY(leaderEncoder.Encode(leader, sizeof leader, headerFlag).IsSuccess());
    leaderEncoder.EncodeBuffer(*buffer.GetInternal());
    uint8_t trailer[128] = {};
    KyNetworkLib::GVSPPacketTrailer trailerEncoder;
    QVERIFY(trailerEncoder.Encode(trailer, sizeof trailer, headerFlag).IsSuccess());
    trailerEncoder.EncodeBuffer(*buffer.GetInternal());
    const uint32_t headerSize = headerFlag ? 20 : 8;
    KyNetworkLib::Gvsp::Leader stamped;
    QVERIFY(KyNetworkLib::Gvsp::ReadLeader(leader + headerSize, 36, stamped));
    QVERIFY(stamped.timestamp >= before && stamped.timestamp <= after);

    std::vector<uint8_t> expected(9480, 0);
    Put(expected, 0, Bytes({1, 0, 0, 0}));
    Put(expected, 8, Bytes({int(headerSize + 36), 0, 0, 0}));
    Put(expected, 12, std::vector<uint8_t>(leader, leader + 128));
    Put(expected, 140, Bytes({2400 & 0xFF, 2400 >> 8, 0, 0}));
    const uint64_t data = uint64_t(reinterpret_cast<uintptr_t>(buffer.GetDataPointer()));
    for (int i = 0; i < 8; ++i)
        expected[144 + i] = uint8_t(data >> (8 * i));
    Put(expected, 152, Bytes({int(headerSize + 8), 0, 0, 0}));
    Put(expected, 156, std::vector<uint8_t>(trailer, trailer + 128));
    Put(expected, 284, Bytes({9000 & 0xFF, 9000 >> 8, 0, 0}));
    Put(expected, 288, Bytes({0x00, 0xA3, 0xE1, 0x11, 0, 0, 0, 0}));
    // The record the driver gives back with the completion: the sender's own.
    std::copy(block.begin() + 296, block.begin() + 304, expected.begin() + 296);
    QVERIFY(std::any_of(block.begin() + 296, block.begin() + 304, [](uint8_t b) { return b != 0; }));
    for (size_t i = 0; i < expected.size(); ++i)
        QVERIFY2(block[i] == expected[i], qPrintable(QString("byte %1: %2, expected %3").arg(i).arg(block[i]).arg(expected[i])));
    bench.device->Complete(1, 0);
    NqBufferLib::Buffer* back = nullptr;
    QVERIFY(bench.sender.RetrieveFreeBuffer(&back, 10000).IsSuccess());
    QCOMPARE(back, buffer.GetInternal());
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
    // Only what the driver answered counts, however much memory follows.
    QTest::newRow("8 bytes answered") << QByteArray("4, 1, 2, 3") << 8 << false << 0;
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

void DriverSenderTest::completionBlocksByteForByte()
{
    // The request: the time-out (u64), then the entries wanted (u32).
    std::vector<uint8_t> request(16, 0xEE);
    Stratoline::WriteBatchRequest(request.data(), 0x0102030405060708ull);
    std::vector<uint8_t> expected(16, 0);
    Put(expected, 0, Bytes({8, 7, 6, 5, 4, 3, 2, 1}));
    Put(expected, 8, Bytes({32, 0, 0, 0}));
    QCOMPARE(request, expected);
    // The answer: status, count, then entries of 24 bytes from byte 8: status,
    // 4 reserved, record (u64), first count, payload bytes.
    std::vector<uint8_t> answer(776, 0);
    Put(answer, 0, Bytes({3, 0, 0, 0}));
    Put(answer, 4, Bytes({32, 0, 0, 0}));
    Put(answer, 32, Bytes({2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
    Put(answer, 48, Bytes({5, 0, 0, 0, 0x10, 0x27, 0, 0}));
    Put(answer, 772, Bytes({7, 0, 0, 0}));
    QCOMPARE(Stratoline::ReadBatchStatus(answer.data()), 3u);
    QCOMPARE(Stratoline::ReadBatchCount(answer.data()), 32u);
    const Stratoline::Completion second = Stratoline::ReadBatchEntry(answer.data(), 1);
    QCOMPARE(second.status, 2u);
    QCOMPARE(quint64(second.record), quint64(0x1122334455667788ull));
    QCOMPARE(second.firstCount, 5u);
    QCOMPARE(second.payloadBytes, 10000u);
    QCOMPARE(Stratoline::ReadBatchEntry(answer.data(), 31).payloadBytes, 7u);
}

void DriverSenderTest::neighbourTable_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("mac");
    QTest::newRow("complete") << "192.168.7.1" << true << "a4:5e:60:01:02:03";
    QTest::newRow("permanent") << "192.168.7.9" << true << "00:1b:21:aa:bb:cc";
    QTest::newRow("incomplete") << "192.168.7.2" << false << "";
    QTest::newRow("not complete, an address kept") << "192.168.7.4" << false << "";
    QTest::newRow("complete, no address") << "192.168.7.5" << false << "";
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
        "192.168.7.4      0x1         0x0         02:00:00:00:00:04     *        eth0\n"
        "192.168.7.5      0x1         0x2         00:00:00:00:00:00     *        eth0\n"
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

QTEST_GUILESS_MAIN(DriverSenderTest)
#include "tst_transmitter_driver.moc"
