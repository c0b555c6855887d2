#pragma once

#include <QtGlobal>

class QString;

// TCP keepalive on a connected socket: after `idleS` seconds without
// traffic the system probes the peer every `intervalS` seconds and, after
// `probes` probes unanswered, closes the connection, so that one of a PC
// that lost its power is freed. The one place that sets the system's
// keepalive options.
namespace TcpKeepAlive {

// False, with the reason in `why`, when the system refused an option.
bool enable(qintptr descriptor, int idleS, int intervalS, int probes, QString* why);

} // namespace TcpKeepAlive
