#pragma once

#include <QSet>
#include <QString>

class QWidget;

// The list files of one capture run: each written image's name is appended to
// the list of its channel (CR LF lines). A list is emptied the first time the
// run writes to it, so a new run starts a new list whatever its frame counter.
// A list that cannot be opened is reported once per run.
class ListFiles
{
public:
    void beginRun();
    // Lists tiffPath (an image just written) under channel "mono", "color",
    // "p" or "r". False when the list cannot be written.
    bool append(const QString& tiffPath, const QString& channel, QWidget* parent = nullptr);

private:
    QSet<QString> m_started;
    QSet<QString> m_reported;
};
