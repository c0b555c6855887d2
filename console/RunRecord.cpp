#include "RunRecord.h"

#include <QDateTime>

namespace RunRecord {

QString timestamp(const QDateTime& when)
{
    return when.date().toString(Qt::TextDate) + QLatin1Char(' ') + when.time().toString(QStringLiteral("hh:mm:ss"));
}

QString startLine(const QDateTime& when)
{
    return timestamp(when) + QStringLiteral(" Start logging\r\n");
}

QString comments(const QString& notes)
{
    QString line = notes;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral(" Comments: ") + line;
}

QString record(const Run& run)
{
    // One pass over the template, so that a value holding a marker is not filled again.
    return QStringLiteral(" Camlist = %1\r\n SlaveTMXlist = %2\r\n MasterTMX = %3\r\n Exposure=%8us\r\n"
                          " Frames=%4\r\n Folder=%5\r\n File_prefix=%6\r\n Point=%7\r\n")
        .arg(run.stations.join(QLatin1Char(',')), run.slaves.join(QLatin1Char(',')), run.master, run.frames,
             run.folder, run.prefix, run.point, run.exposure);
}

} // namespace RunRecord
