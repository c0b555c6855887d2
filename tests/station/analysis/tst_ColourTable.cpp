#include "analysis/ColourTable.h"

#include <QtTest>

// Colour-table files as the station reads them.
class TestColourTable : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void longFile();
    void fileNames();
    void shippedTables();
};

void TestColourTable::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QVector<QRgb>>("table");
    QTest::newRow("low 8 bits") << QByteArray("5\t300\t0\t0\n") << QVector<QRgb>{qRgb(44, 0, 0)};
    QTest::newRow("three colours") << QByteArray("0\t1\t2\t3\n1\t4\t5\t6\n2\t7\t8\t9\n")
                                   << QVector<QRgb>{qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9)};
    QTest::newRow("CRLF") << QByteArray("0\t10\t20\t30\r\n1\t40\t50\t255\r\n")
                          << QVector<QRgb>{qRgb(10, 20, 30), qRgb(40, 50, 255)};
    QTest::newRow("no final line break") << QByteArray("0\t1\t2\t3") << QVector<QRgb>{qRgb(1, 2, 3)};
    QTest::newRow("not a number counts 0") << QByteArray("0\tred\t2\t3\n") << QVector<QRgb>{qRgb(0, 2, 3)};
    // A short line keeps its place, so the next line is still value 2's.
    QTest::newRow("short line") << QByteArray("0\t9\t9\t9\n1\t7\n2\t1\t2\t3\n")
                                << QVector<QRgb>{qRgb(9, 9, 9), qRgb(7, 0, 0), qRgb(1, 2, 3)};
    QTest::newRow("empty line") << QByteArray("0\t9\t9\t9\n\n2\t1\t2\t3\n")
                                << QVector<QRgb>{qRgb(9, 9, 9), qRgb(0, 0, 0), qRgb(1, 2, 3)};
    QTest::newRow("negative") << QByteArray("0\t-1\t0\t0\n") << QVector<QRgb>{qRgb(255, 0, 0)};
    QTest::newRow("empty file") << QByteArray() << QVector<QRgb>();
}

void TestColourTable::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(QVector<QRgb>, table);
    const QVector<QRgb> parsed = ColourTable::parse(text);
    QCOMPARE(parsed, table);
    for (QRgb colour : parsed)
        QCOMPARE(qAlpha(colour), 255);
}

void TestColourTable::longFile()
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
    QCOMPARE(padded[0], qRgb(1, 2, 3));
    QCOMPARE(padded[1], qRgb(0, 0, 0));
    QCOMPARE(padded[255], qRgb(0, 0, 0));
    QVERIFY(ColourTable::forDisplay({}).isEmpty());
}

void TestColourTable::fileNames()
{
    QCOMPARE(ColourTable::fileName(0), QStringLiteral("gray.lut"));
    QCOMPARE(ColourTable::fileName(1), QStringLiteral("rainbow.lut"));
    QCOMPARE(ColourTable::fileName(2), QStringLiteral("sprectrum.lut"));
    QCOMPARE(ColourTable::fileName(3), QStringLiteral("fire.lut"));
    QCOMPARE(ColourTable::fileName(4), QStringLiteral("edges.lut"));
    QVERIFY(ColourTable::fileName(5).isEmpty());
    QVERIFY(ColourTable::fileName(-1).isEmpty());
}

void TestColourTable::shippedTables()
{
    // The build puts our tables next to the program; each is complete.
    for (int index = 0; index < 5; ++index) {
        QFile file(QCoreApplication::applicationDirPath() + QLatin1Char('/') + ColourTable::fileName(index));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QVector<QRgb> table = ColourTable::parse(file.readAll());
        QCOMPARE(table.size(), 256);
        if (index == 0)
            QCOMPARE(table[200], qRgb(200, 200, 200));
    }
}

QTEST_GUILESS_MAIN(TestColourTable)
#include "tst_ColourTable.moc"
