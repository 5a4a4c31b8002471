#pragma once
#include <QDeadlineTimer>
#include <QString>

// The standard input and output of a program that speaks a binary framing
// on them (the browsers' native messaging): bytes pass unchanged, reads
// wait no longer than a deadline. Windows needs its own calls for each;
// that part is written from Microsoft's documentation and is not built
// where this program is tested.
namespace vidrona::platform {

// The descriptors of standard input and output, switched to binary mode
// where there is a text mode (Windows would turn "\n" into "\r\n" and stop
// at a Ctrl+Z byte).
struct Stdio {
    int in = 0;
    int out = 1;
};
Stdio binaryStdio();

// What one wait-and-read gave.
enum class ReadSome { Bytes, End, TimedOut, Failed };
// Reads at most size bytes from fd into into once some are there, waiting
// no later than deadline; *count receives how many.
ReadSome readSomeWithin(int fd, char *into, qint64 size, QDeadlineTimer deadline, qint64 *count);
// Writes all of size bytes to fd; false when it cannot.
bool writeAllTo(int fd, const char *data, qint64 size);

// The program named name in folder, as the system starts it ("vidrona",
// on Windows "vidrona.exe").
QString programIn(const QString &folder, const QString &name);

} // namespace vidrona::platform
