#include "runs/setIPDlg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class TestSetIpDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void addresses_data();
    void addresses();
    void storedAddressShown();
    void defaultAddressIsIncomplete();
    void groupBoxEnablesButton();
    void confirmWithAddress_data();
    void confirmWithAddress();
    void confirmWithoutControl();
    void onlyTheButtonCloses();
};

namespace {

struct Form
{
    explicit Form(setIPDlg& d)
        : line(d.findChild<QLineEdit*>("lineEdit")), button(d.findChild<QPushButton*>("pushButton")),
          group(d.findChild<QGroupBox*>("groupBox")), external(d.findChild<QCheckBox*>("checkBox"))
    {
    }
    bool complete() const { return line && button && group && external; }
    QLineEdit* line;
    QPushButton* button;
    QGroupBox* group;
    QCheckBox* external;
};

const QString White = QStringLiteral("QLineEdit{background: white;}");
const QString Red = QStringLiteral("QLineEdit{background: red;}");

} // namespace

void TestSetIpDlg::init()
{
    QSettings("Kessane", "Lumivar").clear();
}

void TestSetIpDlg::addresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("full") << "192.168.1.10" << true;
    QTest::newRow("limits") << "0.0.0.0" << true;
    QTest::newRow("255") << "255.255.255.255" << true;
    QTest::newRow("leading zero") << "010.001.1.1" << true;
    QTest::newRow("incomplete") << "192.168." << false;
    QTest::newRow("256") << "192.168.1.256" << false;
    QTest::newRow("256 first") << "256.168.1.1" << false;
    QTest::newRow("300 inside") << "192.300.1.1" << false;
    QTest::newRow("five parts") << "1.2.3.4.5" << false;
    QTest::newRow("trailing blank") << "1.2.3.4 " << false;
    QTest::newRow("with port") << "1.2.3.4:80" << false;
    QTest::newRow("name") << "tmx.local" << false;
    QTest::newRow("empty") << "" << false;
}

void TestSetIpDlg::addresses()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(setIPDlg::isValidAddress(text), valid);

    setIPDlg dialog;
    Form form(dialog);
    QVERIFY(form.complete());
    form.line->setText(text);
    QCOMPARE(form.line->styleSheet(), valid ? White : Red);
    QCOMPARE(form.button->isEnabled(), valid);
}

void TestSetIpDlg::storedAddressShown()
{
    QSettings("Kessane", "Lumivar").setValue("LAST_TMX_IP", "10.1.2.3");
    setIPDlg dialog;
    Form form(dialog);
    QCOMPARE(form.line->text(), QStringLiteral("10.1.2.3"));
    QCOMPARE(form.line->styleSheet(), White);
    QVERIFY(form.button->isEnabled());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("TMX IP Address"));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
}

void TestSetIpDlg::defaultAddressIsIncomplete()
{
    setIPDlg dialog;
    Form form(dialog);
    QCOMPARE(form.line->text(), QStringLiteral("192.168."));
    QCOMPARE(form.line->styleSheet(), Red);
    QVERIFY(!form.button->isEnabled());
    QVERIFY(form.group->isChecked());
    QVERIFY(!form.external->isChecked());
}

void TestSetIpDlg::groupBoxEnablesButton()
{
    setIPDlg dialog;
    Form form(dialog);
    form.group->setChecked(false);
    QVERIFY(form.button->isEnabled());
    QCOMPARE(form.button->text(), QStringLiteral("Cancel"));
    form.group->setChecked(true);
    // Still red, but the toggle enables the button.
    QCOMPARE(form.line->styleSheet(), Red);
    QVERIFY(form.button->isEnabled());
    QCOMPARE(form.button->text(), QStringLiteral("OK"));
}

void TestSetIpDlg::confirmWithAddress_data()
{
    QTest::addColumn<bool>("external");
    QTest::newRow("externally triggered") << true;
    QTest::newRow("free-running") << false;
}

void TestSetIpDlg::confirmWithAddress()
{
    QFETCH(bool, external);
    setIPDlg dialog;
    Form form(dialog);
    QSignalSpy spy(&dialog, &setIPDlg::hasIP);
    dialog.show();
    form.line->setText("192.168.7.9");
    form.external->setChecked(!external);
    form.external->setChecked(external);
    QTest::mouseClick(form.button, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).toString(), QStringLiteral("192.168.7.9"));
    QCOMPARE(spy.first().at(1).toBool(), external);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(QSettings("Kessane", "Lumivar").value("LAST_TMX_IP").toString(), QStringLiteral("192.168.7.9"));
}

void TestSetIpDlg::confirmWithoutControl()
{
    QSettings("Kessane", "Lumivar").setValue("LAST_TMX_IP", "10.1.2.3");
    setIPDlg dialog;
    Form form(dialog);
    QSignalSpy spy(&dialog, &setIPDlg::hasIP);
    dialog.show();
    form.line->setText("10.9.9.9");
    form.external->setChecked(true);
    form.group->setChecked(false);
    QTest::mouseClick(form.button, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).toString(), QString());
    QCOMPARE(spy.first().at(1).toBool(), false);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(QSettings("Kessane", "Lumivar").value("LAST_TMX_IP").toString(), QStringLiteral("10.1.2.3"));
}

void TestSetIpDlg::onlyTheButtonCloses()
{
    setIPDlg dialog;
    QSignalSpy spy(&dialog, &setIPDlg::hasIP);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!dialog.close());
    QVERIFY(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    QCOMPARE(spy.count(), 0);
}

QTEST_MAIN(TestSetIpDlg)
#include "tst_set_ip_dlg.moc"
