#pragma once

#include "capture/WriteResult.h"

#include <QSet>
#include <QString>

// The list files of one capture run: each written image's name is appended to
// the list of its channel (CR LF lines). A list is emptied the first time the
// run writes to it, so a new run starts a new list whatever its frame counter.
class ListFiles
{
public:
    void beginRun();
    // Lists tiffPath (an image just written) under channel "mono", "color",
    // "p" or "r"; the error says why the list could not be written.
    WriteResult append(const QString& tiffPath, const QString& channel);

private:
    QSet<QString> m_started;
};
