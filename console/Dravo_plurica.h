#pragma once

#include "RemoteProtocol.h"
#include "RunRecord.h"
#include "StationCommandClient.h"
#include "generators/GeneratorHttp.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class EventWait;
class PressWarnings;
class QNetworkReply;
class QSettings;
class camstatusdialog;
class ipsettingsdialog;
class mastertmxdialog;
class multilcDlg;
class multitmxdialog;
class tmxWorker;

namespace Ui {
class Dravo_pluricaClass;
}

// The console's main window: keeps the address lists that the IP settings
// deliver, owns the dialogs, and turns every control of its form into a
// command to all stations. Its slots live in topic files: Dravo_plurica.cpp
// (lists, dialogs, window), Dravo_plurica_commands.cpp (station commands),
// Dravo_plurica_lens.cpp (lens presets), Dravo_plurica_generators.cpp (pulse
// generators), Dravo_plurica_runlog.cpp (run log).
class Dravo_plurica : public QMainWindow
{
    Q_OBJECT

public:
    explicit Dravo_plurica(QWidget* parent = nullptr);
    ~Dravo_plurica() override;

    const QStringList& stationAddresses() const { return m_stations; }
    const QStringList& stationAliases() const { return m_aliases; }
    const QStringList& lensControllerAddresses() const { return m_lensControllers; }
    const QStringList& slaveAddresses() const { return m_slaves; }
    const QString& masterAddress() const { return m_master; }

public slots:
    void connectLCNow();
    void saveProfileMultiLC(const QString& name);
    void loadProfileMultiLC(const QString& name);
    void deleteProfileMultiLC(const QString& name);
    void showLC(bool on);
    void closeLCDialog();
    void enableGUI(bool);
    void updateTMXList(const QStringList& addresses);
    void updateLCList(const QStringList& addresses);
    void updateCamName(const QStringList& aliases);
    void updatePCList(const QStringList& addresses, const QStringList& aliases);
    void updateMasterIP(const QString& address);
    void showCamStatusDialog(bool on);
    void alwaysOnTop(bool on);
    void showTMXMultiDialog();
    void showIPSettings();
    void startPreview(bool on);
    void extTrigger(bool);
    void setExposure(const QString&);
    void setFramesToCapture(int);
    void setFilePrefix(const QString&);
    void setFilePoint(const QString&);
    void checkPath(const QString& text);
    void selectLogFile(bool on);
    void syncExposure(bool on);
    void normToggle(bool);
    void syncCam();
    void setFolder();
    void startCapture(bool on);
    void everybodyIsReady();
    void allCamsAvailable(bool on);
    void runMaster();
    void runMaster1();
    void runMaster2();
    void stopTMX();
    void changeMasterMode(int);
    void finishedSlot(QNetworkReply* reply);
    void handleHTTPResponseSlave(bool error);
    void handleHTTPResponseMaster(bool error);
    void showMasterTMXSettings();
    void setAverage(int);
    void splitToggle(bool);
    void setOverClock(bool);
    void setLUT(bool);
    void channelToggle(bool);
    void pulseWidthExposure(bool);
    void showHelp();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Whose name a connection warning shows.
    enum class Naming { Alias, PcAlias, Address };

    struct Outgoing
    {
        // The bytes for station i, built when it is its turn.
        std::function<QByteArray(int)> bytes;
        QString statusText; // shown after every station that took it; none when empty
        int statusMs = 0;
        Naming naming = Naming::Alias;
        // Side effects around the sending, when it goes to a station at all.
        std::function<void()> before;
        std::function<void()> after;
        int stationCount = -1;        // -1: every station
    };

    struct Warning
    {
        QString title;
        QString text;
        std::function<void()> then;
    };

    void connectForm();
    void restoreSettings();
    // The one sending pattern: the command to every station in list order,
    // each on a connection of its own; the others still get it when a station
    // does not acknowledge it (see StationCommandClient). Such stations are
    // named in the one warning of the press (see PressWarnings).
    void sendToStations(const Outgoing& outgoing);
    // How the press's warning names station i.
    QString stationName(Naming naming, int i) const;
    void sendFixed(RemoteProtocol::Command command, const QString& statusText, int statusMs,
                   Naming naming = Naming::Alias);
    // A parameter command with a value read per station. A value that would
    // carry a command of its own is not sent.
    void sendParameter(RemoteProtocol::Command command, const std::function<QString()>& value,
                       const QString& statusText, int statusMs);
    // The bytes of a parameter command; empty (and logged) when the value
    // would carry a command of its own.
    static QByteArray parameterBytes(RemoteProtocol::Command command, const QString& value);
    // The edit turns red and false when its text cannot be a command value.
    bool checkValue(QWidget* edit, const QString& text);
    void enableTriggerButtons(bool previewOrCaptureOn);
    // A lens-preset command with `name` to every station; a name that would
    // carry a command of its own gets a warning instead.
    void relayPreset(RemoteProtocol::Command command, const QString& name, const QString& statusText);

    // A run of the master's generators: the request, then, when logging,
    // the slaves' read-back and the log entry. Refused while one is under way.
    void runGenerators(const char* pathAndQuery);
    // A run or stop request to the master; its outcome reaches finishedSlot,
    // and then `taken` (true when the master took the request).
    void sendToMaster(const char* pathAndQuery, std::function<void(bool taken)> taken = {});
    // Runs events until `done` holds or `boundMs` have passed; false when not done.
    bool waitUntil(const std::function<bool()>& done, int boundMs);
    // Reads every slave's values page in turn into the generator text.
    void querySlaveTMXs();
    // A box shown from the event loop, never from a socket's or a timer's
    // handler, one at a time in the order asked; `then` runs once the user
    // has closed it.
    void warnLater(const QString& title, const QString& text, std::function<void()> then = {});
    void showWarnings();
    // The status list's word that stations did not start the capture.
    void warnCaptureNotStarted(const QStringList& aliases);
    bool isLogging() const;
    // Appends `text` and CR LF to the log file when logging.
    void writeLog(const QString& text);
    RunRecord::Run runRecord() const;

    std::unique_ptr<Ui::Dravo_pluricaClass> ui;
    std::unique_ptr<QSettings> m_settings;
    tmxWorker* m_tmxWorker = nullptr;
    ipsettingsdialog* m_ipDialog = nullptr;
    multitmxdialog* m_slaveDialog = nullptr;
    camstatusdialog* m_statusDialog = nullptr;
    mastertmxdialog* m_masterDialog = nullptr;
    multilcDlg* m_lensDialog = nullptr;
    StationCommandClient* m_commands = nullptr;
    PressWarnings* m_pressWarnings = nullptr;
    QList<Warning> m_warnings;      // not shown yet
    bool m_warningsScheduled = false;
    QString m_master;
    QStringList m_aliases;
    QStringList m_stations;
    QStringList m_lensControllers;
    QStringList m_slaves;
    QString m_logFileName;       // empty while logging is off
    bool m_answerReceived = false; // the awaited slave page was read or failed
    QByteArray m_pageBuffer;       // body of the last generator page
    QString m_generatorText;       // the slaves' part of the log entry
    QString m_slaveFailure;        // the warning's text for the slave that failed
    GeneratorHttp::Failure m_masterFailure; // why the master's page failed, for its warning
    GeneratorHttp* m_generatorHttp = nullptr;
    EventWait* m_wait = nullptr;
    // Serial numbers of the pages awaited: the answer of an older request
    // (given up on, or replaced) changes nothing.
    quint64 m_pageSerial = 0;
    quint64 m_slavePage = 0;
    quint64 m_masterPage = 0;
    bool m_running = false;        // a run is under way
    bool m_readingMaster = false;  // the master's read-back is under way
};
