#pragma once

// What became of the raised priority of a stream's receiving thread, which
// the thread asks for itself when it starts (see NqReceiverTuning.h). Nice
// values: lower runs first.
struct NqReceiverPriority
{
    enum class State
    {
        Pending, // the thread has not started yet (or the stream is closed)
        Raised,
        Refused, // the system did not allow it: the thread runs as the process does
    };
    State state = State::Pending;
    int processNice = 0; // the process's, when the thread started
    int threadNice = 0;  // the thread's: raised, or as it stayed
    int error = 0;       // the system's reason for a refusal (errno)
};
