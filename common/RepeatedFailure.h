#pragma once

#include <QDeadlineTimer>
#include <QString>

class QLoggingCategory;

// Decides when one kind of failure is logged, so that a failure repeated
// every second (a peer that never answers, a poll that keeps failing) does
// not fill the log of a station nobody watches: its first occurrence is
// logged at once, later ones as a count at most once per interval, and a
// closing line tells when it ended (on the next success, say). The decisions
// are a pure function of the times passed in; log() writes a decided line in
// the caller's logging category.
//
// Lines stay within one per interval even when the failure comes and goes:
// a failure that starts again within the interval after the closing line is
// counted, not logged at once, and its end is told only once a line is due.
// Not thread-safe: one owner, or the owner's lock.
class RepeatedFailure
{
public:
    static constexpr qint64 DefaultIntervalMs = 60 * 1000;

    struct Line
    {
        enum Kind { None, First, Count, Closing };
        Kind kind = None;
        // First: 1. Count: occurrences since the previous line. Closing:
        // occurrences of the whole failure.
        quint64 count = 0;
        // Count: since the previous line. Closing: since the failure began.
        qint64 ms = 0;

        explicit operator bool() const { return kind != None; }
    };

    explicit RepeatedFailure(qint64 intervalMs = DefaultIntervalMs) : intervalMs_(intervalMs) {}

    // The failure occurred at `nowMs` (a monotonic clock in milliseconds).
    Line occurred(qint64 nowMs = monotonicMs());
    // What failed works at `nowMs`: the failure, if any, has ended.
    Line ended(qint64 nowMs = monotonicMs());
    bool isFailing() const { return failing_; }

    // The tail of a log line: what the line stands for, for example "again
    // 359 times in 60 s".
    QString text(const Line& line) const;
    // Writes "`what`: text" to `category` when `line` is one: a failure's
    // lines as `type` (debug, information or warning), the closing line as
    // information (debug when `type` is).
    void log(const QLoggingCategory& category, const QString& what, const Line& line,
             QtMsgType type = QtWarningMsg) const;

    static qint64 monotonicMs() { return QDeadlineTimer::current().deadline(); }

private:
    // A line is written at `nowMs`.
    void wrote(qint64 nowMs);
    bool lineDue(qint64 nowMs) const { return !logged_ || nowMs - lastLineMs_ >= intervalMs_; }

    qint64 intervalMs_;
    bool open_ = false;       // a failure began and its closing line is not written yet
    bool failing_ = false;    // the latest news is an occurrence, not a success
    bool openLogged_ = false; // a line was written since the open failure began
    bool logged_ = false;     // a line was ever written
    qint64 beganMs_ = 0;
    qint64 lastLineMs_ = 0;
    quint64 total_ = 0;       // occurrences of the open failure
    quint64 unreported_ = 0;  // occurrences since the last line
};
