#include "generators/ValueFields.h"

#include <QHash>

#include <limits>

namespace ValueFields {

namespace {

const QLatin1String Opening("value=\"");
constexpr int MaxTail = 11; // characters a value may have after its digit run

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9'); // as \d without Unicode properties
}

} // namespace

Field::Field(std::initializer_list<const char*> alternatives, const char* closing)
    : m_closing(QString::fromLatin1(closing))
{
    for (const char* a : alternatives) {
        m_alternatives << QString::fromLatin1(a);
        m_exact << QRegularExpression(QRegularExpression::anchoredPattern(m_alternatives.last()),
                                      QRegularExpression::DotMatchesEverythingOption);
    }
}

QString Field::pattern() const
{
    return Opening + QLatin1Char('(') + m_alternatives.join(QLatin1Char('|')) + QLatin1Char(')') + m_closing;
}

QVector<int> Field::ends(const QString& text, int value) const
{
    int digits = 0;
    while (value + digits < text.size() && isDigit(text.at(value + digits)))
        ++digits;
    QVector<int> result;
    if (digits == 0)
        return result; // every alternative begins with a digit
    // The closing begins with '"', which no digit is: a value never ends
    // inside its digit run.
    const int last = qMin(value + digits + MaxTail, text.size() - m_closing.size());
    for (const QRegularExpression& exact : m_exact) {
        for (int end = last; end >= value + digits; --end) {
            if (text.midRef(end, m_closing.size()) == m_closing
                && exact.match(text.midRef(value, end - value)).hasMatch()
                && !result.contains(end + m_closing.size()))
                result << end + m_closing.size();
        }
    }
    return result;
}

QString pattern(const QVector<Field>& fields)
{
    QStringList parts;
    for (const Field& f : fields)
        parts << f.pattern();
    return parts.join(QStringLiteral(".*"));
}

std::optional<QStringList> match(const QString& text, const QVector<Field>& fields)
{
    const int n = fields.size();
    QVector<int> starts;
    for (int p = text.indexOf(Opening); p >= 0; p = text.indexOf(Opening, p + 1))
        starts << p + Opening.size();
    // The ends of each distinct field at each start, computed once.
    QHash<QString, int> kinds;
    QVector<QVector<QVector<int>>> endsOfKind;
    QVector<int> kindOf;
    for (const Field& f : fields) {
        const auto found = kinds.constFind(f.pattern());
        if (found != kinds.constEnd()) {
            kindOf << *found;
            continue;
        }
        kindOf << endsOfKind.size();
        kinds.insert(f.pattern(), endsOfKind.size());
        QVector<QVector<int>> ends;
        ends.reserve(starts.size());
        for (int value : qAsConst(starts))
            ends << f.ends(text, value);
        endsOfKind << ends;
    }
    const auto firstEnd = [&](int field, int start, int limit) {
        for (int end : endsOfKind.at(kindOf.at(field)).at(start)) {
            if (end <= limit)
                return end;
        }
        return -1;
    };
    // limit[i]: the latest start of field i after which the fields from i on
    // can still follow (the next field may start anywhere from an end on).
    QVector<int> limit(n + 1, -1);
    limit[n] = std::numeric_limits<int>::max();
    for (int i = n - 1; i >= 1; --i) {
        for (int k = starts.size() - 1; k >= 0 && limit[i] < 0; --k) {
            if (firstEnd(i, k, limit[i + 1]) >= 0)
                limit[i] = starts.at(k) - Opening.size();
        }
        if (limit[i] < 0)
            return std::nullopt;
    }
    // The match begins at the first possible start; each '.*' then leaves
    // the next field the latest start that still lets the rest follow, and
    // each field takes the first of its ends that does.
    QStringList values;
    int from = 0;
    for (int i = 0; i < n; ++i) {
        int end = -1;
        int k = i == 0 ? 0 : starts.size() - 1;
        for (; k >= 0 && k < starts.size() && starts.at(k) - Opening.size() >= from; k += i == 0 ? 1 : -1) {
            end = firstEnd(i, k, limit[i + 1]);
            if (end >= 0)
                break;
        }
        if (end < 0)
            return std::nullopt;
        values << text.mid(starts.at(k), end - fields.at(i).closingLength() - starts.at(k));
        from = end;
    }
    return values;
}

} // namespace ValueFields
