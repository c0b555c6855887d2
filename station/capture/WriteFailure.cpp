#include "capture/WriteFailure.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <unistd.h>

QString writeFailureReason(int error)
{
    const char* context = "Lumi_cam";
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QCoreApplication::translate(context, "The disk is full.");
    case EFBIG:
        return QCoreApplication::translate(context, "The file is too large for the disk.");
    case EROFS:
        return QCoreApplication::translate(context, "The folder is read-only.");
    case EACCES:
    case EPERM:
        return QCoreApplication::translate(context, "Writing to the folder is not permitted.");
    case ENOENT:
    case ENOTDIR:
        return QCoreApplication::translate(context, "The folder does not exist.");
    case EIO:
        return QCoreApplication::translate(context, "The disk reported an input/output error.");
    case EISDIR:
        return QCoreApplication::translate(context, "A folder of that name stands where the file goes.");
    case 0:
        return QCoreApplication::translate(context, "The file could not be written.");
    default:
        return QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char('.');
    }
}

int probeWriteError(const QString& path)
{
    const QFileInfo file(path);
    if (file.isDir())
        return EISDIR;
    if (!QFileInfo(file.absolutePath()).isDir())
        return ENOENT;
    // The file itself when it is there, else the folder it would go into.
    const QByteArray target = QFile::encodeName(file.exists() ? file.absoluteFilePath() : file.absolutePath());
    return ::access(target.constData(), W_OK) == 0 ? 0 : errno;
}

FailureBox failureBox(const WriteFailure& failure)
{
    const char* context = "Lumi_cam";
    FailureBox box;
    switch (failure.kind) {
    case WriteFailure::List:
        box.icon = Prompt::Warning;
        box.title = QCoreApplication::translate(context, "List file error");
        box.text = QCoreApplication::translate(context, "Warning: Can't open %1 file for writing!").arg(failure.path);
        break;
    case WriteFailure::Sidecar:
        box.title = QCoreApplication::translate(context, "Save settings");
        box.text = QCoreApplication::translate(context, "Unable to write file <b>%1</b>: the capture was not started.")
                       .arg(failure.path);
        break;
    default:
        box.title = QCoreApplication::translate(context, "Save tiff");
        box.text = QCoreApplication::translate(context, "Unable to write file <b>%1</b>").arg(failure.path);
        break;
    }
    const QString reason = failure.kind == WriteFailure::Frame
                               ? QCoreApplication::translate(context, "The frame does not match the capture's image format.")
                               : writeFailureReason(failure.error);
    box.text += QStringLiteral("<br>") + reason;
    return box;
}
