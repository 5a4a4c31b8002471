#pragma once
#include "platform.h"
#include <QByteArray>
#include <QString>

// The one way the program reads and replaces the small files it keeps
// (the list, settings, records of kept bytes): never through a link, only
// plain files, bounded in size, and replaced in one durable step so that a
// crash or a full disk leaves either the old file or the new one whole.
namespace vidrona::platform {

struct SmallFile {
    enum class Status {
        Read,     // bytes hold the whole file
        Missing,  // no such file
        NotPlain, // a link, pipe, device or folder: left alone, not read
        TooLarge, // larger than the bound: not read
        Failed,   // any other fault; error says why
    };
    Status status = Status::Missing;
    QByteArray bytes;
    QString error; // in words, for every status but Read and Missing
    bool ok() const { return status == Status::Read; }
};

// Reads path whole when it is a plain file of at most maxBytes. Never
// follows a link and never waits on a pipe without a writer.
SmallFile readSmallFile(const QString &path, qint64 maxBytes);

// Replaces path with bytes: written to a new file of its own beside it,
// made durable (a full disk shows here, never after a reported success),
// then renamed over path (a link there is replaced, never written
// through) and the folder made durable. false leaves the old file as it
// was; *error says why and *fault what the user can do about it.
// privateToUser: the file is readable by its user alone (mode 0600) from
// its first byte on, for secrets such as a browser's cookies.
bool writeFileSafely(const QString &path, const QByteArray &bytes, QString *error = nullptr,
                     FileFault *fault = nullptr, bool privateToUser = false);

} // namespace vidrona::platform
