#pragma once

#include "camera/NqReceiverPriority.h"

#include <arv.h>

// How our GigE Vision streams receive, for every stream we open: a socket
// buffer that holds several frames while a loaded machine does not schedule
// the receiving thread, and time-outs long enough that a late thread does not
// declare complete frames incomplete.
void nqTuneReceiver(ArvStream* stream);

// The stream of `device` as we open every stream (arv_device_create_stream,
// then nqTuneReceiver). Each time its receiving thread starts, the thread
// raises its priority some steps above that of the process it runs in, above
// a station busy writing files and drawing frames, as GigE Vision receivers
// commonly run: a receiver that is not scheduled for as long as its socket
// buffer lasts loses packets by the hundred, more than it may ask for again.
// Where the system does not allow it, the thread keeps its priority. Returns
// once the thread has tried, or after a bounded wait when a loaded machine
// has not started it yet.
ArvStream* nqCreateStream(ArvDevice* device, GError** error);

// What came of the raise in the receiving thread that `stream` (made by
// nqCreateStream) started last; Pending for any other stream.
NqReceiverPriority nqReceiverPriority(ArvStream* stream);
