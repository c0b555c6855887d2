#pragma once

#include <QString>
#include <QStringList>

class QDateTime;

// The texts of the run log: the start line, and per run a time stamp, the
// user's notes and the record of stations, generators and capture settings.
namespace RunRecord {

// What a run's record holds, as the form showed it at the run.
struct Run
{
    QStringList stations;
    QStringList slaves;
    QString master;
    QString frames;
    QString folder;
    QString prefix;
    QString point;
    QString exposure; // microseconds
};

// Date and time as in "Tue Dec 8 2026 09:05:01".
QString timestamp(const QDateTime& when);
// The first line of a log, CR LF included.
QString startLine(const QDateTime& when);
// " Comments: " and the notes on one line (line feeds become blanks).
QString comments(const QString& notes);
// Eight lines, each a blank, a key, its value and CR LF; the values are
// taken as they stand, whatever they hold ("%6" included).
QString record(const Run& run);

} // namespace RunRecord
