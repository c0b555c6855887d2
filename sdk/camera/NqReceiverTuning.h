#pragma once

#include <arv.h>

// How our GigE Vision streams receive, for every stream we open: a socket
// buffer that holds several frames while a loaded machine does not schedule
// the receiving thread, and time-outs long enough that a late thread does not
// declare complete frames incomplete.
void nqTuneReceiver(ArvStream* stream);

// The callback every stream we open is created with (arv_device_create_stream).
// When the receiving thread starts, it raises the thread's priority above that
// of a station busy writing files and drawing frames, as GigE Vision receivers
// commonly run: a receiver that is not scheduled for as long as its socket
// buffer lasts loses packets by the hundred, more than it may ask for again.
// Where the system does not allow it, the thread keeps its priority.
void nqOnReceiverThread(void* userData, ArvStreamCallbackType type, ArvBuffer* buffer);
