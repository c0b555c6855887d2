#include "TmxRequest.h"

#include <QtTest>

#include <cmath>
#include <limits>

using TmxRequest::Program;

Q_DECLARE_METATYPE(TmxRequest::Program)

namespace {

Program gates(double period, quint64 pulses, double ledWidth, double delay, double exposure,
                bool external = false)
{
    Program p;
    p.period = period;
    p.pulses = pulses;
    p.ledWidth = ledWidth;
    p.delay = delay;
    p.exposure = exposure;
    p.externallyTriggered = external;
    return p;
}

const double NaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

class TestTmxRequest : public QObject
{
    Q_OBJECT

private slots:
    void ticks_data();
    void ticks();
    void program_data();
    void program();
    void refused_data();
    void refused();
    void gateValue();
    void fixedPages();
};

void TestTmxRequest::ticks_data()
{
    QTest::addColumn<double>("microseconds");
    QTest::addColumn<double>("ticks");

    QTest::newRow("0") << 0.0 << 0.0;
    QTest::newRow("30 us") << 30.0 << 1500.0;
    QTest::newRow("0.01 us") << 0.01 << 0.0;
    QTest::newRow("0.02 us is one tick") << 0.02 << 1.0;
    QTest::newRow("0.039 us truncates") << 0.039 << 1.0;
    QTest::newRow("1 s") << 1e6 << 5e7;
}

void TestTmxRequest::ticks()
{
    QFETCH(double, microseconds);
    QFETCH(double, ticks);
    QCOMPARE(TmxRequest::ticks(microseconds), ticks);
}

void TestTmxRequest::program_data()
{
    QTest::addColumn<Program>("program");
    QTest::addColumn<QString>("pathAndQuery");

    QTest::newRow("worked example")
        << gates(1000, 1000, 30, 0, 30)
        << "/sg_run.shtml?ts1=0&p1=49999&pn1=999&ch1_st1=0&ch1_et1=1500&ch2_st1=0&ch2_et1=1500"
           "&freq1=0&save=1&sg1_run=1";
    QTest::newRow("delay 30 us")
        << gates(1000, 1000, 30, 30, 30)
        << "/sg_run.shtml?ts1=0&p1=49999&pn1=999&ch1_st1=0&ch1_et1=1500&ch2_st1=1500&ch2_et1=3000"
           "&freq1=0&save=1&sg1_run=1";
    QTest::newRow("one pulse, external trigger")
        << gates(100, 1, 10, 0.01, 50, true)
        << "/sg_run.shtml?ts1=2&p1=4999&pn1=0&ch1_st1=0&ch1_et1=500&ch2_st1=0&ch2_et1=2500"
           "&freq1=0&save=1&sg1_run=1";
    Program started = gates(1000, 2, 30, 0, 30);
    started.ledStart = 2;
    QTest::newRow("LED start, each term truncated")
        << started
        << "/sg_run.shtml?ts1=0&p1=49999&pn1=1&ch1_st1=100&ch1_et1=1600&ch2_st1=0&ch2_et1=1500"
           "&freq1=0&save=1&sg1_run=1";
    QTest::newRow("shortest period")
        << gates(0.02, 1, 0, 0, 0)
        << "/sg_run.shtml?ts1=0&p1=0&pn1=0&ch1_st1=0&ch1_et1=0&ch2_st1=0&ch2_et1=0"
           "&freq1=0&save=1&sg1_run=1";
    QTest::newRow("largest values")
        << gates(85899345.92, Q_UINT64_C(4294967296), 85899345.9, 0, 85899345.9)
        << "/sg_run.shtml?ts1=0&p1=4294967295&pn1=4294967295&ch1_st1=0&ch1_et1=4294967295"
           "&ch2_st1=0&ch2_et1=4294967295&freq1=0&save=1&sg1_run=1";
}

void TestTmxRequest::program()
{
    QFETCH(Program, program);
    QFETCH(QString, pathAndQuery);
    QString why;
    QCOMPARE(TmxRequest::programPathAndQuery(program, &why), pathAndQuery);
    QVERIFY(why.isEmpty());
}

void TestTmxRequest::refused_data()
{
    QTest::addColumn<Program>("program");
    QTest::addColumn<QString>("why"); // told to the user

    const QString tick = QStringLiteral("Period must be at least one tick (0.02 us).");
    const QString tooLarge = QStringLiteral("A value is too large for the generator.");
    QTest::newRow("period 0") << gates(0, 10, 30, 0, 30) << tick;
    QTest::newRow("period under one tick") << gates(0.01, 10, 0, 0, 0) << tick;
    QTest::newRow("period not a number") << gates(NaN, 10, 30, 0, 30) << "Period is not a valid time.";
    QTest::newRow("negative period") << gates(-5, 10, 30, 0, 30) << "Period is not a valid time.";
    QTest::newRow("no pulse") << gates(1000, 0, 30, 0, 30) << "Pulse count must be at least 1.";
    QTest::newRow("LED width not a number") << gates(1000, 10, NaN, 0, 30) << "LED width is not a valid time.";
    QTest::newRow("negative delay") << gates(1000, 10, 30, -1, 30) << "Camera delay is not a valid time.";
    QTest::newRow("infinite exposure")
        << gates(1000, 10, 30, 0, std::numeric_limits<double>::infinity()) << "Exposure is not a valid time.";
    QTest::newRow("period too long") << gates(85899345.96, 10, 30, 0, 30) << tooLarge;
    QTest::newRow("too many pulses") << gates(1000, Q_UINT64_C(4294967297), 30, 0, 30) << tooLarge;
    QTest::newRow("gate end too late") << gates(1000, 10, 30, 85899345.9, 0.1) << tooLarge;
    Program start = gates(1000, 10, 0.1, 0, 30);
    start.ledStart = -0.5;
    QTest::newRow("negative LED start") << start << "LED start is not a valid time.";
    // Gate fields as typed in the side panel reach the request through gateValue.
    QTest::newRow("typed period not a number")
        << gates(TmxRequest::gateValue("1O00"), 10, 30, 0, 30) << "Period is not a valid time.";
    QTest::newRow("typed delay empty")
        << gates(1000, 10, 30, TmxRequest::gateValue(""), 30) << "Camera delay is not a valid time.";
    QTest::newRow("typed period 0") << gates(TmxRequest::gateValue("0"), 10, 30, 0, 30) << tick;
}

void TestTmxRequest::refused()
{
    QFETCH(Program, program);
    QFETCH(QString, why);
    QString told;
    QCOMPARE(TmxRequest::programPathAndQuery(program, &told), QString());
    QCOMPARE(told, why);
}

void TestTmxRequest::gateValue()
{
    QCOMPARE(TmxRequest::gateValue("1000"), 1000.0);
    QCOMPARE(TmxRequest::gateValue("12.5"), 12.5);
    QVERIFY(std::isnan(TmxRequest::gateValue("")));
    QVERIFY(std::isnan(TmxRequest::gateValue("1O00")));
}

void TestTmxRequest::fixedPages()
{
    QCOMPARE(TmxRequest::url("192.168.1.5", TmxRequest::StatusPath),
             QStringLiteral("http://192.168.1.5/sg_status.shtml"));
    QCOMPARE(TmxRequest::url("127.0.0.1:8080", TmxRequest::RunPath),
             QStringLiteral("http://127.0.0.1:8080/sg_run.shtml?sg1_run=1"));
}

QTEST_GUILESS_MAIN(TestTmxRequest)
#include "tst_tmx_request.moc"
