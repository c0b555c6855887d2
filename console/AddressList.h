#pragma once

#include <QString>
#include <QStringList>

// The console's address and alias lists as typed in the IP settings: items
// separated by commas, blanks anywhere ignored.
namespace AddressList {

// The items of `text`: split at ',' with empty parts kept, all white space
// removed from each. An empty or blank text has none: a list of no stations.
QStringList items(const QString& text);

// Whether every item is a whole dotted-quad IPv4 address.
bool allValid(const QStringList& items);

// Whether every item can travel as a command value (see CommandValue::isSafe).
bool allSafe(const QStringList& items);

// The aliases fitted to the stations: padded with the addresses of the
// stations that have none, cut to the number of stations.
QStringList fitted(QStringList aliases, const QStringList& addresses);

// The stations of a stored list, each with its alias (`aliases` fitted to
// `addresses`): an empty item of a hand-written list ("a,,b", "a,") is no
// station, and its alias goes with it.
struct Stations
{
    QStringList addresses;
    QStringList aliases;
};
Stations stations(const QStringList& addresses, const QStringList& aliases);

// `address` without leading zeros when it is a valid address ("010.001.0.1"
// -> "10.1.0.1"; the network stack reads a leading zero as octal), else as it is.
QString connectable(const QString& address);

} // namespace AddressList
