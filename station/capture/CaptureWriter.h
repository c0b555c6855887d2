#pragma once

#include "camera/Frame.h"
#include "capture/CaptureNaming.h"
#include "capture/ListFiles.h"
#include "capture/TiffWriter.h"

#include <QStringList>

class QWidget;

// The capture side of the frame slot: names the files of one frame by the
// run's mode, writes them, lists each one after it was written, and reports a
// failed write once per run (not once per frame). Driven with FrameRefs, so a
// test can feed it frames it built itself.
class CaptureWriter
{
public:
    struct Run
    {
        CaptureNameParts names;
        CaptureModeFlags mode;
        TiffFormat format;
        int averaging = 1;         // N; the file numbers of the N-averaging rows are counter / N
        int targetFrames = -1;     // page total of the multi-page file
        bool averageGreens = false;
    };

    struct Result
    {
        QString lastName;        // the name last built for this frame
        QString frameNumberText; // its frame number, at least six digits
        QStringList written;     // the files written, in order
        bool ok = true;          // every file of the frame was written
        bool dropped = false;    // the frame did not match the run's format; nothing written
        bool switchGate = false; // two-gate run: switch to the other gate now;
        bool gatesChecked = false; // ... actionGates is checked for odd counters
    };

    explicit CaptureWriter(QWidget* promptParent = nullptr);

    // Starts a run: lists start afresh, a failure is reported again, and a
    // multi-page run creates its file ("<folder>/<prefix><point>.tif").
    void beginRun(const Run& run);
    // Ends the run; closes the multi-page file.
    void endRun();
    bool running() const { return m_running; }

    // Writes one captured frame; the counter is the frame's own number and
    // activeGate the gate in use when the frame arrived (1 or 2).
    Result write(const Frame& frame, int activeGate);

    uint64_t droppedFrames() const { return m_dropped; }
    uint64_t failedFiles() const { return m_failedFiles; }

private:
    bool writeFile(const CaptureFile& file, const Frame& frame);
    void reportFailure(const QString& path);

    QWidget* m_promptParent;
    Run m_run;
    CaptureRow m_row = CaptureRow::MonoStandard;
    ListFiles m_lists;
    TiffHandle m_multiPage;
    bool m_running = false;
    bool m_failureReported = false;
    uint64_t m_dropped = 0;
    uint64_t m_failedFiles = 0;
};
