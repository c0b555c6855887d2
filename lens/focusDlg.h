#pragma once

#include "EventWait.h"
#include "LensPresets.h"
#include "LensReplyParser.h"
#include "zoomWorker.h"

#include <QDialog>
#include <QSettings>
#include <QTimer>

#include <functional>
#include <memory>

class LensLink;
class QAbstractButton;
class QProgressDialog;
class pingWorker;

namespace Ui {
class focusDialog_2;
}

// The lens-controller window of the station: connects to a network lens
// controller (identity handshake on the link's UDP socket), then runs its
// ping and motor workers and drives focus and aperture; it also stores and
// applies lens presets and runs the autofocus search on the station's
// sharpness score. Closing it only hides it; it lives as long as the station.
//
// The sequences that move the lens and wait for its reports (a preset, the
// autofocus) run on the GUI thread and keep the window responsive through
// event-loop waits; they never run from the socket's handler, only one runs
// at a time, and every wait is bounded.
class focusDlg : public QDialog
{
    Q_OBJECT

public:
    // Bounds of the sequences' waits.
    static constexpr int PresetPhaseMs = 30000; // each of a preset's focus and aperture moves
    static constexpr int FocusReportMs = 10000; // the "Focus" report after an autofocus command
    static constexpr int ScoreMs = 20000;       // a fresh sharpness score after an autofocus move
    static constexpr int IdentityWaitMs = 2000;
    static constexpr int PresetPollMs = 200;

    explicit focusDlg(QWidget* parent = nullptr);
    ~focusDlg() override; // stops both workers and waits for them

    // Connects to `ip` without asking (remote "#lcconn="): false, after the
    // "Wrong or empty IP!" box, for an address that is not a dotted quad, and
    // false when the handshake could not be started.
    bool connectLC(const QString& ip);
    // Starts the identity handshake with `ip`; its end is initSettings().
    bool isKessaneProduct(const QString& ip);

    QString address() const { return m_address; }
    // A controller identified itself since the dialog was created: the
    // workers run.
    bool hasWorkers() const { return m_pinger != nullptr; }
    const LensLink& link() const { return *m_link; }
    const pingWorker* pinger() const { return m_pinger; }
    zoomWorker* motorWorker() const { return m_motor; }
    // The controller's user-given name ("LC Name: <b>%1<b>") and the lens
    // text ("Lens: N/A " while no lens is known).
    QString controllerName() const { return m_controllerName; }
    QString lensText() const { return m_lensText; }

    // The clock the sequences' bounds are measured on, in milliseconds from
    // any fixed start: a monotonic one, unless a test puts a simulated one in
    // its place to see a bound of many seconds kept without waiting it out.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }
    // A preset or the autofocus is running.
    bool isBusy() const { return m_sequenceRunning; }

    // Autofocus input: the search raises the flag after each move and waits
    // until the station, having emitted a new score, lowers it.
    void setWaitForScore(bool on) { m_waitForScore = on; }
    bool isWaitingForScore() const { return m_waitForScore; }

    // Where the autofocus appends its log: "log.txt" in the program's
    // application data folder.
    static QString autofocusLogPath();

signals:
    // The user closed the window (or pressed Escape).
    void focusClosed();
    // An identity reply arrived.
    void isProductCorrect(bool correct);

public slots:
    void getLCIP();
    void initSettings();
    void stopConnecting();
    void focusUpdateVal(int position);
    void irisUpdateVal(float fNumber);
    void focusSpeedSlider();
    void focusSliderMovedTo(int position);
    void sendReboot2LC();
    void pingError(const QString& reason);
    void currentSharpScore(double score) { m_score = score; }
    void doAutoFocus();

    void saveSettings();
    void saveProfileAs(const QString& name);
    void loadSettings();
    void applyProfile(const QString& name);
    void deleteSelected();
    void deleteSelected(const QString& name);
    void overPreset(const QString& name);
    // Resumes (true) or pauses the running pinger, refills the preset list.
    void fillProfiles(bool resumePinger);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Caller { User, Remote };
    enum class WaitEnd { Done, Stopped, TimedOut, Aborted };
    struct MotorButton
    {
        QAbstractButton* button;
        zoomWorker::Motor motor;
    };

    // Construction.
    void buildConnectProgress();
    void connectControls();
    void bindLink();

    // Connection and replies (focusDlg.cpp).
    bool acceptAddress(const QString& ip);
    void applyReply(const LensReplyEffects& effects);
    // The controller answers after pingError: its identity, lens and ranges
    // (sent only with the identity) are shown again and the controls return.
    void showControllerAgain();
    void showRanges();
    void replaceWorkers();
    void stopWorkers();
    void pausePinger();
    void resumePinger();

    // Controls (focusDlg_controls.cpp).
    QList<MotorButton> motorButtons() const;
    void motorPressed(zoomWorker::Motor motor);
    void motorReleased(zoomWorker::Motor motor);
    void enableControls();
    void disableControls();
    void setFocusGroupEnabled(bool on);
    void setApertureGroupEnabled(bool on);

    // Presets (focusDlg_presets.cpp).
    void refillProfiles();
    void applyLoadSaveRule();
    bool storePreset(const QString& name, Caller caller);
    void apply(const QString& name, Caller caller);
    bool presetWithinLimits(const LensPreset& preset);
    void runPreset(const LensPreset& preset);

    // Autofocus (focusDlg_autofocus.cpp).
    bool runAutoFocus(int nearEnd);

    // Sequences.
    bool beginSequence(Caller caller, const char* what);
    void endSequence() { m_sequenceRunning = false; }
    // Runs events in slices of `sliceMs` until `done` holds; Stopped when
    // `stop` holds first, TimedOut after `limitMs` on the dialog's clock,
    // Aborted when the wait was cancelled or the program is quitting.
    WaitEnd waitUntil(const std::function<bool()>& done, int sliceMs, int limitMs,
                      const std::function<bool()>& stop = {});
    bool delay(int ms) { return m_wait.wait(ms); }

    std::unique_ptr<Ui::focusDialog_2> ui;
    QSettings m_settings;
    LensPresetStore m_presets;
    QProgressDialog* m_connectProgress = nullptr;
    QTimer m_connectTimer;
    LensLink* m_link = nullptr;
    pingWorker* m_pinger = nullptr;
    zoomWorker* m_motor = nullptr;
    EventWait m_wait;
    Clock m_clock;

    QString m_address;
    QString m_controllerName;
    QString m_lensText;
    // The range labels' texts as the controller last gave them (far, near,
    // close, open); the labels are emptied while the controller is silent.
    struct RangeTexts
    {
        QString far, near, close, open;
    } m_ranges;
    // pingError reported the controller lost and it has not answered since.
    bool m_lost = false;
    bool m_identified = false;
    int m_zoomPosition = 0;
    int m_focusPosition = 0;
    float m_aperture = 0;
    bool m_af = false;
    bool m_focusDone = false;
    bool m_irisDone = false;
    bool m_focusReply = false;
    bool m_waitForScore = false;
    double m_score = 0;
    bool m_sequenceRunning = false;
};
