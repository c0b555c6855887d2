#pragma once

#include <QByteArray>
#include <QRgb>
#include <QString>
#include <QVector>

// False-colour tables (LUTs) for the 8-bit display image: text files in the
// program's folder, one colour per line, tab-separated fields: an entry
// number (ignored), red, green, blue.
namespace ColourTable {

constexpr int entries = 256;

// The file of table `index` (0 "gray.lut" to 4 "edges.lut"); empty for
// an index the station does not know.
QString fileName(int index);

// The colours of a table file's text, one per line (CRLF or LF), at most
// 256. A field that is no number, or is missing, counts as 0, so a short
// line still takes its place; only the low 8 bits of each value are used.
QVector<QRgb> parse(const QByteArray& text);

// Reads the table file at `path` into *table; false (and an empty table)
// when it cannot be read.
bool load(const QString& path, QVector<QRgb>* table);

// A table for an indexed image: values beyond the end of a short table show
// black. An empty table stays empty (the image then shows grey levels).
QVector<QRgb> forDisplay(QVector<QRgb> table);

} // namespace ColourTable
