#include "LensProtocol.h"
#include "LensReplyParser.h"

#include <QtTest>

using namespace LensProtocol;

// The controller's command texts, the packet channel's bytes and the reply
// parser, without sockets.
class TestLensProtocol : public QObject
{
    Q_OBJECT

private slots:
    void commands();
    void packets();
    void replies_data();
    void replies();
    void replyTexts();
    void identity();
};

void TestLensProtocol::commands()
{
    QCOMPARE(nameValue(MoveFocus, 12), QByteArray("moveFocus=12"));
    QCOMPARE(nameValue(MoveFocus, -24), QByteArray("moveFocus=-24"));
    QCOMPARE(moveFocus(-40), QByteArray("moveFocus=-40"));
    QCOMPARE(nameValue(ZoomN, 5), QByteArray("ZoomN=5"));
    QCOMPARE(setFocus(1200), QByteArray("setFocus=1200"));
    QCOMPARE(setAper(5.6), QByteArray("setAper=5.6"));
    QCOMPARE(setAper(4), QByteArray("setAper=4"));
    QCOMPARE(setAper(2.8f), QByteArray("setAper=2.8")); // a float f-number keeps its short form
    QCOMPARE(setAper(1.23456789), QByteArray("setAper=1.23457"));
    QCOMPARE(changeIp("10.0.0.7"), QByteArray("ChangeIP=10.0.0.7"));
}

void TestLensProtocol::packets()
{
    const QByteArray zoomWideStart("\xff\x03\x06\x01\0\0\0\0\0\0\0\0\0\0\x09", 15); // 265 mod 256
    QCOMPARE(movePacket(PacketMove::ZoomWide, 1), zoomWideStart);
    QCOMPARE(movePacket(PacketMove::IrisOpen, 0), QByteArray("\xff\x2e\x03\0\0\0\0\0\0\0\0\0\0\0\x30", 15));
    QCOMPARE(queryPacket(PacketQuery::Iris), QByteArray("\xff\x08\x02\0\0\0\0\0\0\0\0\0\0\0\x09", 15));

    QCOMPARE(packetReplyPosition(QByteArray("\x08\x12\x34", 3)), std::optional<int>(0x1234));
    QCOMPARE(packetReplyPosition(QByteArray("\x08\xff\xff", 3)), std::optional<int>(65535));
    QVERIFY(!packetReplyPosition(QByteArray("\x12\x34", 2)));
    QVERIFY(!packetReplyPosition(QByteArray("\x08\x12\x34\x08", 4)));

    QCOMPARE(packetMoveNamed("FocusFar"), std::optional<PacketMove>(PacketMove::FocusFar));
    QCOMPARE(packetQueryNamed("FocusFar"), std::optional<PacketQuery>(PacketQuery::Focus));
    QCOMPARE(packetMoveNamed("IrisOpen"), std::optional<PacketMove>(PacketMove::IrisOpen));
    QVERIFY(!packetMoveNamed("Zoom"));
    QCOMPARE(packetQueryNamed("Zoom"), std::optional<PacketQuery>(PacketQuery::Zoom));
    QVERIFY(!packetQueryNamed("Pan"));
}

namespace {

template<typename T>
void add(QStringList& out, const char* key, const std::optional<T>& value)
{
    if (value)
        out << QStringLiteral("%1=%2").arg(QLatin1String(key)).arg(*value);
}

// The effects of one reply as one line, so that a table row states them all.
QString describe(const LensReplyEffects& e)
{
    QStringList out;
    if (e.identified)
        out << "identified";
    add(out, "lens", e.lensText);
    add(out, "zoom", e.zoomPosition);
    add(out, "focusUpdate", e.focusUpdate);
    add(out, "aperture", e.apertureUpdate);
    add(out, "close", e.closeLabel);
    add(out, "open", e.openLabel);
    add(out, "far", e.farLabel);
    add(out, "near", e.nearLabel);
    add(out, "device", e.deviceLabel);
    add(out, "af", e.af);
    add(out, "name", e.controllerName);
    if (e.focusDone)
        out << "focusDone";
    if (e.irisDone)
        out << "irisDone";
    add(out, "focusReport", e.focusReport);
    add(out, "irisReport", e.irisReport);
    if (e.enableControls)
        out << "enable";
    if (e.resumePinger)
        out << "resume";
    if (e.pingerMissBack)
        out << "missBack";
    return out.join(QLatin1Char(' '));
}

} // namespace

void TestLensProtocol::replies_data()
{
    QTest::addColumn<QStringList>("replies"); // parsed in order by one parser
    QTest::addColumn<QString>("last");        // effects of the last one

    QTest::newRow("positions") << QStringList{"Current=10,200,4"} << "zoom=10 focusUpdate=200 aperture=4 resume";
    QTest::newRow("aperture range later")
        << QStringList{"Current=10,200,4", "aRange=1.4,22"} << "close=f/1.4 open=f/22";
    // The range's removal leaves the positions' numbers for its own test.
    QTest::newRow("positions and range in one")
        << QStringList{"Current=10,200,4aRange=1.4,22"} << "zoom=10 focusUpdate=200 aperture=0 close=n/a open=n/a resume";
    QTest::newRow("aperture range out of bounds: no summary")
        << QStringList{"zRange=24,70", "aRange=45,64", "AF=1"} << "af=1 enable resume";
    QTest::newRow("zoom lens summary")
        << QStringList{"Kessane Brevan=2.1d4", "zRange=24,70", "aRange=2.8,22", "fRange=0,1000"}
        << "far=0 near=1000 device=Device: Kessane Brevan v.2.14 @10.0.0.5  Lens: <b>24-70mm f/2.8</b> enable";
    QTest::newRow("prime lens, AF off")
        << QStringList{"zRange=50,50", "aRange=2.8,22", "AF=0"}
        << "device=Device:  v. @10.0.0.5  Lens: <b>50mm f/2.8</b> af=0 enable resume";
    QTest::newRow("AF=10 is on") << QStringList{"AF=10"} << "af=1 enable resume";
    QTest::newRow("AF=1 only at the start is on")
        << QStringList{"NAME=AF=1"} << "af=0 name=LC Name: <b>AF=1<b> enable resume";
    QTest::newRow("zoom range") << QStringList{"zRange=24,70"} << "missBack";
    QTest::newRow("no lens") << QStringList{"nolensfound"} << "lens=Lens: N/A  resume";
    QTest::newRow("name of blanks") << QStringList{"NAME=   "} << "";
    QTest::newRow("empty name") << QStringList{"NAME="} << "name=LC Name: <b><b>";
    QTest::newRow("name") << QStringList{"NAME=bench"} << "name=LC Name: <b>BENCH<b>";
    QTest::newRow("name is text, not markup") << QStringList{"NAME=<i>x"} << "name=LC Name: <b>&lt;I&gt;X<b>";
    QTest::newRow("focus done") << QStringList{"focusDone"} << "focusDone";
    QTest::newRow("focus done beside a report") << QStringList{"Focus=5focusDone"} << "focusDone";
    QTest::newRow("focus report") << QStringList{"Focus=1234"} << "focusReport=1234 enable resume";
    QTest::newRow("iris report") << QStringList{"Iris=5.6"} << "irisDone irisReport=5.6";
    QTest::newRow("unknown") << QStringList{"hello"} << "";
    // Fewer fields than a test reads: that test changes nothing.
    QTest::newRow("short positions") << QStringList{"Current=10,200"} << "";
    QTest::newRow("short aperture range still ends") << QStringList{"aRange=1.4focusDone"} << "";
    QTest::newRow("short zoom range") << QStringList{"zRange=24"} << "";
    QTest::newRow("short focus range") << QStringList{"fRange=100"} << "";
    QTest::newRow("report word without value") << QStringList{"NAME=Focus"} << "name=LC Name: <b>FOCUS<b>";
}

void TestLensProtocol::replies()
{
    QFETCH(QStringList, replies);
    QFETCH(QString, last);
    LensReplyParser parser;
    parser.setAddress("10.0.0.5");
    LensReplyEffects effects;
    for (const QString& reply : replies)
        effects = parser.parse(reply);
    QCOMPARE(describe(effects), last);
}

// A reply's text is Latin-1 and ends at a NUL, as a controller's C string does.
void TestLensProtocol::replyTexts()
{
    QCOMPARE(replyText(QByteArray("Focus=1234\0\0", 12)), QString("Focus=1234"));
    QCOMPARE(replyText(QByteArray("NAME=b\xe9nch")), QString::fromUtf8("NAME=b\u00e9nch"));
}

void TestLensProtocol::identity()
{
    LensReplyParser parser;
    LensReplyEffects e = parser.parse("Kessane KT-3=1.0d2d");
    QVERIFY(e.identified);
    QCOMPARE(parser.state().deviceName, QString("Kessane KT-3"));
    QCOMPARE(parser.state().version, QString("1.02"));
    // Parsing goes on with the later tests on the same text.
    e = parser.parse("Kessane Brevan=3nolensfound");
    QVERIFY(e.identified && e.lensText);
    QVERIFY(!parser.parse("Kessane  Brevan=1").identified);
    QVERIFY(!parser.parse("kessane Brevan=1").identified);
}

QTEST_APPLESS_MAIN(TestLensProtocol)
#include "tst_lens_protocol.moc"
