#include "ConsoleSettings.h"
#include "ScriptedPrompt.h"
#include "multilcDlg.h"

#include <QComboBox>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

// The lens presets' names: each goes to every station as a command value
// and is kept by name in the store, so a name that would carry a command of
// its own or that the store would read as a group is refused, with a
// warning, before anything is sent or kept.
class ConsolePresetsTest : public QObject
{
    Q_OBJECT

private slots:
    void names_data();
    void names();
};

void ConsolePresetsTest::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("taken");
    QTest::newRow("words") << "Near field" << true;
    QTest::newRow("hash digit") << "#1" << true;
    QTest::newRow("slash") << "near/far" << false;
    QTest::newRow("backslash") << "near\\far" << false;
    QTest::newRow("command") << "x#stop" << false;
    QTest::newRow("line feed") << "near\nfar" << false;
}

void ConsolePresetsTest::names()
{
    QFETCH(QString, name);
    QFETCH(bool, taken);
    ConsoleSettings::openLensPresets()->remove(QString());
    ScriptedPrompt prompt;
    multilcDlg dialog;
    dialog.fillProfiles();
    QSignalSpy saved(&dialog, &multilcDlg::saveProfile);
    prompt.textAnswers << name;
    dialog.saveSettings();
    QCOMPARE(saved.count(), taken ? 1 : 0);
    QCOMPARE(ConsoleSettings::openLensPresets()->allKeys(), taken ? QStringList{name} : QStringList{});
    QCOMPARE(dialog.findChild<QComboBox*>()->count(), taken ? 1 : 0);
    QCOMPARE(prompt.titles().size(), taken ? 1 : 2); // the name's input, and the warning
    if (!taken)
        QCOMPARE(prompt.shown.last().kind, QStringLiteral("warning"));
}

QTEST_MAIN(ConsolePresetsTest)
#include "tst_console_presets.moc"
