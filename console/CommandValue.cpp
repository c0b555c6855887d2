#include "CommandValue.h"

#include <QRegularExpression>

namespace CommandValue {

bool isSafe(const QString& value)
{
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c.category() == QChar::Other_Control)
            return false;
        if (c == QLatin1Char('#') && i + 1 < value.size() && value.at(i + 1).isLetter())
            return false;
    }
    return true;
}

bool isWorkFolder(const QString& text)
{
    // A segment: a first run of letters, digits, '_', '-', blanks, '.' and
    // '#', then at least one character that no file system refuses.
    static const QRegularExpression windows(QRegularExpression::anchoredPattern(
        QStringLiteral(R"(([A-Za-z]:)(\\[A-Za-z_\-\s0-9.#]+[^><*|:/?"]+)+\\)")));
    static const QRegularExpression posix(QRegularExpression::anchoredPattern(
        QStringLiteral(R"((/[A-Za-z_\-\s0-9.#]+[^><*|:/?"]+)+/)")));
    return (windows.match(text).hasMatch() || posix.match(text).hasMatch()) && isSafe(text);
}

} // namespace CommandValue
