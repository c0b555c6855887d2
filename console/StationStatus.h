#pragma once

#include <QString>
#include <Qt>

// How the status list shows one status text of a station and what it counts
// for: the tests run in this order, each on its own, a later colour replacing
// an earlier one ("Captured 3/10" red, "Ready" green, "ReadyDone" green shown
// as "Ready", "Preview" yellow, "No Camera" gray, "Can't connect" and "Not
// answering" dark gray).
namespace StationStatus {

// The console's own texts for a station it cannot reach, and for one that
// stopped answering or closed the connection.
constexpr char CantConnect[] = "Can't connect";
constexpr char NotAnswering[] = "Not answering";

struct Look
{
    bool coloured = false;                 // false: the row keeps its colour
    Qt::GlobalColor colour = Qt::white;
    bool available = false;                // capturing, ready or previewing
    bool ready = false;
    bool capturing = false;                // a capture state ("Captured n/m")
    bool captureDone = false;              // "ReadyDone": a capture reached its count
    QString shown;                         // the text after "alias - "
};

Look look(const QString& status);

// The row text: "alias - status".
QString rowText(const QString& alias, const QString& shown);

} // namespace StationStatus
