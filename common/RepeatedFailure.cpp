#include "RepeatedFailure.h"

#include <QLoggingCategory>

namespace {

QString times(quint64 count)
{
    return count == 1 ? QStringLiteral("once") : QStringLiteral("%1 times").arg(count);
}

QString seconds(qint64 ms)
{
    return QStringLiteral("%1 s").arg((ms + 500) / 1000);
}

} // namespace

RepeatedFailure::Line RepeatedFailure::occurred(qint64 nowMs)
{
    if (!open_) {
        open_ = true;
        beganMs_ = nowMs;
    }
    failing_ = true;
    ++total_;
    ++unreported_;
    if (!lineDue(nowMs))
        return {};
    // Reopened within the interval after its closing line, a failure is
    // first heard of as a count.
    const Line line = total_ == 1 ? Line{Line::First, 1, 0} : Line{Line::Count, unreported_, nowMs - lastLineMs_};
    openLogged_ = true;
    wrote(nowMs);
    return line;
}

RepeatedFailure::Line RepeatedFailure::ended(qint64 nowMs)
{
    failing_ = false;
    // A failure logged is closed at once; one not logged yet waits for a
    // line to be due (it may be flapping).
    if (!open_ || !(openLogged_ || lineDue(nowMs)))
        return {};
    const Line line{Line::Closing, total_, nowMs - beganMs_};
    open_ = false;
    openLogged_ = false;
    total_ = 0;
    wrote(nowMs);
    return line;
}

void RepeatedFailure::wrote(qint64 nowMs)
{
    logged_ = true;
    lastLineMs_ = nowMs;
    unreported_ = 0;
}

QString RepeatedFailure::text(const Line& line) const
{
    switch (line.kind) {
    case Line::None: break;
    case Line::First:
        return QStringLiteral("the first; repeats are counted, a line per %1 at most").arg(seconds(intervalMs_));
    case Line::Count: return QStringLiteral("again %1 in %2").arg(times(line.count), seconds(line.ms));
    case Line::Closing: return QStringLiteral("over after %1 in %2").arg(times(line.count), seconds(line.ms));
    }
    return {};
}

void RepeatedFailure::log(const QLoggingCategory& category, const QString& what, const Line& line, QtMsgType type) const
{
    if (!line)
        return;
    if (line.kind == Line::Closing && type != QtDebugMsg)
        type = QtInfoMsg;
    QMessageLogger logger;
    QDebug stream = type == QtDebugMsg  ? logger.debug(category)
                    : type == QtInfoMsg ? logger.info(category)
                                        : logger.warning(category);
    stream.noquote() << what + QLatin1String(": ") + text(line);
}
