#pragma once

#include "camera/Frame.h"
#include "capture/CaptureWriter.h"

#include "RepeatedFailure.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

// The capture's writer thread: the frame slot hands it the frames of a run
// (their handles keep the pipeline buffers alive) and goes on at once; the
// files and their list lines are written here, one frame after the other in
// the order given. The queue holds a bounded number of frames: a frame that
// finds it full is not stored and is counted lost, so a slow disk shows up as
// lost frames, never as a stalled window. The first failure of a run ends its
// writing: the frames after it are counted lost. Runs follow each other; a
// run's end is reported once its last frame is written.
class CaptureQueue : public QThread
{
    Q_OBJECT

public:
    struct Summary
    {
        int run = 0;
        unsigned long long stored = 0; // frames that became files
        unsigned long long lost = 0;   // frames handed over that did not
        bool failed = false;           // a write failed (reported by writeFailed)
    };

    // `writer` does the writing (a plain CaptureWriter when null).
    explicit CaptureQueue(size_t capacity, std::unique_ptr<CaptureWriter> writer = nullptr);
    // Writes what is queued, then ends the thread.
    ~CaptureQueue() override;

    // Starts a run (ending one still open) and returns its number (1, 2, ...).
    int beginRun(const CaptureWriter::Run& run);
    // Hands over frame `frame` of the open run, to be written under the gate
    // active when it arrived. False when it will not be stored: no open run,
    // the run failed, or the queue is full (the frame is then counted lost).
    bool offer(FrameRef frame, int activeGate);
    // The open run takes no more frames; runEnded follows once those queued are written.
    void endRun();

    int currentRun() const;
    bool runOpen() const;
    // Frames of the current (or last) run that did not become files so far.
    unsigned long long lostFrames() const { return m_lost; }
    size_t capacity() const { return m_capacity; }

signals:
    // The first failure of a run; it stores nothing after it.
    void writeFailed(int run, WriteFailure failure);
    void runEnded(CaptureQueue::Summary summary);

protected:
    void run() override;

private:
    struct Job
    {
        enum Kind { Begin, Store, End } kind = Store;
        int run = 0;
        CaptureWriter::Run settings;
        FrameRef frame;
        int gate = 1;
        unsigned long long rejected = 0; // End: frames of the run the queue turned away
    };

    void process(Job& job);
    // A frame of `run` that will not be stored; counted in lostFrames() while `run` is the current one.
    void countLost(int run);
    // Marks `run` failed, so the queue turns its frames away.
    void markFailed(int run);
    // The queue takes frames again, or the run ended: a full queue is over. Under m_mutex.
    void endFull();

    const size_t m_capacity;
    std::unique_ptr<CaptureWriter> m_writer; // writer thread only

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs; // guarded by m_mutex
    size_t m_queuedFrames = 0;
    int m_run = 0;
    bool m_open = false;
    bool m_failed = false;  // the open run failed; guarded by m_mutex
    RepeatedFailure m_full; // frames turned away by a full queue; guarded by m_mutex
    bool m_stop = false;
    unsigned long long m_rejected = 0; // frames of the open run turned away; guarded by m_mutex

    std::atomic<unsigned long long> m_lost{0};
    // The writer thread's tally of the run it is writing.
    Summary m_summary;
};

Q_DECLARE_METATYPE(CaptureQueue::Summary)
