#include "generators/TmxPages.h"

#include "TmxRequest.h"

#include <QRegularExpression>

#include <algorithm>

namespace TmxPages {

namespace {

QRegularExpression pattern(const char* text)
{
    return QRegularExpression(QString::fromLatin1(text), QRegularExpression::DotMatchesEverythingOption);
}

// The master's settings page: thirteen values, the second closed by two
// double quotes; then the selected option of each of four lists.
const char MasterValues[] =
    R"re(value="(\d+\.?\d{0,10})".*value="(\d+.?\d{0,10})"".*value="(\d+)".*value="(\d+)")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re";
const char MasterSource1[] =
    R"re(select name="ts1">.*<option value=(\d) selected="selected".*High Level</option></select></TD><TD>)re";
const char MasterSource2[] =
    R"re(select name="ts2">.*<option value=(\d) selected="selected".*</option></select></TD></tr>)re";
const char MasterUnit1[] =
    R"re(<select name="freq1">.*<option value=(\d) selected="selected">.*</option></select></TD><TD>)re";
const char MasterUnit2[] =
    R"re(<select name="freq2">.*<option value=(\d) selected="selected">.*</option></select></TD></tr>)re";

// A slave's values page: seventeen values, the fourth closed by two double quotes.
const char SlaveFields[] =
    R"re(value="(\d+)".*value="(\d+)".*value="(\d+)".*value="(\d+)"".*value="(\d+)".*value="(\d+)")re"
    R"re(.*value="(\d+)".*value="(\d+)".*value="(\d+)".*value="(\d+)".*value="(\d+)".*value="(\d+)")re"
    R"re(.*value="(\d+)".*value="(\d+)".*value="(\d+)".*value="(\d+)".*value="(\d+)")re";

const char Status[] =
    R"re(Generator 1<b>:(Stopped|Running)</b>  Generator 2:<b>(Stopped|Running)</b><br></body>)re";

constexpr double TicksPerMillisecond = TmxRequest::TicksPerSecond / 1000.0;

// Sets *target from capture `n` when it converts; false otherwise.
bool take(const QRegularExpressionMatch& m, int n, double* target)
{
    bool ok = false;
    const double v = m.captured(n).toDouble(&ok);
    if (ok)
        *target = v;
    return ok;
}

bool take(const QRegularExpressionMatch& m, int n, int* target)
{
    bool ok = false;
    const int v = m.captured(n).toInt(&ok);
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

GeneratorForm::Values readMasterPage(const QString& text, GeneratorForm::Values shown, bool* understood)
{
    static const QRegularExpression values = pattern(MasterValues);
    static const QRegularExpression selects[4] = {pattern(MasterSource1), pattern(MasterSource2),
                                                  pattern(MasterUnit1), pattern(MasterUnit2)};
    GeneratorForm::Values& f = shown;
    bool all = true;
    const QRegularExpressionMatch m = values.match(text);
    if (m.hasMatch()) {
        // The values alternate generator 1 and 2 within each quantity.
        all &= take(m, 1, &f.period[0]) & take(m, 2, &f.period[1]);
        all &= take(m, 3, &f.pulses[0]) & take(m, 4, &f.pulses[1]);
        all &= take(m, 5, &f.delay[0][0]) & take(m, 6, &f.delay[1][0]);
        all &= take(m, 7, &f.width[0][0]) & take(m, 8, &f.width[1][0]);
        all &= take(m, 9, &f.delay[0][1]) & take(m, 10, &f.delay[1][1]);
        all &= take(m, 11, &f.width[0][1]) & take(m, 12, &f.width[1][1]);
    } else {
        all = false;
    }
    int* const selected[4] = {&f.source[0], &f.source[1], &f.timeUnit[0], &f.timeUnit[1]};
    for (int i = 0; i < 4; ++i) {
        const QRegularExpressionMatch s = selects[i].match(text);
        all &= s.hasMatch() && take(s, 1, selected[i]);
    }
    *understood = all;
    return f;
}

std::optional<SlaveValues> readSlavePage(const QString& text)
{
    static const QRegularExpression fields = pattern(SlaveFields);
    const QRegularExpressionMatch m = fields.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    SlaveValues v;
    for (int i = 0; i < int(v.size()); ++i)
        v[i] = m.captured(i + 1).toInt(); // 0 when it does not fit
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
