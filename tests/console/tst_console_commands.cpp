#include "CommandLog.h"
#include "ConsoleDriver.h"
#include "ScriptedPrompt.h"
#include "camstatusdialog.h"
#include "multilcDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QToolBar>
#include <QLoggingCategory>
#include <QGroupBox>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace RemoteProtocol;
using Commands = QList<RemoteCommand>;
using CommandLog::SentLog;
using ConsoleDriver::action;
using ConsoleDriver::child;

namespace {

Commands sorted(Commands commands)
{
    std::sort(commands.begin(), commands.end(), [](const RemoteCommand& a, const RemoteCommand& b) {
        return std::make_pair(int(a.command), a.value) < std::make_pair(int(b.command), b.value);
    });
    return commands;
}

} // namespace

// The console's main window against recording stations on 127.0.0.x, port
// 1910: start-up, Sync, unreachable stations, refused values, preview and
// capture, and the lens-preset relay.
class ConsoleCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsWithStoredSettings();
    void syncToTwoStations();
    void unreachableStationAndRefusedValues();
    void captureWhilePreviewing();
    void lensPresets();
    void emptyStationList();
    void storedListWithGaps_data();
    void storedListWithGaps();

private:
    void startWindow();

    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<FakeStation> m_a;
    std::unique_ptr<FakeStation> m_b;
    std::unique_ptr<Dravo_plurica> m_window;
};

void ConsoleCommandsTest::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
}

void ConsoleCommandsTest::cleanup()
{
    m_window.reset();
    m_a.reset();
    m_b.reset();
    m_prompt.reset();
    ConsoleSettings::open()->clear();
}

void ConsoleCommandsTest::startWindow()
{
    m_window = std::make_unique<Dravo_plurica>();
    m_window->show();
    m_prompt->shown.clear();
}

void ConsoleCommandsTest::startsWithStoredSettings()
{
    startWindow();
    Dravo_plurica& w = *m_window;
    QCOMPARE(w.windowTitle(), QStringLiteral("Lumivar Tessaran 64-bit :: v.2.4.4 (64-bit)  ::  Marrowind Inc. "));
    QVERIFY(w.findChild<ipsettingsdialog*>()->isVisible());
    QCOMPARE(child<QLineEdit>(w, "folder_edit")->text(), QStringLiteral("/var/tmp/Test/"));
    QVERIFY(child<QPushButton>(w, "pushButton")->isEnabled());
    QCOMPARE(child<QLineEdit>(w, "pointEdit")->text(), QStringLiteral("angle"));
    QVERIFY(child<QPushButton>(w, "pushButton_4")->isChecked());
    QVERIFY(child<QPushButton>(w, "pushButton_2")->isChecked());
    QVERIFY(w.stationAddresses().isEmpty());
    QVERIFY(m_prompt->shown.isEmpty());

    // The window fits its texts with the desktop's fonts: no text is cut off.
    for (QWidget* widget : w.centralWidget()->findChildren<QWidget*>()) {
        const bool text = (qobject_cast<QLabel*>(widget) && !qobject_cast<QLabel*>(widget)->text().isEmpty())
                          || (qobject_cast<QAbstractButton*>(widget)
                              && !qobject_cast<QAbstractButton*>(widget)->text().isEmpty());
        if (text)
            QVERIFY2(widget->width() >= widget->sizeHint().width(), qPrintable(widget->objectName()));
    }
    QVERIFY(w.findChild<QToolBar*>()->width() >= w.findChild<QToolBar*>()->sizeHint().width());

    m_window.reset();
    ConsoleDriver::writeSettings({{"EXP_SYNC_LAST", false}, {"EXT_TRIGGER", true}, {"WORK_FOLDER", "C:\\Test"}});
    startWindow();
    QVERIFY(!child<QLineEdit>(*m_window, "exposure_edit")->isEnabled());
    QVERIFY(child<QToolButton>(*m_window, "extTriggerButton")->isChecked());
    QVERIFY(!child<QToolButton>(*m_window, "extTriggerButton_2")->isEnabled());
    QCOMPARE(child<QLineEdit>(*m_window, "folder_edit")->styleSheet(), QStringLiteral("QLineEdit{background: red;}"));
    QVERIFY(!child<QPushButton>(*m_window, "pushButton")->isEnabled());

    // A text with a comma written by hand (no quotes) is read whole.
    m_window.reset();
    ConsoleDriver::writeSettingsFile("[General]\nWORK_FOLDER=/data/a,b/\n");
    startWindow();
    QCOMPARE(child<QLineEdit>(*m_window, "folder_edit")->text(), QStringLiteral("/data/a,b/"));
}

void ConsoleCommandsTest::syncToTwoStations()
{
    m_a = CommandLog::station("127.0.0.2");
    m_b = CommandLog::station("127.0.0.3");
    startWindow();
    Dravo_plurica& w = *m_window;
    // The log lines of each press are waited for: those of an earlier press
    // may come after its commands were acted on.
    SentLog sent;
    // Zero-padded addresses are connected to as what they mean.
    ConsoleDriver::setLists(w, "127.000.000.002, 127.0.0.3", "Left, Right", "010.000.000.009");
    QCOMPARE(w.stationAliases(), (QStringList{"Left", "Right"}));
    QTRY_COMPARE(sent.lines.size(), 3);
    QTRY_COMPARE(m_a->lens, (Commands{{Command::LensConnect, "10.0.0.9"}}));
    QVERIFY(m_b->lens.isEmpty()); // one lens controller: the first station only
    QTRY_COMPARE(m_a->executed, (Commands{{Command::CamName, "Left"}}));
    QTRY_COMPARE(m_b->executed, (Commands{{Command::CamName, "Right"}}));
    QVERIFY(action(w, "actionCamStatus")->isChecked());
    action(w, "actionCamStatus")->setChecked(false);
    m_a->executed.clear();
    m_b->executed.clear();
    sent.lines.clear();

    child<QLineEdit>(w, "folder_edit")->setText("/data/run 1/");
    child<QLineEdit>(w, "lineEdit")->setText("shot");
    child<QLineEdit>(w, "pointEdit")->setText("p2");
    child<QLineEdit>(w, "exposure_edit")->setText("250");
    child<QSpinBox>(w, "spinBox")->setValue(7);
    child<QSpinBox>(w, "spinBox_2")->setValue(2);
    child<QCheckBox>(w, "checkBox_2")->setChecked(false);
    QTRY_COMPARE(sent.lines.size(), 2 * 6);
    QTRY_VERIFY(m_a->executed.size() == 6 && m_b->executed.size() == 6);
    m_a->executed.clear();
    m_b->executed.clear();
    sent.lines.clear();
    QVERIFY(m_prompt->shown.isEmpty());

    child<QPushButton>(w, "pushButton")->click();
    QVERIFY(sent.lines.isEmpty()); // sent is said once the station has answered
    const Commands expected{{Command::Frames, "7"},      {Command::Prefix, "shot"},
                            {Command::Point, "p2"},      {Command::Exposure, "250"},
                            {Command::Folder, "/data/run 1/"}, {Command::Average, "2"},
                            {Command::Sensitive, {}},    {Command::NoSplit, {}},
                            {Command::Lut, {}},          {Command::NoOverclock, {}}};
    // Each command goes to every station, one connection each; a station
    // acts on connections (and answers them) in the order it gets round to them.
    QStringList delivered;
    for (const RemoteCommand& c : expected) {
        const QByteArray bytes = c.value.isNull() ? fixedCommandBytes(c.command)
                                                  : parameterCommandBytes(c.command, c.value);
        delivered << SentLog::line(bytes, "127.000.000.002") << SentLog::line(bytes, "127.0.0.3");
    }
    delivered.sort();
    QTRY_COMPARE(sent.lines.size(), delivered.size());
    sent.lines.sort();
    QCOMPARE(sent.lines, delivered);
    QTRY_COMPARE(sorted(m_a->executed), sorted(expected)); // a station acts after it answered
    QTRY_COMPARE(sorted(m_b->executed), sorted(expected));
    QVERIFY(child<QGroupBox>(w, "groupBox")->isEnabled());
    QVERIFY(m_prompt->shown.isEmpty());

    auto settings = ConsoleSettings::open();
    QCOMPARE(settings->allKeys().size(), 7 + 5); // the window's keys and the address lists
    QCOMPARE(settings->value("EXP_LAST").toString(), QStringLiteral("250"));
    QCOMPARE(settings->value("EXP_SYNC_LAST").toBool(), true);
    QCOMPARE(settings->value("WORK_FOLDER").toString(), QStringLiteral("/data/run 1/"));
    QCOMPARE(settings->value("PREFIX_NAME").toString(), QStringLiteral("shot"));
    QCOMPARE(settings->value("POINT_NAME").toString(), QStringLiteral("p2"));
    QCOMPARE(settings->value("FRAMES_CAPTURE").toInt(), 7);
    QCOMPARE(settings->value("EXT_TRIGGER").toBool(), false);

    // Without the sync box the exposure stays out, and is still stored.
    child<QCheckBox>(w, "checkBox")->setChecked(false);
    m_a->executed.clear();
    child<QPushButton>(w, "pushButton")->click();
    QTRY_COMPARE(m_a->executed.size(), 9);
    QVERIFY(!m_a->executed.contains(RemoteCommand{Command::Exposure, "250"}));
    QCOMPARE(ConsoleSettings::open()->value("EXP_SYNC_LAST").toBool(), false);
}

void ConsoleCommandsTest::unreachableStationAndRefusedValues()
{
    m_a = CommandLog::station("127.0.0.2");
    startWindow();
    Dravo_plurica& w = *m_window;
    ConsoleDriver::setLists(w, "127.0.0.2,127.0.0.4", "Good,Gone", "127.0.0.9");
    action(w, "actionCamStatus")->setChecked(false);
    // "#camname=" to the station nobody listens on: one warning, with its
    // alias and the command, from the event loop.
    QVERIFY(m_prompt->shown.isEmpty());
    QTRY_COMPARE(m_prompt->titles(), QStringList{"Connection Error"});
    QCOMPARE(m_prompt->shown.first().text,
             QStringLiteral("Connection problem with <b>Gone</b>: #camname=Gone<br>Please fix it and try again!"));
    QTRY_COMPARE(m_a->executed, (Commands{{Command::CamName, "Good"}}));
    m_prompt->shown.clear();
    m_a->executed.clear();

    action(w, "actionCapture")->trigger();
    QTRY_COMPARE(m_prompt->shown.size(), 1);
    QCOMPARE(m_prompt->shown.first().text,
             QStringLiteral("Connection problem with PC <b>Gone</b>: #start<br>Please fix it and try again!"));
    action(w, "actionCapture")->trigger();
    QTRY_COMPARE(m_prompt->shown.size(), 2);
    QCOMPARE(m_prompt->shown.last().text,
             QStringLiteral("Connection problem with <b>127.0.0.4</b>: #stop<br>Please fix it and try again!"));
    // Shown as the good station confirmed "#stop", before the press's
    // warning, and for 3 s only: read now.
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Capture stoped"));
    QTRY_COMPARE(m_a->executed, (Commands{{Command::Start, {}}, {Command::Stop, {}}}));

    // Values that would carry a command of their own are refused: the edit
    // turns red and nothing goes out; "#1" is a value like any other. A
    // command sent would already be logged as not delivered to the station
    // that cannot be reached: that one is given up on inside the press.
    m_prompt->shown.clear();
    m_a->executed.clear();
    SentLog sent;
    auto* prefix = child<QLineEdit>(w, "lineEdit");
    prefix->setText("run#stop");
    QCOMPARE(prefix->styleSheet(), QStringLiteral("QLineEdit{background: red;}"));
    child<QLineEdit>(w, "exposure_edit")->setText(QString::fromLatin1("5\0#start", 8));
    auto* folder = child<QLineEdit>(w, "folder_edit");
    folder->setText("/data/#start/");
    QCOMPARE(folder->styleSheet(), QStringLiteral("QLineEdit{background: red;}"));
    QVERIFY(!child<QPushButton>(w, "pushButton")->isEnabled());
    QVERIFY(sent.undelivered.isEmpty());
    child<QLineEdit>(w, "pointEdit")->setText("#1");
    QCOMPARE(sent.undelivered.size(), 1);
    QTRY_COMPARE(m_a->executed, (Commands{{Command::Point, "#1"}}));
    QTRY_COMPARE(m_prompt->shown.size(), 1); // the point's warning for the unreachable station
}

void ConsoleCommandsTest::captureWhilePreviewing()
{
    m_a = CommandLog::station("127.0.0.2");
    startWindow();
    Dravo_plurica& w = *m_window;
    ConsoleDriver::setLists(w, "127.0.0.2", "Solo", "127.0.0.9");
    action(w, "actionCamStatus")->setChecked(false);
    QTRY_COMPARE(m_a->executed.size(), 1);
    m_a->executed.clear();

    action(w, "actionPreview")->trigger();
    QVERIFY(!child<QToolButton>(w, "extTriggerButton")->isEnabled());
    action(w, "actionCapture")->trigger();
    QTRY_COMPARE(m_a->executed, (Commands{{Command::Preview, {}}, {Command::Start, {}}}));
    // "#nopreview" went out after "#start"; the station had already left its preview.
    QVERIFY(!action(w, "actionPreview")->isChecked());
    QVERIFY(child<QToolButton>(w, "extTriggerButton")->isEnabled());
    QVERIFY(w.findChild<camstatusdialog*>()->captureRunning());
}

void ConsoleCommandsTest::lensPresets()
{
    m_a = CommandLog::station("127.0.0.2");
    startWindow();
    Dravo_plurica& w = *m_window;
    ConsoleDriver::setLists(w, "127.0.0.2", "Solo", "127.0.0.9");
    action(w, "actionCamStatus")->setChecked(false);
    QTRY_COMPARE(m_a->lens.size(), 1);
    m_a->lens.clear();

    // Each action waits for the one before it to arrive: connections of
    // their own reach a station in no set order.
    auto* dialog = w.findChild<multilcDlg*>();
    action(w, "actionLC")->setChecked(true);
    QTRY_COMPARE(m_a->lens.size(), 1);
    QVERIFY(dialog->isVisible());
    QVERIFY(!child<QPushButton>(*dialog, "loadButton")->isEnabled());
    m_prompt->textAnswers << "Near field" << "x#stop" << QString();
    dialog->saveSettings();
    dialog->saveSettings(); // refused with a warning
    dialog->saveSettings(); // cancelled
    QCOMPARE(m_prompt->titles(), (QStringList{"Setpoint Name", "Setpoint Name", "Setpoint Name", "Setpoint Name"}));
    QCOMPARE(m_prompt->shown.at(2).kind, QStringLiteral("warning"));
    QVERIFY(child<QPushButton>(*dialog, "loadButton")->isEnabled());
    QTRY_COMPARE(m_a->lens.size(), 2);
    dialog->loadSettings();
    QTRY_COMPARE(m_a->lens.size(), 3);

    m_prompt->questionAnswers << false << true;
    dialog->deleteSelected();
    QVERIFY(m_prompt->shown.last().defaultNo);
    QCOMPARE(m_prompt->shown.last().text,
             QStringLiteral("Are you sure you want to delete profile <b>Near field</b>?"));
    dialog->deleteSelected();
    QVERIFY(!child<QPushButton>(*dialog, "loadButton")->isEnabled());
    QVERIFY(ConsoleSettings::openLensPresets()->allKeys().isEmpty());
    QTRY_COMPARE(m_a->lens.size(), 4);

    // Closing the dialog by its window button hides the stations' dialogs
    // (twice: the action's own toggle runs the relay once more).
    dialog->close();
    QVERIFY(!action(w, "actionLC")->isChecked());
    QTRY_COMPARE(m_a->lens, (Commands{{Command::LensShow, {}},
                                      {Command::LensSave, "Near field"},
                                      {Command::LensLoad, "Near field"},
                                      {Command::LensDelete, "Near field"},
                                      {Command::LensHide, {}},
                                      {Command::LensHide, {}}}));
}

void ConsoleCommandsTest::emptyStationList()
{
    // No stations stored (the lens controller is the default one): Set and
    // every press send nothing, the status list has no row, no box comes.
    ConsoleDriver::writeSettings({{"PC_IP_LIST", ""}, {"PC_Alias_LIST", ""}});
    m_a = CommandLog::station("127.0.0.2"); // listed later
    SentLog sent;
    startWindow();
    Dravo_plurica& w = *m_window;
    child<QPushButton>(*w.findChild<ipsettingsdialog*>(), "pushButton")->click();
    QVERIFY(w.stationAddresses().isEmpty() && w.stationAliases().isEmpty());
    auto* status = w.findChild<camstatusdialog*>();
    QVERIFY(status->isVisible());
    QCOMPARE(status->findChild<QListWidget*>()->count(), 0);
    QCOMPARE(status->workerCount(), 0);

    child<QPushButton>(w, "pushButton")->click(); // Sync
    // No station will report the capture over: it is over at once.
    action(w, "actionCapture")->trigger();
    QVERIFY(!action(w, "actionCapture")->isChecked());
    QVERIFY(child<QToolButton>(w, "extTriggerButton")->isEnabled());
    QVERIFY(status->captureRunning());
    action(w, "actionPreview")->trigger();
    child<QLineEdit>(w, "exposure_edit")->setText("250");
    // Not even tried: one that cannot be reached is given up on within the press.
    QCOMPARE(sent.undelivered, QStringList{});

    // A station listed afterwards gets its name and lens controller, and
    // they are all that was sent; by then, any box of the presses before
    // would have been shown.
    ConsoleDriver::setLists(w, "127.0.0.2", "Solo", "127.0.0.9");
    QCOMPARE(status->findChild<QListWidget*>()->count(), 1);
    QTRY_COMPARE(m_a->executed, (Commands{{Command::CamName, "Solo"}}));
    QTRY_COMPARE(m_a->lens, (Commands{{Command::LensConnect, "127.0.0.9"}}));
    QStringList expected{SentLog::line(parameterCommandBytes(Command::CamName, "Solo"), "127.0.0.2"),
                         SentLog::line(parameterCommandBytes(Command::LensConnect, "127.0.0.9"), "127.0.0.2")};
    expected.sort();
    QTRY_COMPARE(sent.lines.size(), 2);
    sent.lines.sort();
    QCOMPARE(sent.lines, expected);
    QCOMPARE(sent.undelivered, QStringList{});
    QVERIFY(m_prompt->shown.isEmpty());
}

void ConsoleCommandsTest::storedListWithGaps_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("storedAliases");
    QTest::addColumn<QStringList>("stations");
    QTest::addColumn<QStringList>("aliases");
    QTest::newRow("trailing comma") << "127.0.0.2," << "Alive,Ghost" << QStringList{"127.0.0.2"}
                                    << QStringList{"Alive"};
    QTest::newRow("gap") << "127.0.0.2,,127.0.0.3" << "Left,Ghost,Right" << QStringList{"127.0.0.2", "127.0.0.3"}
                         << QStringList{"Left", "Right"};
}

void ConsoleCommandsTest::storedListWithGaps()
{
    // Written by hand: an empty item is no station, and its alias goes with
    // it. Set and Sync go to the listed stations only; no box, no row for it.
    QFETCH(QString, stored);
    QFETCH(QString, storedAliases);
    QFETCH(QStringList, stations);
    QFETCH(QStringList, aliases);
    ConsoleDriver::writeSettingsFile(QStringLiteral("[General]\nPC_IP_LIST=%1\nPC_Alias_LIST=%2\nLC_IP_LIST=\n")
                                         .arg(stored, storedAliases)
                                         .toLatin1());
    m_a = CommandLog::station("127.0.0.2");
    m_b = CommandLog::station("127.0.0.3");
    for (int start = 0; start < 2; ++start) { // the second with the lists that Set stored
        startWindow();
        Dravo_plurica& w = *m_window;
        SentLog sent;
        child<QPushButton>(*w.findChild<ipsettingsdialog*>(), "pushButton")->click();
        QCOMPARE(w.stationAddresses(), stations);
        QCOMPARE(w.stationAliases(), aliases);
        auto* rows = w.findChild<camstatusdialog*>()->findChild<QListWidget*>();
        QCOMPARE(rows->count(), stations.size());
        for (int i = 0; i < rows->count(); ++i)
            QCOMPARE(rows->item(i)->text().section(" - ", 0, 0), aliases.at(i));
        action(w, "actionCamStatus")->setChecked(false);
        QTRY_COMPARE(sent.lines.size(), stations.size()); // the names
        if (start == 1) {
            child<QPushButton>(w, "pushButton")->click(); // Sync
            QTRY_COMPARE(sent.lines.size(), stations.size() * 11);
        }
        // An empty address is given up on within the press, and its box is
        // queued by the time the others have confirmed.
        QCoreApplication::processEvents();
        QCOMPARE(sent.undelivered, QStringList{});
        QVERIFY(m_prompt->shown.isEmpty());
        m_window.reset();
    }
    // Each listed station got its own name, Set's twice and Sync's commands.
    const FakeStation* listed[] = {m_a.get(), m_b.get()};
    for (int i = 0; i < 2; ++i) {
        const int at = stations.indexOf(QStringLiteral("127.0.0.%1").arg(i + 2));
        QTRY_COMPARE(listed[i]->executed.size(), at < 0 ? 0 : 2 + 10);
        if (at >= 0)
            QCOMPARE(listed[i]->executed.first(), (RemoteCommand{Command::CamName, aliases.at(at)}));
    }
}

QTEST_MAIN(ConsoleCommandsTest)
#include "tst_console_commands.moc"
