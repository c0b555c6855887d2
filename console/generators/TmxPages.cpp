#include "generators/TmxPages.h"

#include "TmxRequest.h"
#include "generators/ValueFields.h"

#include <QRegularExpression>

#include <algorithm>

namespace TmxPages {

namespace {

QRegularExpression pattern(const char* text)
{
    return QRegularExpression(QString::fromLatin1(text), QRegularExpression::DotMatchesEverythingOption);
}

// The master's settings page: thirteen values, the second closed by two
// double quotes, then the selected option of each of four lists.
const char MasterSource1[] =
    R"re(select name="ts1">.*<option value=(\d) selected="selected".*High Level</option></select></TD><TD>)re";
const char MasterSource2[] =
    R"re(select name="ts2">.*<option value=(\d) selected="selected".*</option></select></TD></tr>)re";
const char MasterUnit1[] =
    R"re(<select name="freq1">.*<option value=(\d) selected="selected">.*</option></select></TD><TD>)re";
const char MasterUnit2[] =
    R"re(<select name="freq2">.*<option value=(\d) selected="selected">.*</option></select></TD></tr>)re";

const char Status[] =
    R"re(Generator 1<b>:(Stopped|Running)</b>  Generator 2:<b>(Stopped|Running)</b><br></body>)re";

constexpr double TicksPerMillisecond = TmxRequest::TicksPerSecond / 1000.0;

// Sets *target from `text` when it converts; false otherwise.
bool take(const QString& text, double* target)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (ok)
        *target = v;
    return ok;
}

bool take(const QString& text, int* target)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok)
        *target = v;
    return ok;
}

// The device's scale of a time unit: 2 to the power of the unit, as its
// 32-bit shift gives it (the count taken modulo 32).
qint32 unitScale(qint32 unit)
{
    return qint32(quint32(1) << (quint32(unit) & 31U));
}

// A width from a pulse's end and start, with the device's 32-bit wrap.
qint32 difference(qint32 end, qint32 start)
{
    return qint32(quint32(end) - quint32(start));
}

QString milliseconds(qint32 ticks, qint32 scale, int digits)
{
    return QString::number(double(ticks) * double(scale) / TicksPerMillisecond, 'g', digits);
}

} // namespace

QString pageText(const QByteArray& body, bool keepLineFeeds)
{
    QByteArray bytes;
    bytes.reserve(body.size());
    std::remove_copy_if(body.begin(), body.end(), std::back_inserter(bytes),
                        [keepLineFeeds](char c) { return c == '\0' || (c == '\n' && !keepLineFeeds); });
    return QString::fromLatin1(bytes);
}

const QVector<ValueFields::Field>& masterValueFields()
{
    static const ValueFields::Field first({R"re(\d+\.?\d{0,10})re"}, "\"");
    static const ValueFields::Field second({R"re(\d+.?\d{0,10})re"}, "\"\"");
    static const ValueFields::Field count({R"re(\d+)re"}, "\"");
    static const ValueFields::Field time({R"re(\d+.?\d{0,10})re", R"re(\d+e\-\d{2})re"}, "\"");
    static const QVector<ValueFields::Field> fields{first, second, count, count, time, time, time,
                                                    time,  time,   time,  time,  time, time};
    return fields;
}

const QVector<ValueFields::Field>& slaveValueFields()
{
    static const ValueFields::Field value({R"re(\d+)re"}, "\"");
    static const ValueFields::Field doubleClosed({R"re(\d+)re"}, "\"\"");
    static const QVector<ValueFields::Field> fields{value, value, value, doubleClosed, value, value,
                                                    value, value, value, value,        value, value,
                                                    value, value, value, value,        value};
    return fields;
}

GeneratorForm::Values readMasterPage(const QString& text, GeneratorForm::Values shown, bool* understood)
{
    static const QRegularExpression selects[4] = {pattern(MasterSource1), pattern(MasterSource2),
                                                  pattern(MasterUnit1), pattern(MasterUnit2)};
    GeneratorForm::Values& f = shown;
    bool all = false;
    if (const auto v = ValueFields::match(text, masterValueFields())) {
        // The values alternate generator 1 and 2 within each quantity.
        double* const times[] = {&f.period[0],   &f.period[1],   &f.delay[0][0], &f.delay[1][0],
                                 &f.width[0][0], &f.width[1][0], &f.delay[0][1], &f.delay[1][1],
                                 &f.width[0][1], &f.width[1][1]};
        const int timeValues[] = {0, 1, 4, 5, 6, 7, 8, 9, 10, 11};
        all = true;
        for (int g = 0; g < 2; ++g) {
            if (!take(v->at(2 + g), &f.pulses[g]))
                all = false;
        }
        for (int i = 0; i < 10; ++i) {
            if (!take(v->at(timeValues[i]), times[i]))
                all = false;
        }
    }
    int* const selected[4] = {&f.source[0], &f.source[1], &f.timeUnit[0], &f.timeUnit[1]};
    for (int i = 0; i < 4; ++i) {
        const QRegularExpressionMatch s = selects[i].match(text);
        if (!s.hasMatch() || !take(s.captured(1), selected[i]))
            all = false;
    }
    *understood = all;
    return f;
}

std::optional<SlaveValues> readSlavePage(const QString& text)
{
    const auto fields = ValueFields::match(text, slaveValueFields());
    if (!fields)
        return std::nullopt;
    SlaveValues v;
    for (int i = 0; i < int(v.size()); ++i)
        v[i] = fields->at(i).toInt(); // 0 when it does not fit
    return v;
}

QString triggerSourceName(int generator, int code)
{
    if (generator == 0) {
        switch (code) {
        case 0: return QStringLiteral("Software");
        case 1: return QStringLiteral("Ext. Sync");
        case 2: return QStringLiteral("Ext. Trig. Raising Edge");
        case 4: return QStringLiteral("Ext. Trig. Lowering Edge");
        case 6: return QStringLiteral("Ext. Trig. High Level");
        default: return QString();
        }
    }
    switch (code) {
    case 0: return QStringLiteral("Software");
    case 1: return QStringLiteral("Generator 1 Slave");
    default: return QString();
    }
}

QString slaveBlock(const SlaveValues& v)
{
    const qint32 s1 = unitScale(v[14]);
    const qint32 s2 = unitScale(v[15]);
    const auto time = [](qint32 ticks, qint32 scale) { return milliseconds(ticks, scale, 10); };
    const auto channel = [&time](int n, qint32 start, qint32 end, qint32 scale) {
        return QStringLiteral("\tdelay%1=%2ms width%1=%3ms\r\n")
            .arg(QString::number(n), time(start, scale), time(difference(end, start), scale));
    };
    return QStringLiteral("\tPulses1=") + QString::number(qint64(v[4]) + 1) + QStringLiteral("\r\n")
           + QStringLiteral("\tPulses2=") + QString::number(qint64(v[5]) + 1) + QStringLiteral("\r\n")
           + QStringLiteral("\tPeriod1=") + milliseconds(v[2], s1, 6) + QStringLiteral("ms\r\n")
           + QStringLiteral("\tPeriod2=") + milliseconds(v[3], s2, 6) + QStringLiteral("ms\r\n")
           + QStringLiteral("\tTrigger_Source1=(") + triggerSourceName(0, v[0]) + QStringLiteral(")\r\n")
           + QStringLiteral("\tTrigger_Source2=(") + triggerSourceName(1, v[1]) + QStringLiteral(")\r\n")
           + channel(1, v[6], v[8], s1) + channel(2, v[10], v[12], s1)
           + channel(3, v[7], v[9], s2) + channel(4, v[11], v[13], s2);
}

std::optional<Outputs> readStatusPage(const QString& text)
{
    static const QRegularExpression status = pattern(Status);
    const QRegularExpressionMatch m = status.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QLatin1String running("Running");
    return Outputs{m.captured(1) == running, m.captured(2) == running};
}

} // namespace TmxPages
