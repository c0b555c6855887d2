#include "camera/Thread.h"

#include "analysis/BoardCollector.h"
#include "camera/AveragePool.h"
#include "camera/FrameAveraging.h"
#include "camera/NqDevice.h"
#include "camera/NqPipeline.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcAcquisition, "kessane.station.acquisition")

namespace {

// The retrieve wakes up this often when no frame comes; AbortRetrieve wakes it
// at once.
constexpr uint32_t retrieveTimeoutMs = 500;
// Pause after a retrieve failed outright, so that a dead stream is not polled
// in a tight loop.
constexpr unsigned long failureBackoffMs = 500;
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

void Thread::resetRun()
{
    // Shown at once; the thread clears them again with the rest before its next
    // frame, so a frame in flight cannot leave a stale count behind.
    m_framesReceived = 0;
    m_errors = 0;
    m_requests |= ResetRun;
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

void Thread::pauseAcquisition()
{
    m_paused = true;
    m_framesReceived = 0;
    m_errors = 0;
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
    while (!m_stop) {
        applyRequests();
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
    }
    if (requests & ResetRun)
        m_summed = 0;
    if (requests & (ResetRun | RestartTimer))
        m_frameTimer.restart();
}

void Thread::handleFrame(NqBuffer* buffer, const NqResult& operationResult)
{
    applyRequests();
    const NqImage* image = buffer->GetImage();
    const size_t pixels = size_t(image->GetWidth()) * image->GetHeight();
    if (!operationResult.IsOK() || !buffer->HasImage() || pixels == 0
        || pixels > FrameAveraging::maxPixels) {
        ++m_errors;
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
        // Every averaged image is still at the GUI: drop this one.
        ++m_errors;
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
    if (!timedOut) {
        ++m_errors;
        qCDebug(lcAcquisition) << "retrieve failed:" << result.GetCode()
                               << result.GetDescription().GetAscii();
    }
    {
        QMutexLocker lock(&m_gate);
        if (m_stop)
            return;
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
