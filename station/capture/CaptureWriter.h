#pragma once

#include "camera/Frame.h"
#include "capture/CaptureNaming.h"
#include "capture/ListFiles.h"
#include "capture/TiffWriter.h"
#include "capture/WriteFailure.h"

#include <QStringList>

// The files of a capture run: names the files of one frame by the run's
// mode, writes them, and lists each one after it was written. A list names
// exactly the complete images: a file that fails is removed, and an image
// whose list line cannot be written is removed too. Says which file failed
// and why; telling the user is the caller's. Runs on the writer thread
// (CaptureQueue); a test can drive it directly with frames it built itself.
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
        // Green averaging as it was when the capture began: one series is
        // made one way.
        bool averageGreens = false;
    };

    struct Result
    {
        QString lastName;        // the name last built for this frame
        QString frameNumberText; // its frame number, at least six digits
        QStringList written;     // the files written, in order
        bool ok = true;          // every file of the frame was written and listed
        bool dropped = false;    // the frame did not match the run's format; nothing written
        WriteFailure failure;    // what failed, when not ok
    };

    virtual ~CaptureWriter() = default;

    // Starts a run: lists start afresh, and a multi-page run creates its file
    // ("<folder>/<prefix><point>.tif"); the failure says when it could not.
    virtual WriteFailure beginRun(const Run& run);
    // Ends the run; closes the multi-page file.
    virtual void endRun();
    bool running() const { return m_running; }

    // Writes one captured frame; the counter is the frame's own number and
    // activeGate the gate in use when the frame arrived (1 or 2). Stops at
    // the first file that fails.
    virtual Result write(const Frame& frame, int activeGate);

private:
    WriteResult writeFile(const CaptureFile& file, const Frame& frame);

    Run m_run;
    CaptureRow m_row = CaptureRow::MonoStandard;
    ListFiles m_lists;
    TiffHandle m_multiPage;
    bool m_running = false;
};
