// The lens dialog's presets: the list, storing, deleting and applying one.

#include "focusDlg.h"

#include "LensLink.h"
#include "LensProtocol.h"
#include "Prompt.h"
#include "pingWorker.h"
#include "ui_focusDlg.h"

#include <QLoggingCategory>
#include <QProgressDialog>
#include <QToolTip>

Q_DECLARE_LOGGING_CATEGORY(lcLensDialog)

namespace {

const QString ApplyTitle = QStringLiteral("Canon Lens Controller");
constexpr int PresetPauseMs = 100;
constexpr int ToolTipRise = 20;

// "Zoom value %1 is out of range [%2,%3] for this lens!" when both limits are
// known (non-zero) and the value is not strictly between them.
QString outOfRange(const char* format, double value, double low, double high)
{
    if (low == 0 || high == 0 || (low < value && value < high))
        return QString();
    return QString::fromLatin1(format).arg(LensProtocol::real(value), LensProtocol::real(low),
                                           LensProtocol::real(high));
}

} // namespace

void focusDlg::fillProfiles(bool resume)
{
    if (m_pinger && m_pinger->isRunning()) {
        if (resume)
            m_pinger->resume();
        else
            m_pinger->pause();
    }
    refillProfiles();
}

void focusDlg::refillProfiles()
{
    ui->comboProfile->clear();
    ui->comboProfile->addItems(m_presets.names());
    applyLoadSaveRule();
}

void focusDlg::applyLoadSaveRule()
{
    const bool on = ui->comboProfile->count() > 0 && ui->slowCloseIris->isEnabled();
    ui->loadButton->setEnabled(on);
    ui->pushButton_2->setEnabled(on);
}

void focusDlg::saveSettings()
{
    QString name;
    if (!Prompt::current().getText(this, QStringLiteral("Setpoint Name"), QStringLiteral("Setpoint Name"), QString(),
                                   &name)
        || name.isEmpty())
        return;
    storePreset(name, Caller::User);
}

void focusDlg::saveProfileAs(const QString& name)
{
    if (name.isEmpty() || !storePreset(name, Caller::Remote))
        return;
    const int index = ui->comboProfile->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        ui->comboProfile->setCurrentIndex(index);
}

bool focusDlg::storePreset(const QString& name, Caller caller)
{
    QString problem;
    if (!LensPresets::isValidName(name))
        problem = QStringLiteral("A preset name cannot contain '/' or '\\'.");
    else if (!m_presets.store(name, LensPresets::value(m_zoomPosition, m_focusPosition, m_aperture)))
        problem = QStringLiteral("The preset could not be stored.");
    if (!problem.isEmpty()) {
        if (caller == Caller::User)
            Prompt::current().message(this, Prompt::Warning, QStringLiteral("Setpoint Name"), problem);
        else
            qCWarning(lcLensDialog) << "saveProfileAs:" << name << "not stored:" << problem;
        return false;
    }
    refillProfiles();
    return true;
}

void focusDlg::deleteSelected()
{
    const int index = ui->comboProfile->currentIndex();
    if (index < 0)
        return;
    const QString name = ui->comboProfile->currentText();
    if (Prompt::current().question(
            this, Prompt::Warning, windowTitle(),
            QStringLiteral("Are you sure you want to delete profile <b>%1</b>?").arg(name.toHtmlEscaped()),
            Prompt::DefaultNo)) {
        m_presets.remove(name);
        ui->comboProfile->removeItem(index);
        applyLoadSaveRule();
    }
    refillProfiles();
}

void focusDlg::deleteSelected(const QString& name)
{
    // Only what the list shows.
    for (int i = ui->comboProfile->count() - 1; i >= 0; --i) {
        if (ui->comboProfile->itemText(i) != name)
            continue;
        ui->comboProfile->setCurrentIndex(i);
        m_presets.remove(name);
        ui->comboProfile->removeItem(i);
        applyLoadSaveRule();
    }
}

void focusDlg::overPreset(const QString& name)
{
    if (const auto preset = LensPresets::parse(m_presets.value(name)))
        QToolTip::showText(ui->comboProfile->mapToGlobal(QPoint(0, -ToolTipRise)), LensPresets::toolTip(*preset));
}

void focusDlg::loadSettings()
{
    apply(ui->comboProfile->currentText(), Caller::User);
}

void focusDlg::applyProfile(const QString& name)
{
    const int index = ui->comboProfile->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        ui->comboProfile->setCurrentIndex(index);
    apply(name, Caller::Remote);
}

void focusDlg::apply(const QString& name, Caller caller)
{
    if (!m_pinger) {
        Prompt::current().message(this, Prompt::Warning, QStringLiteral("KT3 connection"),
                                  QStringLiteral("Please specify IP address and hit connect button"));
        return;
    }
    if (!beginSequence(caller, "preset"))
        return;
    pausePinger();
    if (!delay(PresetPauseMs)) {
        endSequence();
        return;
    }
    const auto preset = LensPresets::parse(m_presets.value(name));
    if (!preset) {
        qCInfo(lcLensDialog) << "No preset" << name << "to apply";
    } else if (preset->zoom() < m_link->state().zoomLow || preset->zoom() > m_link->state().zoomHigh) {
        Prompt::current().message(this, Prompt::Warning, QStringLiteral("Wrong presets"),
                                  QStringLiteral("This presets is for the different lens!"));
    } else {
        runPreset(*preset);
    }
    endSequence();
}

bool focusDlg::presetWithinLimits(const LensPreset& preset)
{
    if (!m_motor)
        return true;
    const zoomWorker::Limits l = m_motor->limits();
    QString problem = outOfRange("Zoom value %1 is out of range [%2,%3] for this lens!", double(preset.zoom()),
                                 double(l.zoomLow), double(l.zoomHigh));
    if (problem.isEmpty())
        problem = outOfRange("Focus value %1 is out of range [%2,%3] for this lens!", double(preset.focus()),
                             double(l.focusLow), double(l.focusHigh));
    if (problem.isEmpty())
        problem = outOfRange("Iris value %1 is out of range [%2,%3] for zoom/lens!", preset.aperture(),
                             double(l.irisLow), double(l.irisHigh));
    if (problem.isEmpty())
        return true;
    Prompt::current().message(this, Prompt::Warning, QStringLiteral("Apllying Settings error"), problem);
    return false;
}

// Moves focus, then aperture, each until the controller reports its end, the
// user cancels, or the phase's time is up (handled as a cancel). The pinger
// stays paused; the next report resumes it.
void focusDlg::runPreset(const LensPreset& preset)
{
    QProgressDialog progress(QStringLiteral("Setting lens positions... [%1,%2,%3]")
                                 .arg(preset.zoomText, preset.focusText, preset.apertureText),
                             QStringLiteral("Cancel"), 0, 0, this,
                             Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    progress.setWindowTitle(ApplyTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.show();
    if (!presetWithinLimits(preset))
        return;

    disableControls();
    m_focusDone = false;
    m_irisDone = false;
    QStringList missing;
    bool stopped = false;
    const auto phase = [&](const std::function<bool()>& done, const char* report) {
        if (!delay(PresetPollMs))
            return false;
        const WaitEnd end = waitUntil(done, PresetPollMs, PresetPhaseMs,
                                      [&] { return stopped || progress.wasCanceled(); });
        if (end == WaitEnd::Aborted)
            return false;
        if (end != WaitEnd::Done) {
            m_link->send(LensProtocol::StopFocus);
            stopped = true;
            if (end == WaitEnd::TimedOut)
                missing << QString::fromLatin1(report);
        }
        return true;
    };

    m_link->send(LensProtocol::setFocus(preset.focus()));
    bool carryOn = phase([this] { return m_focusDone; }, "focusDone");
    if (carryOn && delay(PresetPollMs)) {
        m_link->send(LensProtocol::setAper(preset.aperture()));
        carryOn = phase([this] { return m_focusDone && m_irisDone; }, "irisDone");
    }
    progress.close();
    enableControls();
    if (carryOn && !missing.isEmpty()) {
        Prompt::current().message(this, Prompt::Warning, ApplyTitle,
                                  QStringLiteral("The lens controller sent no \"%1\" within %2 s: the move was "
                                                 "stopped and the lens is not at preset [%3,%4,%5].")
                                      .arg(missing.join(QStringLiteral("\", \"")))
                                      .arg(PresetPhaseMs / 1000.0)
                                      .arg(preset.zoomText.toHtmlEscaped(), preset.focusText.toHtmlEscaped(),
                                           preset.apertureText.toHtmlEscaped()));
    }
}
