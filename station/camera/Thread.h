#pragma once

#include "camera/Frame.h"
#include "camera/NqBufferResult.h"
#include "camera/StreamWatch.h"

#include "RepeatedFailure.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <memory>
#include <vector>

class AveragePool;
class BoardCollector;
class NqBuffer;
class NqDevice;
class NqPipeline;
class NqResult;

// Takes every buffer the camera pipeline completes and hands frames to the GUI
// thread: each frame as it is (N = 1, the pipeline buffer itself, released
// when the last FrameRef goes) or the truncated mean of N frames (in a buffer
// of a small pool). It counts every camera frame of a run that does not reach
// the GUI, and watches the camera: one that lost its control channel, or
// whose stream stays silent while it should be acquiring, is reported once;
// a stream that delivers only incomplete frames is reported too (StreamWatch).
// One thread per camera connection.
class Thread : public QThread
{
    Q_OBJECT

public:
    Thread(NqDevice* device, NqPipeline* pipeline);
    ~Thread() override; // stops if running

    // Frames averaged per shown image, 1..100; lowering it below the frames
    // already summed averages those at the next frame.
    void setAverageCount(unsigned n);
    unsigned averageCount() const { return m_averageCount; }
    // New run: frames received, frames summed, the sum and the error count
    // start again and the frame timer restarts. The thread applies it itself
    // before it handles the next frame, whose Frame::run is the id returned.
    unsigned resetRun();
    // captureDone() is emitted on the frame that makes frames received equal
    // `frames` while capturing; -1 never matches.
    void setTarget(int frames);
    void setCapturing(bool on);
    void restartFrameTimer();
    // From now on the thread only idles; counters are cleared.
    void pauseAcquisition();
    // Shown every single frame (not averages) for the lens calibration; set
    // before start(), not owned, outlives the thread.
    void setBoardCollector(BoardCollector* boards) { m_boards = boards; }

    // While the camera acquires, a stream silent for `ms` milliseconds means
    // the camera is gone, and one that completes no frame for as long is of
    // no use; 0 (not acquiring, or waiting for triggers) watches the control
    // channel and the frames that come only. A longer limit counts from this
    // call on, a shorter one from the frames after it (see StreamWatch).
    void setSilenceLimit(unsigned ms);
    unsigned silenceLimit() const { return m_silenceLimit; }

    unsigned long long framesReceived() const { return m_framesReceived; }
    // Camera frames of this run that did not reach the GUI: incomplete,
    // never delivered (block ids skipped: lost, or no free pipeline buffer)
    // and averages dropped for want of a free buffer. Failed frames before
    // the run's first complete one are counted only when no complete one
    // follows within the silence limit: until then they may be the end of the
    // acquisition stopped before the run, or the stream settling.
    unsigned long long errorCount() const { return m_errors; }
    // Of those, the ones lost before the capture target was reached (all so
    // far while it was not): frames after the target are not the capture's.
    unsigned long long capturedLosses() const { return m_capturedLosses; }
    double frameRate() const { return m_frameRate; }
    // Last CurrentTemperature read; -1000 before the first one.
    int temperature() const { return m_temperature; }

signals:
    void imageReady(unsigned long long frameNumber, FrameRef frame);
    void captureDone();
    void camTempStatus(int temperature);
    void boardfound(int boardsFound, int framesReceived);
    // The camera is gone (emitted once); the thread reads no feature after it.
    void cameraLost();
    // Frames keep coming, none of them complete: `incomplete` of them in
    // `ms` milliseconds (see StreamWatch). Once per run.
    void framesIncomplete(unsigned long long incomplete, qint64 ms);

public slots:
    // Ends the thread and waits for it. No signal is emitted and no feature is
    // read once it has been called.
    void stop();

protected:
    void run() override;

private:
    enum Request : unsigned { ResetRun = 1, ResetCounters = 2, RestartTimer = 4 };

    void applyRequests();
    void handleFrame(NqBuffer* buffer, const NqResult& operationResult);
    void countFrame(uint64_t blockId, bool complete);
    void countLoss(unsigned long long frames);
    void watchCamera();
    // Hands a limit the GUI set to the watch.
    void applySilenceLimit();
    void reportIncomplete();
    void handOver(NqBuffer* buffer, const Frame& frame);
    void addToSum(NqBuffer* buffer, const Frame& frame);
    void publishAverage(const Frame& frame);
    void retrieveFailed(const NqResult& result);
    // Sleeps up to `ms` unless stop() wakes it.
    void idle(unsigned long ms);

    NqDevice* const m_device;
    NqPipeline* const m_pipeline;

    // Shared with the GUI thread.
    std::atomic<unsigned> m_averageCount{1};
    std::atomic<unsigned> m_requests{0};
    std::atomic<unsigned> m_requestedRun{0}; // the latest run resetRun started
    std::atomic<int> m_target{-1};
    std::atomic<bool> m_capturing{false};
    std::atomic<bool> m_paused{false};
    std::atomic<unsigned long long> m_framesReceived{0};
    std::atomic<unsigned long long> m_errors{0};
    std::atomic<unsigned long long> m_capturedLosses{0};
    std::atomic<unsigned> m_silenceLimit{0};
    std::atomic<bool> m_silenceRestart{false};
    std::atomic<double> m_frameRate{0.0};
    std::atomic<int> m_temperature{-1000};

    // Taken by stop() to set m_stop, and by the thread around every signal and
    // feature read, so none of them can follow stop().
    QMutex m_gate;
    QWaitCondition m_wake;
    std::atomic<bool> m_stop{false};

    // The thread's own.
    QElapsedTimer m_frameTimer;
    QElapsedTimer m_clock; // the watch's time
    StreamWatch m_watch;
    unsigned long long m_failedBeforeFirst = 0; // not counted yet (see errorCount)
    QElapsedTimer m_temperatureRead;
    RepeatedFailure m_retrieveFailures; // other than time-outs
    NqFrameLossCounter m_losses;
    unsigned m_run = 0; // the run of the frames made now
    bool m_runHasFrames = false; // a complete frame came in this run
    bool m_targetReached = false;
    bool m_lostReported = false;
    std::vector<uint32_t> m_sum;
    size_t m_sumPixels = 0;
    uint32_t m_sumFormat = 0;
    unsigned m_summed = 0;
    std::shared_ptr<AveragePool> m_pool;
    BoardCollector* m_boards = nullptr;
};
