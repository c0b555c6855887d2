#include "camera/Thread.h"

#include "analysis/BoardCollector.h"
#include "camera/AveragePool.h"
#include "camera/FrameAveraging.h"
#include "camera/NqDevice.h"
#include "camera/NqPipeline.h"

#include <QLoggingCategory>

#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcAcquisition, "kessane.station.acquisition")

namespace {

// The retrieve wakes up this often when no frame comes; AbortRetrieve wakes it
// at once.
constexpr uint32_t retrieveTimeoutMs = 500;
// Pause after a retrieve failed outright, so that a dead stream is not polled
// in a tight loop.
constexpr unsigned long failureBackoffMs = 500;
// The idle camera's temperature is read this often.
constexpr qint64 temperatureIntervalMs = 10000;
// Averaged images that may be out at the GUI at the same time.
constexpr size_t averageBuffers = 3;

} // namespace

Thread::Thread(NqDevice* device, NqPipeline* pipeline) : m_device(device), m_pipeline(pipeline)
{
    qRegisterMetaType<FrameRef>();
}

Thread::~Thread()
{
    stop();
}

void Thread::setAverageCount(unsigned n)
{
    m_averageCount = std::clamp(n, 1u, FrameAveraging::maxCount);
}

unsigned Thread::resetRun()
{
    const unsigned run = ++m_requestedRun;
    // Shown at once; the thread clears them again with the rest before its next
    // frame, so a frame in flight cannot leave a stale count behind.
    m_framesReceived = 0;
    m_errors = 0;
    m_capturedLosses = 0;
    m_requests |= ResetRun;
    return run;
}

void Thread::setTarget(int frames)
{
    m_target = frames;
}

void Thread::setCapturing(bool on)
{
    m_capturing = on;
}

void Thread::restartFrameTimer()
{
    m_requests |= RestartTimer;
}

void Thread::setSilenceLimit(unsigned ms)
{
    // The limit goes first: the thread copies it once it sees the flag.
    m_silenceLimit = ms;
    m_silenceRestart = true;
}

void Thread::pauseAcquisition()
{
    m_paused = true;
    m_framesReceived = 0;
    m_errors = 0;
    m_capturedLosses = 0;
    m_requests |= ResetCounters;
}

void Thread::stop()
{
    {
        QMutexLocker lock(&m_gate);
        m_stop = true;
        m_wake.wakeAll();
    }
    m_pipeline->AbortRetrieve();
    wait();
}

void Thread::idle(unsigned long ms)
{
    QMutexLocker lock(&m_gate);
    if (!m_stop)
        m_wake.wait(&m_gate, ms);
}

void Thread::run()
{
    m_framesReceived = 0;
    m_errors = 0;
    m_frameTimer.start();
    m_clock.start();
    while (!m_stop) {
        applyRequests();
        watchCamera();
        if (m_paused) {
            idle(500);
            continue;
        }
        NqBuffer* buffer = nullptr;
        NqResult operationResult;
        const NqResult result = m_pipeline->RetrieveNextBuffer(&buffer, retrieveTimeoutMs, &operationResult);
        if (result.IsOK() && buffer) {
            if (m_stop) {
                m_pipeline->ReleaseBuffer(buffer);
                break;
            }
            if (const RepeatedFailure::Line line = m_retrieveFailures.ended())
                m_retrieveFailures.log(lcAcquisition(), QStringLiteral("retrieve failed"), line, QtDebugMsg);
            handleFrame(buffer, operationResult);
        } else if (result.GetCode() != NqResult::Code::ABORTED) {
            retrieveFailed(result);
        }
    }
}

void Thread::applyRequests()
{
    const unsigned requests = m_requests.exchange(0);
    if (requests & (ResetRun | ResetCounters)) {
        m_framesReceived = 0;
        m_errors = 0;
        m_capturedLosses = 0;
        m_losses.clear();
        m_runHasFrames = false;
        m_targetReached = false;
        m_failedBeforeFirst = 0;
    }
    if (requests & (ResetRun | ResetCounters))
        m_watch.newRun();
    if (requests & ResetRun) {
        m_summed = 0;
        m_run = m_requestedRun;
    }
    if (requests & (ResetRun | RestartTimer))
        m_frameTimer.restart();
}

void Thread::watchCamera()
{
    if (m_lostReported)
        return;
    applySilenceLimit();
    const qint64 now = m_clock.elapsed();
    const bool silent = m_watch.silent(now);
    if (!silent && !m_device->IsLost())
        return;
    qCWarning(lcAcquisition) << (silent ? "no frame for" : "control channel lost after") << m_watch.silentMs(now)
                             << "ms: the camera is gone";
    QMutexLocker lock(&m_gate);
    if (m_stop)
        return;
    m_lostReported = true;
    emit cameraLost();
}

void Thread::applySilenceLimit()
{
    if (m_silenceRestart.exchange(false))
        m_watch.setLimit(m_silenceLimit, m_clock.elapsed());
}

void Thread::reportIncomplete()
{
    const qint64 ms = m_watch.incompleteMs(m_clock.elapsed());
    const unsigned long long incomplete = m_watch.incompleteRow();
    qCWarning(lcAcquisition) << "no complete frame for" << ms << "ms," << incomplete << "incomplete ones";
    // No complete frame came after them: they were the run's.
    countLoss(std::exchange(m_failedBeforeFirst, 0));
    QMutexLocker lock(&m_gate);
    if (!m_stop)
        emit framesIncomplete(incomplete, ms);
}

void Thread::countLoss(unsigned long long frames)
{
    m_errors += frames;
    if (!m_targetReached)
        m_capturedLosses += frames;
}

void Thread::countFrame(uint64_t blockId, bool complete)
{
    // A limit set while the thread waited for this frame holds before it.
    applySilenceLimit();
    const bool runEnds = m_watch.frame(complete, m_clock.elapsed());
    // The failures before the run's first frame were the stream settling,
    // or the end of the acquisition stopped before the run.
    if (complete && !m_runHasFrames)
        m_failedBeforeFirst = 0;
    if (!complete && !m_runHasFrames && !m_watch.reported()) {
        // Held back until a complete frame or the end of the run tells which.
        ++m_failedBeforeFirst;
    } else {
        m_runHasFrames = m_runHasFrames || complete;
        const uint64_t before = m_losses.lost();
        m_losses.frame(blockId, complete);
        countLoss(complete ? m_losses.lost() - before : 1);
    }
    // Said on a frame that came, so that a stream gone silent after an
    // unfinished frame is a camera gone, not a stream of incomplete frames.
    if (runEnds)
        reportIncomplete();
}

void Thread::handleFrame(NqBuffer* buffer, const NqResult& operationResult)
{
    applyRequests();
    const NqImage* image = buffer->GetImage();
    const size_t pixels = size_t(image->GetWidth()) * image->GetHeight();
    const bool complete = operationResult.IsOK() && buffer->HasImage() && pixels > 0
                          && pixels <= FrameAveraging::maxPixels;
    countFrame(buffer->GetBlockID(), complete);
    if (!complete) {
        m_pipeline->ReleaseBuffer(buffer);
        return;
    }

    const qint64 ns = m_frameTimer.nsecsElapsed();
    m_frameTimer.restart();
    m_frameRate = ns > 0 ? 1e9 / double(ns) : 0.0;
    const unsigned long long number = ++m_framesReceived;

    Frame frame;
    frame.data = buffer->GetDataPointer();
    frame.width = image->GetWidth();
    frame.height = image->GetHeight();
    frame.pixelFormat = image->GetPixelType();
    frame.bytesPerSample = FrameAveraging::bytesPerSample(frame.pixelFormat);
    frame.size = std::min(buffer->GetPayloadSize(), buffer->GetSize());
    frame.blockId = buffer->GetBlockID();
    frame.timestamp = buffer->GetTimestamp();
    frame.number = number;
    frame.run = m_run;

    if (m_averageCount <= 1) {
        handOver(buffer, frame);
    } else {
        addToSum(buffer, frame);
        m_pipeline->ReleaseBuffer(buffer);
        // >= rather than ==: a count lowered below the frames already summed
        // shows their mean now instead of never again.
        if (m_summed >= m_averageCount)
            publishAverage(frame);
    }

    const int target = m_target;
    if (m_capturing && target >= 0 && number == static_cast<unsigned long long>(target)) {
        m_targetReached = true;
        QMutexLocker lock(&m_gate);
        if (!m_stop)
            emit captureDone();
    }
}

void Thread::handOver(NqBuffer* buffer, const Frame& frame)
{
    m_summed = 0;
    NqPipeline* pipeline = m_pipeline;
    const FrameRef ref(new Frame(frame), [pipeline, buffer](const Frame* f) {
        pipeline->ReleaseBuffer(buffer);
        delete f;
    });
    {
        QMutexLocker lock(&m_gate);
        if (m_stop)
            return;
        emit imageReady(frame.number, ref);
    }
    // The chessboard search reads the frame this thread still holds (the GUI
    // may read it at the same time; nobody writes it).
    const int boards = m_boards ? m_boards->examine(*ref) : 0;
    QMutexLocker lock(&m_gate);
    if (!m_stop)
        emit boardfound(boards, int(frame.number));
}

void Thread::addToSum(NqBuffer* buffer, const Frame& frame)
{
    const size_t pixels = size_t(frame.width) * frame.height;
    if (pixels != m_sumPixels || frame.pixelFormat != m_sumFormat) {
        // A new geometry or format starts a new average; the sum is sized once
        // per change, never per frame.
        m_sum.resize(pixels);
        m_sumPixels = pixels;
        m_sumFormat = frame.pixelFormat;
        m_summed = 0;
    }
    if (m_summed == 0)
        std::fill(m_sum.begin(), m_sum.end(), 0u);
    const size_t covered = FrameAveraging::coveredPixels(pixels, frame.size, frame.bytesPerSample);
    FrameAveraging::accumulate(m_sum.data(), buffer->GetDataPointer(), covered, frame.bytesPerSample);
    ++m_summed;
}

void Thread::publishAverage(const Frame& frame)
{
    const unsigned count = m_summed;
    m_summed = 0;
    const size_t bytes = m_sumPixels * frame.bytesPerSample;
    if (!m_pool || m_pool->slotBytes() != bytes)
        m_pool = AveragePool::create(averageBuffers, bytes);
    const int slot = m_pool->take();
    if (slot < 0) {
        // Every averaged image is still at the GUI or the writer: drop this one.
        countLoss(count);
        return;
    }
    FrameAveraging::average(m_sum.data(), m_pool->data(slot), m_sumPixels, count, frame.bytesPerSample);
    const FrameRef ref = m_pool->hand(slot, frame);
    QMutexLocker lock(&m_gate);
    if (!m_stop)
        emit imageReady(frame.number, ref);
}

void Thread::retrieveFailed(const NqResult& result)
{
    const bool timedOut = result.GetCode() == NqResult::Code::TIMEOUT;
    // Retried every failureBackoffMs while it lasts.
    if (!timedOut) {
        if (const RepeatedFailure::Line line = m_retrieveFailures.occurred())
            m_retrieveFailures.log(lcAcquisition(),
                                   QStringLiteral("retrieve failed: %1 %2")
                                       .arg(result.GetCode())
                                       .arg(QString::fromUtf8(result.GetDescription().GetAscii())),
                                   line, QtDebugMsg);
    }
    {
        QMutexLocker lock(&m_gate);
        // Only an idle camera is asked: one that should be acquiring and
        // sends nothing may be gone, and would hold us up for its time-outs.
        if (m_stop || m_lostReported || m_watch.limit() > 0 || m_device->IsLost())
            return;
        // Now and then: each read shares the control channel with the heartbeat
        // that tells us when the camera is gone.
        if (m_temperatureRead.isValid() && m_temperatureRead.elapsed() < temperatureIntervalMs)
            return;
        m_temperatureRead.start();
        int64_t value = 0;
        NqGenParameterArray* features = m_device->GetGenParameters();
        if (features && features->GetIntegerValue("CurrentTemperature", value).IsOK()) {
            m_temperature = int(value);
            emit camTempStatus(int(value));
        }
    }
    if (!timedOut)
        idle(failureBackoffMs);
}
