// The lens dialog's autofocus: drives the search through the controller and
// the station's sharpness score, and logs every measured position.

#include "focusDlg.h"

#include "AutoFocusSearch.h"
#include "LensLink.h"
#include "Prompt.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLensDialog)

namespace {

const QString AutofocusTitle = QStringLiteral("Autofocus");
// Slices of the waits: for the report of a move inside a stage, for the
// report of a "setFocus", for a score.
constexpr int MoveReportSliceMs = 20;
constexpr int SetFocusReportSliceMs = 5;
constexpr int ScoreSliceMs = 50;

} // namespace

void focusDlg::doAutoFocus()
{
    if (!m_pinger) {
        Prompt::current().message(this, Prompt::Warning, QStringLiteral("KT3 connection"),
                                  QStringLiteral("Please specify IP address and hit connect button"));
        return;
    }
    // The controller's focus range, kept while its labels are emptied in a silence.
    const int nearEnd = m_link->state().focusNear;
    if (!AutoFocusSearch::canStart(nearEnd)) {
        Prompt::current().message(this, Prompt::Warning, AutofocusTitle,
                                  QStringLiteral("Autofocus needs the focus range of the lens: its near end is %1, "
                                                 "it must be at least %2.")
                                      .arg(nearEnd)
                                      .arg(AutoFocusSearch::MinNearEnd));
        return;
    }
    if (!beginSequence(Caller::User, "autofocus"))
        return;
    QElapsedTimer clock;
    clock.start();
    const bool finished = runAutoFocus(nearEnd);
    endSequence();
    if (finished)
        Prompt::current().message(this, Prompt::Information, QStringLiteral("title"),
                                  QStringLiteral("Done in %1 sec").arg(clock.elapsed() / 1000.0, 0, 'g', 6));
}

// False when the search could not end (a report or a score did not come, or
// the program is quitting). The pinger stays paused; the next report resumes it.
bool focusDlg::runAutoFocus(int nearEnd)
{
    pausePinger();
    AutoFocusSearch search(nearEnd);
    QFile log(autofocusLogPath());
    bool logging = false;
    const auto logError = [this] {
        Prompt::current().message(this, Prompt::Warning, QStringLiteral("Log file error"),
                                  QStringLiteral("Warning: Can't open log file for writing!"));
    };

    while (!search.isDone()) {
        const AutoFocusSearch::Step step = search.current();
        if (step.stage == AutoFocusSearch::Stage::Final)
            log.close();
        // Cleared before the move, so a late report of an earlier one cannot pass for it.
        m_focusReply = false;
        m_link->send(step.command);
        if (!delay(step.settleMs))
            return false;
        WaitEnd end = waitUntil([this] { return m_focusReply; },
                                step.measure ? MoveReportSliceMs : SetFocusReportSliceMs, FocusReportMs);
        if (end == WaitEnd::TimedOut) {
            Prompt::current().message(this, Prompt::Warning, AutofocusTitle,
                                      QStringLiteral("The lens controller sent no \"Focus\" report within %1 s "
                                                     "after \"%2\": autofocus stopped.")
                                          .arg(FocusReportMs / 1000.0)
                                          .arg(QString::fromLatin1(step.command)));
        }
        if (end != WaitEnd::Done)
            return false;

        if (step.stage == AutoFocusSearch::Stage::Start) {
            const QString folder = QFileInfo(log).absolutePath();
            logging = QDir().mkpath(folder) && log.open(QIODevice::WriteOnly | QIODevice::Append);
            if (!logging) {
                qCWarning(lcLensDialog) << "Autofocus log" << log.fileName() << "not opened:"
                                        << (QFileInfo(folder).isDir() ? log.errorString() : "no folder");
                logError();
            }
        }
        if (!step.measure) {
            search.next();
            continue;
        }

        m_waitForScore = true;
        end = waitUntil([this] { return !m_waitForScore; }, ScoreSliceMs, ScoreMs);
        if (end != WaitEnd::Done)
            m_waitForScore = false;
        if (end == WaitEnd::TimedOut) {
            Prompt::current().message(this, Prompt::Warning, AutofocusTitle,
                                      QStringLiteral("No new sharpness score within %1 s (is the preview running "
                                                     "with an ROI drawn?): autofocus stopped at focus position %2.")
                                          .arg(ScoreMs / 1000.0)
                                          .arg(step.position));
        }
        if (end != WaitEnd::Done)
            return false;
        if (logging) {
            const QByteArray line = AutoFocusSearch::logLine(step.stage, step.position, m_score);
            logging = log.write(line) == line.size() && log.flush();
            if (!logging) {
                qCWarning(lcLensDialog) << "Autofocus log" << log.fileName() << "write failed:" << log.errorString();
                logError();
            }
        }
        search.next(m_score);
    }
    return true;
}
