#include "AddressList.h"

#include "CommandValue.h"
#include "Ipv4.h"

#include <QRegularExpression>

namespace AddressList {

QStringList items(const QString& text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    if (text.trimmed().isEmpty())
        return {};
    QStringList list = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    for (QString& item : list)
        item.remove(blanks);
    return list;
}

bool allValid(const QStringList& items)
{
    for (const QString& item : items) {
        if (!Ipv4::isValid(item))
            return false;
    }
    return true;
}

bool allSafe(const QStringList& items)
{
    for (const QString& item : items) {
        if (!CommandValue::isSafe(item))
            return false;
    }
    return true;
}

QStringList fitted(QStringList aliases, const QStringList& addresses)
{
    for (int i = aliases.size(); i < addresses.size(); ++i)
        aliases.append(addresses.at(i));
    while (aliases.size() > addresses.size())
        aliases.removeLast();
    return aliases;
}

Stations stations(const QStringList& addresses, const QStringList& aliases)
{
    Stations listed;
    for (int i = 0; i < addresses.size(); ++i) {
        if (addresses.at(i).isEmpty())
            continue;
        listed.addresses << addresses.at(i);
        listed.aliases << aliases.value(i);
    }
    return listed;
}

QString connectable(const QString& address)
{
    return Ipv4::isValid(address) ? Ipv4::normalized(address) : address;
}

} // namespace AddressList
