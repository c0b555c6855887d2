#include "generators/GeneratorForm.h"

#include "TmxRequest.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace GeneratorForm {

namespace {

// Codes by combo index.
constexpr int Sources1[] = {0, 1, 2, 4, 6};
constexpr int Sources2[] = {0, 1};

template <size_t N>
int indexOf(const int (&codes)[N], int code)
{
    const auto* found = std::find(std::begin(codes), std::end(codes), code);
    return found == std::end(codes) ? -1 : int(found - std::begin(codes));
}

} // namespace

bool Values::operator==(const Values& o) const
{
    for (int g = 0; g < 2; ++g) {
        if (source[g] != o.source[g] || period[g] != o.period[g] || pulses[g] != o.pulses[g]
            || timeUnit[g] != o.timeUnit[g])
            return false;
        for (int c = 0; c < 2; ++c) {
            if (delay[g][c] != o.delay[g][c] || width[g][c] != o.width[g][c])
                return false;
        }
    }
    return true;
}

int sourceCode(int generator, int index)
{
    if (generator == 0)
        return index >= 0 && index < int(std::size(Sources1)) ? Sources1[index] : -1;
    return index >= 0 && index < int(std::size(Sources2)) ? Sources2[index] : -1;
}

int sourceIndex(int generator, int code)
{
    return generator == 0 ? indexOf(Sources1, code) : indexOf(Sources2, code);
}

QString number(double milliseconds)
{
    return QString::number(milliseconds, 'g', 6);
}

QString applyPathAndQuery(const Values& f)
{
    // The digit after "ch" is the channel, the one after "st"/"et" the generator.
    const auto end = [&f](int g, int c) { return number(f.delay[g][c] + f.width[g][c]); };
    QStringList fields{
        QStringLiteral("ts1=%1").arg(f.source[0]),    QStringLiteral("ts2=%1").arg(f.source[1]),
        QStringLiteral("p1=") + number(f.period[0]),  QStringLiteral("p2=") + number(f.period[1]),
        QStringLiteral("pn1=%1").arg(f.pulses[0]),    QStringLiteral("pn2=%1").arg(f.pulses[1]),
        QStringLiteral("ch1_st1=") + number(f.delay[0][0]), QStringLiteral("ch1_st2=") + number(f.delay[1][0]),
        QStringLiteral("ch1_et1=") + end(0, 0),       QStringLiteral("ch1_et2=") + end(1, 0),
        QStringLiteral("ch2_st1=") + number(f.delay[0][1]), QStringLiteral("ch2_st2=") + number(f.delay[1][1]),
        QStringLiteral("ch2_et1=") + end(0, 1),       QStringLiteral("ch2_et2=") + end(1, 1),
        QStringLiteral("freq1=%1").arg(f.timeUnit[0]), QStringLiteral("freq2=%1").arg(f.timeUnit[1]),
        QStringLiteral("save=1")};
    return QLatin1String(TmxRequest::ApplyPath) + QLatin1Char('?') + fields.join(QLatin1Char('&'));
}

QString profileRecord(const Values& f)
{
    const QStringList fields{QString::number(f.source[0]), QString::number(f.source[1]),
                             number(f.period[0]),          number(f.period[1]),
                             QString::number(f.pulses[0]), QString::number(f.pulses[1]),
                             number(f.delay[0][0]),        number(f.width[0][0]),
                             number(f.delay[0][1]),        number(f.width[0][1]),
                             number(f.delay[1][0]),        number(f.width[1][0]),
                             number(f.delay[1][1]),        number(f.width[1][1]),
                             QString::number(f.timeUnit[0]), QString::number(f.timeUnit[1])};
    return fields.join(QLatin1Char('|'));
}

Values fromProfileRecord(const QString& record)
{
    const QStringList fields = record.split(QLatin1Char('|'));
    const auto integer = [&fields](int i) { return fields.value(i).toInt(); };
    const auto real = [&fields](int i) {
        const double v = fields.value(i).toDouble();
        return std::isfinite(v) ? v : 0.0; // "nan" and "inf" convert too
    };
    Values f;
    f.source[0] = integer(0);
    f.source[1] = integer(1);
    f.period[0] = real(2);
    f.period[1] = real(3);
    f.pulses[0] = integer(4);
    f.pulses[1] = integer(5);
    f.delay[0][0] = real(6);
    f.width[0][0] = real(7);
    f.delay[0][1] = real(8);
    f.width[0][1] = real(9);
    f.delay[1][0] = real(10);
    f.width[1][0] = real(11);
    f.delay[1][1] = real(12);
    f.width[1][1] = real(13);
    f.timeUnit[0] = integer(14);
    f.timeUnit[1] = integer(15);
    return f;
}

} // namespace GeneratorForm
