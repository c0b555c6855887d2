#include "capture/CaptureWriter.h"

#include "frames/FrameCheck.h"

#include <QFile>

#include <cerrno>

WriteFailure CaptureWriter::beginRun(const Run& run)
{
    endRun();
    m_run = run;
    m_row = captureRowFor(run.mode);
    m_lists.beginRun();
    m_running = true;
    if (m_row != CaptureRow::MonoMultiPage)
        return {};
    const QString path = multiPagePath(run.names);
    int error = 0;
    m_multiPage = openMultiPageTiff(path, &error);
    if (m_multiPage)
        return {};
    return {WriteFailure::Image, path, error};
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
        result.dropped = true;
        result.ok = false;
        // Said like a file that could not be written, naming the file it would have made.
        if (!files.isEmpty())
            result.failure = {WriteFailure::Frame,
                              files.first().writer == CaptureFile::Page ? multiPagePath(m_run.names)
                                                                        : files.first().path,
                              0};
        return result;
    }
    for (const CaptureFile& file : files) {
        result.lastName = file.path;
        const WriteResult written = writeFile(file, frame);
        if (!written) {
            const QString path = file.writer == CaptureFile::Page ? multiPagePath(m_run.names) : file.path;
            result.failure = {WriteFailure::Image, path, written.error};
            result.ok = false;
            return result;
        }
        if (file.listChannel.isEmpty()) {
            if (file.writer != CaptureFile::Page)
                result.written.append(file.path);
            continue;
        }
        const WriteResult listed = m_lists.append(file.path, file.listChannel);
        if (!listed) {
            QFile::remove(file.path);
            result.failure = {WriteFailure::List, listFilePath(file.path, file.listChannel), listed.error};
            result.ok = false;
            return result;
        }
        result.written.append(file.path);
    }
    return result;
}

WriteResult CaptureWriter::writeFile(const CaptureFile& file, const Frame& frame)
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
        return writeTiffPage(m_multiPage.get(), w, h, frame.data, m_run.format, int(frame.number),
                             m_run.targetFrames);
    }
    return {EINVAL};
}
