#include "capture/ListFiles.h"

#include "Prompt.h"
#include "capture/CaptureNaming.h"

#include <QCoreApplication>
#include <QFile>

void ListFiles::beginRun()
{
    m_started.clear();
    m_reported.clear();
}

bool ListFiles::append(const QString& tiffPath, const QString& channel, QWidget* parent)
{
    const QString listPath = listFilePath(tiffPath, channel);
    const bool first = !m_started.contains(listPath);
    QFile list(listPath);
    const QIODevice::OpenMode mode = first ? QIODevice::WriteOnly | QIODevice::Truncate
                                           : QIODevice::WriteOnly | QIODevice::Append;
    const QByteArray line = listFileLine(tiffPath);
    const bool ok = list.open(mode) && list.write(line) == line.size() && list.flush();
    if (ok) {
        m_started.insert(listPath);
        return true;
    }
    if (!m_reported.contains(listPath)) {
        m_reported.insert(listPath);
        Prompt::current().message(parent, Prompt::Warning,
                                  QCoreApplication::translate("Lumi_cam", "List file error"),
                                  QCoreApplication::translate("Lumi_cam", "Warning: Can't open %1 file for writing!")
                                      .arg(listPath));
    }
    return false;
}
