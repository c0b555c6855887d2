#pragma once

#include <QByteArray>
#include <QString>

// The lines a capture's list file holds for frames `first` .. `last` named
// from `prefix`, as the station writes them (CR LF after each).
inline QByteArray listOf(const QString& prefix, int first, int last)
{
    QByteArray lines;
    for (int n = first; n <= last; ++n)
        lines += QStringLiteral("%1_%2.tif\r\n").arg(prefix).arg(n, 6, 10, QLatin1Char('0')).toLatin1();
    return lines;
}
