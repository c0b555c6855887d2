#pragma once

#include <QtGlobal>

// Watches the stream of a running acquisition for the two ways it fails while
// the camera still answers its control channel: it falls silent for longer
// than its frame time allows, or frames keep coming of which none completes.
// Times are milliseconds of one monotonic clock, passed in, so that the rules
// are tried without waiting.
class StreamWatch
{
public:
    // Incomplete frames in a row that end a run whose stream has no silence
    // limit (a triggered camera: its frames may come hours apart, so only the
    // frames that came can tell). A few may be the end of the acquisition
    // stopped before the run; this many, with none complete among them, is a
    // stream that records nothing.
    static constexpr unsigned long long UntimedIncompleteRow = 16;

    // The longest silence allowed from now on; 0 while the stream is not
    // watched (idle, or waiting for triggers). A longer limit, and the watch
    // beginning or ending, hold at once, counted from now. A shorter limit
    // waits until two frames have come: the frame under way when the camera's
    // frame time changed may still take the old time, and one more may
    // already be in flight ahead of it.
    void setLimit(unsigned ms, qint64 now);
    // The limit in force.
    unsigned limit() const { return m_limit; }

    // A frame came. True once per run when it completes the row of incomplete
    // frames that ends the run: a free-running stream has delivered no
    // complete frame from its first incomplete one for longer than the limit,
    // a stream without a limit UntimedIncompleteRow of them in a row.
    bool frame(bool complete, qint64 now);
    // A new run: the row is forgotten and may be reported again.
    void newRun();

    // No frame for longer than the limit.
    bool silent(qint64 now) const;
    qint64 silentMs(qint64 now) const { return now - m_lastFrame; }
    // The row of incomplete frames since the last complete one.
    unsigned long long incompleteRow() const { return m_incomplete; }
    qint64 incompleteMs(qint64 now) const { return m_incomplete ? now - m_firstIncomplete : 0; }
    bool reported() const { return m_reported; }

private:
    unsigned m_limit = 0;
    unsigned m_lowerLimit = 0;   // waiting for m_framesBeforeLower frames
    int m_framesBeforeLower = 0; // 0: no lower limit waits
    qint64 m_lastFrame = 0;      // or when the watch began
    qint64 m_firstIncomplete = 0;
    unsigned long long m_incomplete = 0;
    bool m_reported = false;
};
