#include "analysis/ColourTable.h"

#include <QtTest>

// Colour-table files as the station reads them.
class TestColourTable : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void lengths();
};

void TestColourTable::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QVector<QRgb>>("table");
    QTest::newRow("low 8 bits") << QByteArray("5\t300\t0\t0\n") << QVector<QRgb>{qRgb(44, 0, 0)};
    QTest::newRow("CRLF, no final break") << QByteArray("0\t10\t20\t30\r\n1\t40\t50\t255")
                                          << QVector<QRgb>{qRgb(10, 20, 30), qRgb(40, 50, 255)};
    QTest::newRow("not a number counts 0") << QByteArray("0\tred\t2\t3\n") << QVector<QRgb>{qRgb(0, 2, 3)};
    // A short line keeps its place, so the next line is still value 2's.
    QTest::newRow("short line") << QByteArray("0\t9\t9\t9\n1\t7\n2\t1\t2\t3\n")
                                << QVector<QRgb>{qRgb(9, 9, 9), qRgb(7, 0, 0), qRgb(1, 2, 3)};
    QTest::newRow("empty file") << QByteArray() << QVector<QRgb>();
}

void TestColourTable::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(QVector<QRgb>, table);
    QCOMPARE(ColourTable::parse(text), table); // qRgb is opaque
}

void TestColourTable::lengths()
{
    QByteArray text;
    for (int i = 0; i < 300; ++i)
        text += QByteArray::number(i) + "\t" + QByteArray::number(i) + "\t0\t0\n";
    const QVector<QRgb> table = ColourTable::parse(text);
    QCOMPARE(table.size(), 256); // lines after the 256th are ignored
    QCOMPARE(table.last(), qRgb(255, 0, 0));

    // Values beyond a short table show black; an empty table stays empty.
    const QVector<QRgb> padded = ColourTable::forDisplay({qRgb(1, 2, 3)});
    QCOMPARE(padded.size(), 256);
    QCOMPARE(padded[1], qRgb(0, 0, 0));
    QVERIFY(ColourTable::forDisplay({}).isEmpty());

    QCOMPARE(ColourTable::fileName(2), QStringLiteral("sprectrum.lut"));
    QVERIFY(ColourTable::fileName(5).isEmpty());
    QVector<QRgb> loaded = padded;
    QVERIFY(!ColourTable::load(QStringLiteral("/no/such/folder/rainbow.lut"), &loaded));
    QVERIFY(loaded.isEmpty());

    // A whole table of long lines (three-digit values, CRLF breaks, trailing
    // fields) is read to its 256th line.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("wide.lut")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 256; ++i)
        file.write(QByteArray::number(i) + "\t255\t255\t" + QByteArray::number(i) + "\t0\t0\t0\t0\r\n");
    file.close();
    QVERIFY(ColourTable::load(file.fileName(), &loaded));
    QCOMPARE(loaded.size(), 256);
    QCOMPARE(loaded.last(), qRgb(255, 255, 255));
}

QTEST_APPLESS_MAIN(TestColourTable)
#include "tst_ColourTable.moc"
