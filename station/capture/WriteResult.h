#pragma once

// Outcome of writing a capture file: the errno of the first call that failed
// (EIO when a library refused without one), 0 on success.
struct WriteResult
{
    int error = 0;
    explicit operator bool() const { return error == 0; }
};
