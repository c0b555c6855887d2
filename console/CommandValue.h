#pragma once

#include <QString>

// What the console lets into the value of a station command. The station
// looks for its command words anywhere in a received text and takes a value
// up to the end of the text, so a value must not carry a second command.
namespace CommandValue {

// False for a value holding NUL or another control character (the station
// cuts its text at NUL), or '#' followed by a letter (every station command
// starts so); "#1" is fine.
bool isSafe(const QString& value);

// A work folder the stations accept: a Windows folder ("C:\Test\") or an
// absolute POSIX folder ("/var/tmp/Test/"), each segment at least two
// characters, ending in the separator; and a safe value.
bool isWorkFolder(const QString& text);

} // namespace CommandValue
