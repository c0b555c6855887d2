#pragma once

#include <algorithm>
#include <limits>
#include <vector>

// One datagram of a paced stream, in seconds: when it was handed to the
// socket, and when the link begins and ends carrying it when every datagram of
// the stretch follows the one before it on the link.
struct PacedDatagram
{
    double sent;
    double linkStart;
    double linkEnd;
};

// How far the stream ran ahead of its link, in seconds: the most by which the
// datagrams strictly between two of them left sooner than the link carries
// them. Datagrams in the order they were sent; some may be missing (lost on
// the way), as long as the link times of the others count them.
inline double aheadOfLink(const std::vector<PacedDatagram>& datagrams)
{
    double ahead = -std::numeric_limits<double>::infinity();
    double latestOffset = -std::numeric_limits<double>::infinity(); // max of sent - linkEnd so far
    for (const PacedDatagram& d : datagrams) {
        ahead = std::max(ahead, d.linkStart - d.sent + latestOffset);
        latestOffset = std::max(latestOffset, d.sent - d.linkEnd);
    }
    return ahead;
}
