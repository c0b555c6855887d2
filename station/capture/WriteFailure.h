#pragma once

#include "Prompt.h"

#include <QMetaType>
#include <QString>

// A capture file that could not be written, and what the user is told about
// it: which file failed and why.
struct WriteFailure
{
    enum Kind {
        None,
        Image, // a TIFF file (or the multi-page file) could not be written
        List,  // a list file could not be written; the image it would list was removed
        Frame, // the frame did not match the capture's image format
        Sidecar, // the capture's settings file could not be written: it was not started
    };
    Kind kind = None;
    QString path;
    int error = 0; // errno of the failed call (Image, List, Sidecar); 0 when unknown

    explicit operator bool() const { return kind != None; }
};
Q_DECLARE_METATYPE(WriteFailure)

// The system's error number as a sentence the user can act on ("The disk is full.").
QString writeFailureReason(int error);

// Why the file at `path` cannot be written, as an errno (0 when no reason is
// found): a folder in its place, a file or folder that refuses writing, a
// missing folder. Creates nothing.
int probeWriteError(const QString& path);

struct FailureBox
{
    Prompt::Icon icon = Prompt::Critical;
    QString title;
    QString text;
};

// "Save tiff" / "Unable to write file <b>...</b>" for images and frames,
// "List file error" / "Warning: Can't open ... file for writing!" for lists,
// "Save settings" / "Unable to write file <b>...</b>: the capture was not
// started." for the sidecar, each followed by the reason.
FailureBox failureBox(const WriteFailure& failure);
