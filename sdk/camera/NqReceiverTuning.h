#pragma once

#include <arv.h>

// How our GigE Vision streams receive, for every stream we open: a socket
// buffer that holds several frames while a loaded machine does not schedule
// the receiving thread, and time-outs long enough that a late thread does not
// declare complete frames incomplete.
void nqTuneReceiver(ArvStream* stream);
