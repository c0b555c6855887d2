// libFuzzer target: the generator pages the console reads (the master's
// settings page, a slave's values page, the status page), the field matcher
// against the regular expression it stands for, and pages built from the
// input read back. Built with -DKESSANE_FUZZ=ON and clang.

#include "TmxPageSamples.h"
#include "generators/TmxPages.h"
#include "generators/ValueFields.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using GeneratorForm::Values;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

quint16 word(const uint8_t* data, int i)
{
    return quint16(data[2 * i] | data[2 * i + 1] << 8);
}

// Whatever the page, the form gets digits and finite, non-negative numbers.
void readPages(const QByteArray& body)
{
    const QString text = TmxPages::pageText(body);
    check(!text.contains(QChar(0)) && !text.contains(QLatin1Char('\n')));
    bool understood = false;
    const Values f = TmxPages::readMasterPage(text, Values(), &understood);
    for (int g = 0; g < 2; ++g) {
        check(f.source[g] >= 0 && f.source[g] <= 9 && f.timeUnit[g] >= 0 && f.timeUnit[g] <= 9);
        check(std::isfinite(f.period[g]) && f.period[g] >= 0 && f.pulses[g] >= 0);
        for (int c = 0; c < 2; ++c)
            check(std::isfinite(f.delay[g][c]) && f.delay[g][c] >= 0 && std::isfinite(f.width[g][c]));
    }
    if (const auto slave = TmxPages::readSlavePage(text)) {
        const QString block = TmxPages::slaveBlock(*slave);
        check(block.count(QLatin1String("\r\n")) == 10 && block.count(QLatin1Char('\t')) == 10);
        for (qint32 v : *slave)
            check(v >= 0);
    }
    TmxPages::readStatusPage(TmxPages::pageText(body, true));
}

// Three consecutive fields of the master's page match as their expression does.
void compareWithExpression(const QByteArray& body, uint8_t first)
{
    const QString text = TmxPages::pageText(body);
    const QVector<ValueFields::Field> fields = TmxPages::masterValueFields().mid(first % 11, 3);
    const QRegularExpressionMatch expected =
        QRegularExpression(ValueFields::pattern(fields), QRegularExpression::DotMatchesEverythingOption).match(text);
    const auto values = ValueFields::match(text, fields);
    check(bool(values) == expected.hasMatch());
    if (values)
        check(*values == expected.capturedTexts().mid(1));
}

void roundTrips(const uint8_t* data, size_t size)
{
    if (size < 2 * 17)
        return;
    std::array<qint64, 17> fields;
    for (int i = 0; i < 17; ++i)
        fields[i] = qint64(word(data, i)) * (data[i] % 7 == 0 ? 32768 : 1);
    const auto slave = TmxPages::readSlavePage(TmxPages::pageText(TmxPageSamples::slavePage(fields)));
    check(bool(slave));
    for (int i = 0; i < 16; ++i)
        check((*slave)[i] == fields[i]);

    Values f;
    const auto rounded = [](double v) { return GeneratorForm::number(v).toDouble(); };
    for (int g = 0; g < 2; ++g) {
        f.source[g] = GeneratorForm::sourceCode(g, data[g] % (g == 0 ? 5 : 2));
        f.timeUnit[g] = data[2 + g] % 4;
        f.period[g] = rounded(word(data, 2 + g) / 4.0);
        f.pulses[g] = word(data, 4 + g);
        for (int c = 0; c < 2; ++c) {
            f.delay[g][c] = rounded(word(data, 6 + 2 * g + c) / 64.0);
            f.width[g][c] = rounded(word(data, 10 + 2 * g + c) / 4096.0);
        }
    }
    bool understood = false;
    check(TmxPages::readMasterPage(TmxPages::pageText(TmxPageSamples::masterPage(f)), Values(), &understood) == f);
    check(understood);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > size_t(TmxPages::MaxPageBytes))
        return 0; // a larger answer is given up before it is read
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    readPages(body);
    if (size >= 1 && size <= 256)
        compareWithExpression(body.mid(1), data[0]);
    roundTrips(data, size);
    return 0;
}
