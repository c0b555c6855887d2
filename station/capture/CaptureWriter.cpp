#include "capture/CaptureWriter.h"

#include "Prompt.h"
#include "frames/FrameCheck.h"

#include <QCoreApplication>

CaptureWriter::CaptureWriter(QWidget* promptParent)
    : m_promptParent(promptParent)
{
}

void CaptureWriter::beginRun(const Run& run)
{
    endRun();
    m_run = run;
    m_row = captureRowFor(run.mode);
    m_lists.beginRun();
    m_failureReported = false;
    m_running = true;
    if (m_row == CaptureRow::MonoMultiPage) {
        const QString path = multiPagePath(run.names);
        m_multiPage = openMultiPageTiff(path);
        if (!m_multiPage)
            reportFailure(path);
    }
}

void CaptureWriter::endRun()
{
    m_multiPage.reset();
    m_running = false;
}

CaptureWriter::Result CaptureWriter::write(const Frame& frame, int activeGate)
{
    Result result;
    const quint64 counter = frame.number;
    result.frameNumberText = frameNumberText(fileFrameNumber(m_row, counter, m_run.averaging));
    const QVector<CaptureFile> files = captureFiles(m_row, m_run.names, counter, m_run.averaging, activeGate);
    if (!frameIsComplete(frame, m_run.format.displayDepth)) {
        ++m_dropped;
        result.dropped = true;
        result.ok = false;
        // The frame is not stored: said like a file that could not be written.
        if (!files.isEmpty())
            reportFailure(files.first().writer == CaptureFile::Page ? multiPagePath(m_run.names)
                                                                    : files.first().path);
        return result;
    }
    for (const CaptureFile& file : files) {
        result.lastName = file.path;
        if (!writeFile(file, frame)) {
            ++m_failedFiles;
            result.ok = false;
            reportFailure(file.path);
            continue;
        }
        if (file.writer != CaptureFile::Page)
            result.written.append(file.path);
        if (!file.listChannel.isEmpty())
            m_lists.append(file.path, file.listChannel, m_promptParent);
    }

    if (m_row == CaptureRow::MonoTwoGate) {
        result.switchGate = true;
        result.gatesChecked = (counter & 1) != 0;
    }
    return result;
}

bool CaptureWriter::writeFile(const CaptureFile& file, const Frame& frame)
{
    const int w = int(frame.width);
    const int h = int(frame.height);
    switch (file.writer) {
    case CaptureFile::WholeFrame:
        return writeTiff(file.path, w, h, frame.data, m_run.format);
    case CaptureFile::Plane:
        return writeTiffPlane(file.path, w / 2, h / 2, frame.data, w, m_run.format, file.planeFlags,
                              m_run.averageGreens);
    case CaptureFile::Page:
        return m_multiPage
               && writeTiffPage(m_multiPage.get(), w, h, frame.data, m_run.format, int(frame.number),
                                m_run.targetFrames);
    }
    return false;
}

void CaptureWriter::reportFailure(const QString& path)
{
    if (m_failureReported)
        return;
    m_failureReported = true;
    Prompt::current().message(m_promptParent, Prompt::Critical, QCoreApplication::translate("Lumi_cam", "Save tiff"),
                              QCoreApplication::translate("Lumi_cam", "Unable to write file <b>%1</b>").arg(path));
}
