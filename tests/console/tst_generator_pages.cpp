#include "RunRecord.h"
#include "TmxPageSamples.h"
#include "generators/GeneratorForm.h"
#include "generators/TmxPages.h"
#include "generators/ValueFields.h"

#include <QDateTime>
#include <QtTest>

using GeneratorForm::Values;
using Fields = std::array<qint64, 17>;

Q_DECLARE_METATYPE(GeneratorForm::Values)
Q_DECLARE_METATYPE(Fields)

namespace {

// The fields of the worked example of a slave's page.
const Fields Example{0, 1, 49999, 99999, 9, 0, 0, 0, 500, 1000, 100, 0, 600, 2000, 0, 1, 0};

// Every field away from its default, a code that needs the mapping, an exponent.
const Values Sample{{6, 0}, {2.5, 10735.1}, {40000, 7}, {{0.5, 4e-05}, {3, 5}}, {{0.25, 1}, {4, 6}}, {3, 2}};

} // namespace

// The generator form's requests and profile records, the generator pages,
// and the run log's texts.
class GeneratorPagesTest : public QObject
{
    Q_OBJECT

private slots:
    void applyQuery_data();
    void applyQuery();
    void sourceCodes();
    void profileRecords();
    void slaveBlock_data();
    void slaveBlock();
    void triggerSources_data();
    void triggerSources();
    void slavePageShapes();
    void masterPage();
    void valueFieldsAsThePattern_data();
    void valueFieldsAsThePattern();
    void largePages();
    void statusPage();
    void runRecord();
};

void GeneratorPagesTest::applyQuery_data()
{
    QTest::addColumn<Values>("form");
    QTest::addColumn<QString>("pathAndQuery");
    QTest::newRow("defaults") << Values()
                              << "/sg_hr_run.shtml?ts1=2&ts2=1&p1=1000&p2=1000&pn1=1&pn2=1&ch1_st1=0&ch1_st2=0"
                                 "&ch1_et1=10&ch1_et2=10&ch2_st1=0&ch2_st2=0&ch2_et1=10&ch2_et2=10&freq1=0&freq2=0&save=1";
    Values f = Sample;
    f.period[0] = 10735.12345;
    f.period[1] = 1234.56789;
    f.pulses[0] = 131072;
    QTest::newRow("times, codes, largest count")
        << f
        << "/sg_hr_run.shtml?ts1=6&ts2=0&p1=10735.1&p2=1234.57&pn1=131072&pn2=7&ch1_st1=0.5&ch1_st2=3"
           "&ch1_et1=0.75&ch1_et2=7&ch2_st1=4e-05&ch2_st2=5&ch2_et1=1.00004&ch2_et2=11&freq1=3&freq2=2&save=1";
}

void GeneratorPagesTest::applyQuery()
{
    QFETCH(Values, form);
    QFETCH(QString, pathAndQuery);
    QCOMPARE(GeneratorForm::applyPathAndQuery(form), pathAndQuery);
}

void GeneratorPagesTest::sourceCodes()
{
    for (int i = 0; i < 5; ++i)
        QCOMPARE(GeneratorForm::sourceIndex(0, GeneratorForm::sourceCode(0, i)), i);
    QCOMPARE(GeneratorForm::sourceCode(0, 4), 6);
    QCOMPARE(GeneratorForm::sourceIndex(0, 3), -1); // no such source: the combo stays
    QCOMPARE(GeneratorForm::sourceIndex(1, 2), -1);
}

void GeneratorPagesTest::profileRecords()
{
    QCOMPARE(GeneratorForm::profileRecord(Values()), QStringLiteral("2|1|1000|1000|1|1|0|10|0|10|0|10|0|10|0|0"));
    const Values f = Sample;
    QCOMPARE(GeneratorForm::profileRecord(f), QStringLiteral("6|0|2.5|10735.1|40000|7|0.5|0.25|4e-05|1|3|4|5|6|3|2"));
    QVERIFY(GeneratorForm::fromProfileRecord(GeneratorForm::profileRecord(f)) == f);

    QCOMPARE(GeneratorForm::profileRecord(GeneratorForm::fromProfileRecord(GeneratorForm::MissingProfileRecord)),
             QString::fromLatin1(GeneratorForm::MissingProfileRecord));
    // Written by another tool: absent and unreadable fields read as 0.
    QCOMPARE(GeneratorForm::profileRecord(GeneratorForm::fromProfileRecord(QStringLiteral("4|1|250|x|9"))),
             QStringLiteral("4|1|250|0|9|0|0|0|0|0|0|0|0|0|0|0"));
    QCOMPARE(GeneratorForm::fromProfileRecord(QStringLiteral("0|0|nan|inf")).period[0], 0.0);
    QVERIFY(GeneratorForm::fromProfileRecord(GeneratorForm::profileRecord(f) + QStringLiteral("|7|8")) == f);
}

void GeneratorPagesTest::slaveBlock_data()
{
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<QString>("block");
    QTest::newRow("worked example") << Example
                                    << "\tPulses1=10\r\n\tPulses2=1\r\n\tPeriod1=0.99998ms\r\n\tPeriod2=3.99996ms\r\n"
                                       "\tTrigger_Source1=(Software)\r\n\tTrigger_Source2=(Generator 1 Slave)\r\n"
                                       "\tdelay1=0ms width1=0.01ms\r\n\tdelay2=0.002ms width2=0.01ms\r\n"
                                       "\tdelay3=0ms width3=0.04ms\r\n\tdelay4=0ms width4=0.08ms\r\n";
    // Time unit 2 scales by four; trigger code 3 has no name.
    QTest::newRow("unit 2, code 3") << Fields{3, 7, 50000, 0, 0, 0, 50000, 0, 100000, 0, 0, 0, 0, 0, 2, 0, 0}
                                    << "\tPulses1=1\r\n\tPulses2=1\r\n\tPeriod1=4ms\r\n\tPeriod2=0ms\r\n"
                                       "\tTrigger_Source1=()\r\n\tTrigger_Source2=()\r\n"
                                       "\tdelay1=4ms width1=4ms\r\n\tdelay2=0ms width2=0ms\r\n"
                                       "\tdelay3=0ms width3=0ms\r\n\tdelay4=0ms width4=0ms\r\n";
    // The device's 32-bit arithmetic: unit 31 scales by -2^31, unit 33 by 2
    // (modulo 32); the largest count plus one; a value beyond 32 bits reads as 0.
    QTest::newRow("32-bit edges")
        << Fields{6, 1, 1, 1, 2147483647, 4294967296, 0, 0, 2147483647, 0, 2147483647, 0, 0, 0, 31, 33, 0}
        << "\tPulses1=2147483648\r\n\tPulses2=1\r\n\tPeriod1=-42949.7ms\r\n\tPeriod2=4e-05ms\r\n"
           "\tTrigger_Source1=(Ext. Trig. High Level)\r\n\tTrigger_Source2=(Generator 1 Slave)\r\n"
           "\tdelay1=0ms width1=-9.223372033e+13ms\r\n\tdelay2=-9.223372033e+13ms width2=9.223372033e+13ms\r\n"
           "\tdelay3=0ms width3=0ms\r\n\tdelay4=0ms width4=0ms\r\n";
}

void GeneratorPagesTest::slaveBlock()
{
    QFETCH(Fields, fields);
    QFETCH(QString, block);
    const auto values = TmxPages::readSlavePage(TmxPages::pageText(TmxPageSamples::slavePage(fields)));
    QVERIFY(values);
    QCOMPARE(TmxPages::slaveBlock(*values), block);
}

void GeneratorPagesTest::triggerSources_data()
{
    // The device's trigger codes as the log names them (the worked example
    // has 0 and 1, the edges row 6); generator 2 knows 0 and 1 only.
    QTest::addColumn<int>("code1");
    QTest::addColumn<int>("code2");
    QTest::addColumn<QString>("lines");
    QTest::newRow("sync") << 1 << 0 << "\tTrigger_Source1=(Ext. Sync)\r\n\tTrigger_Source2=(Software)\r\n";
    QTest::newRow("raising") << 2 << 2 << "\tTrigger_Source1=(Ext. Trig. Raising Edge)\r\n\tTrigger_Source2=()\r\n";
    QTest::newRow("lowering") << 4 << 1
                              << "\tTrigger_Source1=(Ext. Trig. Lowering Edge)\r\n\tTrigger_Source2=(Generator 1 Slave)\r\n";
}

void GeneratorPagesTest::triggerSources()
{
    QFETCH(int, code1);
    QFETCH(int, code2);
    QFETCH(QString, lines);
    Fields fields = Example;
    fields[0] = code1;
    fields[1] = code2;
    const auto values = TmxPages::readSlavePage(TmxPages::pageText(TmxPageSamples::slavePage(fields)));
    QVERIFY(values);
    const QString block = TmxPages::slaveBlock(*values);
    QVERIFY2(block.contains(lines), qPrintable(block));
}

void GeneratorPagesTest::slavePageShapes()
{
    QByteArray page = TmxPageSamples::slavePage(Example);
    QVERIFY(TmxPages::readSlavePage(TmxPages::pageText(page)));
    // The fourth value closed by a single double quote.
    QByteArray single = page;
    single.replace("99999\"\"", "99999\"");
    QVERIFY(!TmxPages::readSlavePage(TmxPages::pageText(single)));
    // Sixteen values only.
    QVERIFY(!TmxPages::readSlavePage(TmxPages::pageText(page.left(page.lastIndexOf("<input")))));
    // NUL bytes inside do not end the text.
    page.replace("49999", QByteArray("49\0" "999", 6));
    QCOMPARE((*TmxPages::readSlavePage(TmxPages::pageText(page)))[2], 49999);
}

void GeneratorPagesTest::masterPage()
{
    const Values f = Sample;
    bool understood = false;
    QVERIFY(TmxPages::readMasterPage(TmxPages::pageText(TmxPageSamples::masterPage(f)), Values(), &understood) == f);
    QVERIFY(understood);

    // Without the closing pair of quotes after the second value, the values
    // stay as shown; the lists still count.
    Values shown;
    shown.period[0] = 77;
    QByteArray page = TmxPageSamples::masterPage(f);
    page.replace("10735.1\"\"", "10735.1\"");
    Values read = TmxPages::readMasterPage(TmxPages::pageText(page), shown, &understood);
    QVERIFY(!understood);
    QCOMPARE(read.period[0], 77.0);
    QCOMPARE(read.width[1][1], 10.0);
    QCOMPARE(read.source[0], 6);
    QCOMPARE(read.timeUnit[1], 2);

    // Without the "ts1" list the source stays as shown.
    page = TmxPageSamples::masterPage(f);
    page.replace("select name=\"ts1\"", "select name=\"tsX\"");
    read = TmxPages::readMasterPage(TmxPages::pageText(page), shown, &understood);
    QVERIFY(!understood);
    QCOMPARE(read.source[0], shown.source[0]);
    QCOMPARE(read.period[1], 10735.1);

    read = TmxPages::readMasterPage(QStringLiteral("<html>Not Found</html>"), shown, &understood);
    QVERIFY(!understood);
    QVERIFY(read == shown);
}

void GeneratorPagesTest::valueFieldsAsThePattern_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");
    // Fields of the master's pattern from `first` on, against texts with
    // ambiguous ends, exponents, doubled quotes and surplus values.
    QTest::newRow("ends") << 4 << 2 << "x value=\"12\"3\" value=\"7\"y\" value=\"1e-05\" value=\"2.5\"";
    QTest::newRow("exponent") << 4 << 3 << "value=\"4e-05\" value=\"1\" value=\"2\"\" value=\"3e-1\"";
    QTest::newRow("surplus") << 2 << 3 << "value=\"1\" value=\"2\" value=\"3\" value=\"4\" value=\"5\" value=\"6\"";
    QTest::newRow("second closed twice") << 0 << 3 << "value=\"1.5\" value=\"2x5\"\" value=\"3\"\" value=\"4\"";
    QTest::newRow("no match") << 0 << 3 << "value=\"1.5\" value=\"2\" value=\"3\"";
    QTest::newRow("adjacent") << 2 << 2 << "value=\"1\"value=\"2\"value=\"3\"";
}

void GeneratorPagesTest::valueFieldsAsThePattern()
{
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(QString, text);
    const QString time = QStringLiteral(".*value=\"(\\d+.?\\d{0,10}|\\d+e\\-\\d{2})\"");
    QCOMPARE(ValueFields::pattern(TmxPages::masterValueFields()),
             QStringLiteral("value=\"(\\d+\\.?\\d{0,10})\".*value=\"(\\d+.?\\d{0,10})\"\".*value=\"(\\d+)\".*value=\"(\\d+)\"")
                 + time.repeated(9));
    QCOMPARE(ValueFields::pattern(TmxPages::slaveValueFields()),
             QStringLiteral("value=\"(\\d+)\".*value=\"(\\d+)\".*value=\"(\\d+)\".*value=\"(\\d+)\"\"")
                 + QStringLiteral(".*value=\"(\\d+)\"").repeated(13));
    const QVector<ValueFields::Field> fields = TmxPages::masterValueFields().mid(first, count);
    const QRegularExpressionMatch expected =
        QRegularExpression(ValueFields::pattern(fields), QRegularExpression::DotMatchesEverythingOption).match(text);
    const auto values = ValueFields::match(text, fields);
    QCOMPARE(bool(values), expected.hasMatch());
    if (values)
        QCOMPARE(*values, expected.capturedTexts().mid(1));
}

void GeneratorPagesTest::largePages()
{
    // A page the size of the largest answer taken, full of values: read to
    // its end (a backtracking engine gives up on far smaller ones).
    QByteArray page;
    while (page.size() < TmxPages::MaxPageBytes - 20)
        page += "value=\"12\"\" x ";
    bool understood = true;
    TmxPages::readMasterPage(TmxPages::pageText(page), Values(), &understood);
    QVERIFY(TmxPages::readSlavePage(TmxPages::pageText(page)));
    // The master's own page, which the engine's match limit already refused.
    Values f = Sample;
    f.width[0][1] = 4e-05;
    f.delay[1][1] = 0.125;
    QVERIFY(TmxPages::readMasterPage(TmxPages::pageText(TmxPageSamples::masterPage(f)), Values(), &understood) == f);
}

void GeneratorPagesTest::statusPage()
{
    const auto outputs = TmxPages::readStatusPage(TmxPages::pageText(TmxPageSamples::statusPage("Running", "Stopped"), true));
    QVERIFY(outputs);
    QVERIFY(outputs->generator1);
    QVERIFY(!outputs->generator2);
    QByteArray oneBlank = TmxPageSamples::statusPage("Stopped", "Running");
    oneBlank.replace("  Generator 2", " Generator 2");
    QVERIFY(!TmxPages::readStatusPage(TmxPages::pageText(oneBlank, true)));
}

void GeneratorPagesTest::runRecord()
{
    const QDateTime when(QDate(2026, 12, 8), QTime(9, 5, 1));
    QCOMPARE(RunRecord::timestamp(when), QStringLiteral("Tue Dec 8 2026 09:05:01"));
    QCOMPARE(RunRecord::startLine(when), QStringLiteral("Tue Dec 8 2026 09:05:01 Start logging\r\n"));
    QCOMPARE(RunRecord::comments(QStringLiteral("one\ntwo\nthree")), QStringLiteral(" Comments: one two three"));

    RunRecord::Run run;
    run.stations = QStringList{"10.0.0.1", "10.0.0.2"};
    run.master = QStringLiteral("10.0.0.9");
    run.frames = QStringLiteral("10");
    run.folder = QStringLiteral("/data/%6/");
    run.prefix = QStringLiteral("run_%1");
    run.point = QStringLiteral("p");
    run.exposure = QStringLiteral("100");
    QCOMPARE(RunRecord::record(run), QStringLiteral(" Camlist = 10.0.0.1,10.0.0.2\r\n SlaveTMXlist = \r\n"
                                                    " MasterTMX = 10.0.0.9\r\n Exposure=100us\r\n Frames=10\r\n"
                                                    " Folder=/data/%6/\r\n File_prefix=run_%1\r\n Point=p\r\n"));
}

QTEST_GUILESS_MAIN(GeneratorPagesTest)
#include "tst_generator_pages.moc"
