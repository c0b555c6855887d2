#include "analysis/ColourTable.h"

#include <QFile>
#include <QList>

namespace ColourTable {

QString fileName(int index)
{
    static const char* const names[] = {"gray.lut", "rainbow.lut", "sprectrum.lut", "fire.lut", "edges.lut"};
    if (index < 0 || index >= int(sizeof names / sizeof names[0]))
        return QString();
    return QString::fromLatin1(names[index]);
}

QVector<QRgb> parse(const QByteArray& text)
{
    QVector<QRgb> table;
    QList<QByteArray> lines = text.split('\n');
    // A final line break ends the last line; it does not start another.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray line : lines) {
        if (table.size() == entries)
            break;
        if (line.endsWith('\r'))
            line.chop(1);
        const QList<QByteArray> fields = line.split('\t');
        auto field = [&fields](int i) { return i < fields.size() ? fields[i].toInt(nullptr, 10) & 0xFF : 0; };
        table.append(qRgba(field(1), field(2), field(3), 255));
    }
    return table;
}

bool load(const QString& path, QVector<QRgb>* table)
{
    // 256 short lines; anything much longer is no table of ours.
    constexpr qint64 maxBytes = 1 << 20;
    table->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *table = parse(file.read(maxBytes));
    return true;
}

QVector<QRgb> forDisplay(QVector<QRgb> table)
{
    if (!table.isEmpty() && table.size() < entries)
        table.insert(table.size(), entries - table.size(), qRgb(0, 0, 0));
    return table;
}

} // namespace ColourTable
