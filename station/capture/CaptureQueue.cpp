#include "capture/CaptureQueue.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCapture, "kessane.station.capture")

CaptureQueue::CaptureQueue(size_t capacity, std::unique_ptr<CaptureWriter> writer)
    : m_capacity(std::max<size_t>(capacity, 1)),
      m_writer(writer ? std::move(writer) : std::make_unique<CaptureWriter>())
{
    qRegisterMetaType<WriteFailure>();
    qRegisterMetaType<CaptureQueue::Summary>();
    start();
}

CaptureQueue::~CaptureQueue()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_wake.notify_all();
    }
    wait();
    // wait() orders the thread's end before what follows, out of
    // ThreadSanitizer's sight (Qt is not instrumented); taking the lock the
    // thread released last shows it the order, so a queue built later at the
    // same address is no race to it.
    const std::lock_guard<std::mutex> lock(m_mutex);
}

int CaptureQueue::beginRun(const CaptureWriter::Run& settings)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_open)
        m_jobs.push_back(Job{Job::End, m_run, {}, {}, 1, m_rejected});
    ++m_run;
    m_open = true;
    m_failed = false;
    m_rejected = 0;
    m_lost = 0;
    m_jobs.push_back(Job{Job::Begin, m_run, settings, {}, 1, 0});
    m_wake.notify_all();
    return m_run;
}

bool CaptureQueue::offer(FrameRef frame, int activeGate)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open || !frame)
        return false;
    if (m_failed || m_queuedFrames >= m_capacity) {
        ++m_lost;
        ++m_rejected;
        if (m_failed)
            return false;
        // A disk slower than the camera fills it with every frame.
        if (const RepeatedFailure::Line line = m_full.occurred()) {
            const QString what = QStringLiteral("offer: writer queue full, frame %1 is not stored").arg(frame->number);
            m_full.log(lcCapture(), what, line);
        }
        return false;
    }
    endFull();
    ++m_queuedFrames;
    m_jobs.push_back(Job{Job::Store, m_run, {}, std::move(frame), activeGate, 0});
    m_wake.notify_all();
    return true;
}

void CaptureQueue::endFull()
{
    if (const RepeatedFailure::Line line = m_full.ended())
        m_full.log(lcCapture(), QStringLiteral("offer: writer queue full, frames not stored"), line);
}

void CaptureQueue::endRun()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open)
        return;
    m_open = false;
    endFull();
    m_jobs.push_back(Job{Job::End, m_run, {}, {}, 1, m_rejected});
    m_wake.notify_all();
}

int CaptureQueue::currentRun() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_run;
}

bool CaptureQueue::runOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

void CaptureQueue::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // Stopping still writes what was handed over: those frames are the user's.
            m_wake.wait(lock, [this] { return !m_jobs.empty() || m_stop; });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        process(job);
        if (job.kind == Job::Store) {
            // The frame (and its pipeline buffer) goes before the slot is free again.
            job.frame.reset();
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_queuedFrames;
        }
    }
}

void CaptureQueue::countLost(int run)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (run == m_run)
        ++m_lost;
}

void CaptureQueue::markFailed(int run)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (run == m_run)
        m_failed = true;
}

void CaptureQueue::process(Job& job)
{
    switch (job.kind) {
    case Job::Begin: {
        m_summary = Summary();
        m_summary.run = job.run;
        const WriteFailure failure = m_writer->beginRun(job.settings);
        if (failure) {
            m_summary.failed = true;
            markFailed(job.run);
            emit writeFailed(job.run, failure);
        }
        return;
    }
    case Job::Store: {
        if (!m_summary.failed) {
            const CaptureWriter::Result result = m_writer->write(*job.frame, job.gate);
            if (result.ok) {
                ++m_summary.stored;
                return;
            }
            m_summary.failed = true;
            markFailed(job.run);
            emit writeFailed(job.run, result.failure);
        }
        ++m_summary.lost;
        countLost(job.run);
        return;
    }
    case Job::End:
        m_writer->endRun();
        m_summary.lost += job.rejected;
        emit runEnded(m_summary);
        return;
    }
}
