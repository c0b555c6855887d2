#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

// Dotted-quad IPv4 addresses as the station and the console accept them: four
// decimal parts of one to three digits (leading zeros allowed) with values 0 to
// 255, separated by points. The whole text must match.
namespace Ipv4 {

inline const char* pattern()
{
    return R"(\b(([01]?\d?\d|2[0-4]\d|25[0-5])\.){3}([01]?\d?\d|2[0-4]\d|25[0-5])\b)";
}

inline const QRegularExpression& expression()
{
    static const QRegularExpression whole(
        QRegularExpression::anchoredPattern(QString::fromLatin1(pattern())));
    return whole;
}

inline bool isValid(const QString& text)
{
    return expression().match(text).hasMatch();
}

// The address without leading zeros ("010.001.2.3" -> "10.1.2.3"): the network
// stack would refuse or misread zero-padded parts. `text` must be valid.
inline QString normalized(const QString& text)
{
    QStringList parts = text.split(QLatin1Char('.'));
    for (QString& part : parts)
        part = QString::number(part.toInt());
    return parts.join(QLatin1Char('.'));
}

} // namespace Ipv4
