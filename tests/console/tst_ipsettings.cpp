#include "ConsoleDriver.h"
#include "ConsoleSettings.h"
#include "ipsettingsdialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

// The IP settings dialog: checking while typing, storing and handing the
// lists on at Set.
class IpSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void firstStart();
    void checksWhileTyping();
    void setStoresAndEmitsInOrder();
    void cancelKeepsEverything();
    void aliasesFollowStations();
    void emptyListsHaveNoEntries();
    void handWrittenLists();

private:
    static QLineEdit* edit(ipsettingsdialog& dialog, const char* name)
    {
        return dialog.findChild<QLineEdit*>(QLatin1String(name));
    }
    static QPushButton* setButton(ipsettingsdialog& dialog)
    {
        return dialog.findChild<QPushButton*>(QStringLiteral("pushButton"));
    }
};

void IpSettingsTest::firstStart()
{
    ipsettingsdialog dialog;
    for (const char* name : {"camEdit", "camAliasEdit", "tmxIPEdit", "tmxMIPEdit"})
        QCOMPARE(edit(dialog, name)->text(), QStringLiteral("192.168.0.0"));
    QCOMPARE(edit(dialog, "lcIPEdit")->text(), QStringLiteral("192.168.2.252"));
    QVERIFY(setButton(dialog)->isEnabled());
}

void IpSettingsTest::checksWhileTyping()
{
    ipsettingsdialog dialog;
    QSignalSpy slaves(&dialog, &ipsettingsdialog::TMXListUpdated);
    QLineEdit* stations = edit(dialog, "camEdit");
    const QString red = QStringLiteral("QLineEdit{background: red;}");
    const QString white = QStringLiteral("QLineEdit{background: white;}");
    for (const char* bad : {"1.2.3.4,,1.2.3.5", "1.2.3.4,", "192.168.0.256", ","}) {
        stations->setText(QString::fromLatin1(bad));
        QCOMPARE(stations->styleSheet(), red);
        QVERIFY(!setButton(dialog)->isEnabled());
    }
    stations->setText(QStringLiteral("192.168. 0.1, 010.001.000.001"));
    QCOMPARE(stations->styleSheet(), white);
    QVERIFY(setButton(dialog)->isEnabled());

    // The slave and lens-controller editors emit the blank-free list each
    // time it is valid, and a bad one holds Set back as the stations' does.
    QSignalSpy controllers(&dialog, &ipsettingsdialog::LCListUpdated);
    for (const char* name : {"lcIPEdit", "tmxIPEdit"}) {
        const QString was = edit(dialog, name)->text();
        edit(dialog, name)->setText(QStringLiteral("192.168.0.30,,192.168.0.31"));
        QCOMPARE(edit(dialog, name)->styleSheet(), red);
        QVERIFY(!setButton(dialog)->isEnabled());
        edit(dialog, name)->setText(was);
        QVERIFY(setButton(dialog)->isEnabled());
    }
    QCOMPARE(controllers.size(), 1); // the list put back, not the bad one
    QCOMPARE(slaves.size(), 1);
    edit(dialog, "tmxIPEdit")->setText(QStringLiteral("192.168.0.30, 192.168.0.203"));
    QCOMPARE(slaves.size(), 2);
    QCOMPARE(slaves.last().first().toStringList(), (QStringList{"192.168.0.30", "192.168.0.203"}));
    edit(dialog, "tmxMIPEdit")->setText(QStringLiteral("192.168.0.3x"));
    QVERIFY(!setButton(dialog)->isEnabled());
    edit(dialog, "tmxMIPEdit")->setText(QStringLiteral(" 192.168.0.34"));
    QVERIFY(setButton(dialog)->isEnabled());

    // An alias that would carry a command of its own.
    edit(dialog, "camAliasEdit")->setText(QStringLiteral("A,B#stop"));
    QCOMPARE(edit(dialog, "camAliasEdit")->styleSheet(), red);
    QVERIFY(!setButton(dialog)->isEnabled());
    edit(dialog, "camAliasEdit")->setText(QStringLiteral("A,#2"));
    QVERIFY(setButton(dialog)->isEnabled());
}

void IpSettingsTest::setStoresAndEmitsInOrder()
{
    {
        ipsettingsdialog dialog;
        QStringList order;
        QList<QVariantList> args;
        connect(&dialog, &ipsettingsdialog::PCListUpdated, [&](const QStringList& a, const QStringList& b) {
            order << "PC";
            args << QVariantList{a, b};
        });
        connect(&dialog, &ipsettingsdialog::TMXListUpdated, [&](const QStringList& a) {
            order << "TMX";
            args << QVariantList{a};
        });
        connect(&dialog, &ipsettingsdialog::masterUpdated, [&](const QString& a) {
            order << "master";
            args << QVariantList{a};
        });
        connect(&dialog, &ipsettingsdialog::LCListUpdated, [&](const QStringList& a) {
            order << "LC";
            args << QVariantList{a};
        });
        connect(&dialog, &ipsettingsdialog::connectLCs, [&] {
            order << "connect";
            args << QVariantList{};
        });
        connect(&dialog, &ipsettingsdialog::camNameUpdated, [&](const QStringList& a) {
            order << "names";
            args << QVariantList{a};
        });
        dialog.show();
        edit(dialog, "camEdit")->setText(QStringLiteral("127.0.0.2, 127.0.0.3"));
        edit(dialog, "camAliasEdit")->setText(QStringLiteral("Left"));
        edit(dialog, "tmxIPEdit")->setText(QStringLiteral("127.0.0.30, 127.0.0.31"));
        edit(dialog, "tmxMIPEdit")->setText(QStringLiteral("127.0.0. 34"));
        edit(dialog, "lcIPEdit")->setText(QStringLiteral("127.0.0.40 ,127.0.0.41"));
        order.clear();
        args.clear();
        setButton(dialog)->click();

        QVERIFY(!dialog.isVisible());
        QCOMPARE(order, (QStringList{"PC", "TMX", "master", "LC", "connect", "names"}));
        const QStringList stations{"127.0.0.2", "127.0.0.3"};
        const QStringList aliases{"Left", "127.0.0.3"};
        QCOMPARE(args[0], (QVariantList{stations, aliases}));
        // Blank-free, though stored as typed.
        QCOMPARE(args[1], (QVariantList{QStringList{"127.0.0.30", "127.0.0.31"}}));
        QCOMPARE(args[2], (QVariantList{QStringLiteral("127.0.0.34")}));
        QCOMPARE(args[3], (QVariantList{QStringList{"127.0.0.40", "127.0.0.41"}}));
        QCOMPARE(args[5], (QVariantList{aliases}));
        QCOMPARE(edit(dialog, "camAliasEdit")->text(), QStringLiteral("Left,127.0.0.3"));
    }
    auto settings = ConsoleSettings::open();
    QCOMPARE(settings->value("PC_IP_LIST").toString(), QStringLiteral("127.0.0.2,127.0.0.3"));
    QCOMPARE(settings->value("PC_Alias_LIST").toString(), QStringLiteral("Left,127.0.0.3"));
    QCOMPARE(settings->value("TMX_SLAVE_IP_LIST").toString(), QStringLiteral("127.0.0.30, 127.0.0.31"));
    QCOMPARE(settings->value("TMX_MASTER_IP").toString(), QStringLiteral("127.0.0. 34"));
    QCOMPARE(settings->value("LC_IP_LIST").toString(), QStringLiteral("127.0.0.40 ,127.0.0.41"));

    // A second start shows what was stored, and Set hands it on unchanged.
    ipsettingsdialog again;
    QCOMPARE(edit(again, "camAliasEdit")->text(), QStringLiteral("Left,127.0.0.3"));
    QCOMPARE(edit(again, "tmxMIPEdit")->text(), QStringLiteral("127.0.0. 34"));
    QSignalSpy stations(&again, &ipsettingsdialog::PCListUpdated);
    setButton(again)->click();
    QCOMPARE(stations.first().at(0).toStringList(), (QStringList{"127.0.0.2", "127.0.0.3"}));
}

void IpSettingsTest::cancelKeepsEverything()
{
    // Cancel closes the dialog and leaves the stored lists and the main
    // window's as they were; Escape and the window's close do not close it.
    ConsoleDriver::writeSettings({{"PC_IP_LIST", "127.0.0.2"}, {"TMX_MASTER_IP", "127.0.0.9"}});
    ipsettingsdialog dialog;
    dialog.show();
    QSignalSpy stations(&dialog, &ipsettingsdialog::PCListUpdated);
    QSignalSpy master(&dialog, &ipsettingsdialog::masterUpdated);
    QSignalSpy aliases(&dialog, &ipsettingsdialog::camNameUpdated);
    edit(dialog, "camEdit")->setText(QStringLiteral("127.0.0.3"));
    edit(dialog, "tmxMIPEdit")->setText(QStringLiteral("127.0.0.8"));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    QVERIFY(dialog.isVisible());
    dialog.findChild<QPushButton*>(QStringLiteral("pushButton_2"))->click();
    QVERIFY(!dialog.isVisible());
    QVERIFY(stations.isEmpty() && master.isEmpty() && aliases.isEmpty());
    auto settings = ConsoleSettings::open();
    QCOMPARE(settings->value("PC_IP_LIST").toString(), QStringLiteral("127.0.0.2"));
    QCOMPARE(settings->value("TMX_MASTER_IP").toString(), QStringLiteral("127.0.0.9"));
}

void IpSettingsTest::aliasesFollowStations()
{
    ipsettingsdialog dialog;
    QSignalSpy names(&dialog, &ipsettingsdialog::camNameUpdated);
    edit(dialog, "camEdit")->setText(QStringLiteral("10.0.0.1,10.0.0.2,10.0.0.3"));
    edit(dialog, "camAliasEdit")->setText(QStringLiteral("A, B, C, D, E"));
    setButton(dialog)->click();
    QCOMPARE(names.last().first().toStringList(), (QStringList{"A", "B", "C"}));
    // An emptied alias edit brings the previous aliases back.
    edit(dialog, "camAliasEdit")->clear();
    setButton(dialog)->click();
    QCOMPARE(names.last().first().toStringList(), (QStringList{"A", "B", "C"}));
    QCOMPARE(edit(dialog, "camAliasEdit")->text(), QStringLiteral("A,B,C"));
}

void IpSettingsTest::emptyListsHaveNoEntries()
{
    // Typed empty: no stations and no lens controllers, stored as empty texts.
    {
        ipsettingsdialog dialog;
        QSignalSpy stations(&dialog, &ipsettingsdialog::PCListUpdated);
        QSignalSpy names(&dialog, &ipsettingsdialog::camNameUpdated);
        QSignalSpy controllers(&dialog, &ipsettingsdialog::LCListUpdated);
        edit(dialog, "camEdit")->setText(QStringLiteral(" "));
        edit(dialog, "camAliasEdit")->setText(QStringLiteral("Left"));
        edit(dialog, "lcIPEdit")->clear();
        QCOMPARE(edit(dialog, "camEdit")->styleSheet(), QStringLiteral("QLineEdit{background: white;}"));
        QVERIFY(setButton(dialog)->isEnabled());
        setButton(dialog)->click();
        QCOMPARE(stations.last(), (QList<QVariant>{QStringList{}, QStringList{}}));
        QCOMPARE(names.last().first().toStringList(), QStringList{});
        QCOMPARE(controllers.last().first().toStringList(), QStringList{});
    }
    QCOMPARE(ConsoleSettings::open()->value("PC_IP_LIST"), QVariant(QString("")));
    QCOMPARE(ConsoleSettings::open()->value("PC_Alias_LIST"), QVariant(QString("")));

    // Stored empty, as written by hand: the same.
    ConsoleDriver::writeSettingsFile("[General]\nPC_IP_LIST=\nPC_Alias_LIST=\nLC_IP_LIST=\n");
    ipsettingsdialog dialog;
    QSignalSpy stations(&dialog, &ipsettingsdialog::PCListUpdated);
    QSignalSpy controllers(&dialog, &ipsettingsdialog::LCListUpdated);
    setButton(dialog)->click();
    QCOMPARE(stations.last(), (QList<QVariant>{QStringList{}, QStringList{}}));
    QCOMPARE(controllers.last().first().toStringList(), QStringList{});
}

void IpSettingsTest::handWrittenLists()
{
    // Lists written by hand without quotes (stored as lists) are read; a
    // value that is no text is said so in its edit and stays stored at Set.
    ConsoleDriver::writeSettingsFile("[General]\nPC_IP_LIST=127.0.0.10,127.0.0.11\nPC_Alias_LIST=Left, Right\n"
                                     "TMX_SLAVE_IP_LIST=@Rect(1 2 3 4)\nTMX_MASTER_IP=127.0.0.5\n"
                                     "LC_IP_LIST=\"127.0.0.20\"\n");
    const QString white = QStringLiteral("QLineEdit{background: white;}");
    {
        ipsettingsdialog dialog;
        QCOMPARE(edit(dialog, "camEdit")->text(), QStringLiteral("127.0.0.10,127.0.0.11"));
        QCOMPARE(edit(dialog, "camEdit")->styleSheet(), white);
        QCOMPARE(edit(dialog, "camAliasEdit")->text(), QStringLiteral("Left,Right"));
        QCOMPARE(edit(dialog, "lcIPEdit")->text(), QStringLiteral("127.0.0.20"));
        QLineEdit* slaves = edit(dialog, "tmxIPEdit");
        QVERIFY(slaves->text().isEmpty());
        QVERIFY(slaves->placeholderText().contains("could not be read"));
        QSignalSpy stations(&dialog, &ipsettingsdialog::PCListUpdated);
        setButton(dialog)->click();
        QCOMPARE(stations.first().at(0).toStringList(), (QStringList{"127.0.0.10", "127.0.0.11"}));
        QCOMPARE(stations.first().at(1).toStringList(), (QStringList{"Left", "Right"}));
    }
    auto settings = ConsoleSettings::open();
    QCOMPARE(settings->value("PC_IP_LIST").toString(), QStringLiteral("127.0.0.10,127.0.0.11"));
    QCOMPARE(settings->value("TMX_SLAVE_IP_LIST").toRect(), QRect(1, 2, 3, 4));
    // Typed in its place, a list is stored.
    {
        ipsettingsdialog dialog;
        edit(dialog, "tmxIPEdit")->setText(QStringLiteral("127.0.0.30"));
        setButton(dialog)->click();
    }
    settings->sync();
    QCOMPARE(settings->value("TMX_SLAVE_IP_LIST").toString(), QStringLiteral("127.0.0.30"));
}

QTEST_MAIN(IpSettingsTest)
#include "tst_ipsettings.moc"
