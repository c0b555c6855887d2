#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// The value attributes of a generator page, read as one sequence: the
// pattern value="(A)"C.*value="(B)"D.*... ('.' any character, '.*' greedy)
// gives its first match as a backtracking engine would, but without
// backtracking, so that a page with many fields takes linear time where the
// engine would give up. Each field's value is a digit run followed by at
// most 11 further characters, matched by alternatives with greedy
// quantifiers (so the longer of two values is the one tried first).
namespace ValueFields {

class Field
{
public:
    // `alternatives` in the order tried; `closing` follows the value ("\"" or "\"\"").
    Field(std::initializer_list<const char*> alternatives, const char* closing);

    // value="(alternative|...)" and the closing, as a regular expression.
    QString pattern() const;
    // Where the field's value may end when it starts at `value`, each end
    // the index after the closing, in the order the pattern tries them.
    QVector<int> ends(const QString& text, int value) const;
    int closingLength() const { return m_closing.size(); }

private:
    QStringList m_alternatives;
    QVector<QRegularExpression> m_exact;
    QString m_closing;
};

// The whole pattern of a field sequence, fields joined by ".*".
QString pattern(const QVector<Field>& fields);

// The values of the first match (one capture per field), or none.
std::optional<QStringList> match(const QString& text, const QVector<Field>& fields);

} // namespace ValueFields
