#pragma once
#include "desktop/platform.h"
#include "net/failure.h"
#include <QFile>
#include <QString>
#include <functional>

namespace vidrona {

// Writes the kept bytes of one fetch (see keptbytes.h), on the fetching
// thread, straight to the system (no buffer of its own, so a failed write
// shows at once), and puts them under the final name only when they are
// complete and durable. Used from one thread at a time.
class FileWriter
{
public:
    FileWriter() = default;
    ~FileWriter() { close(); }
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;

    // Opens path, keeping its bytes when append is true, else emptied.
    bool open(const QString &path, bool append);
    bool isOpen() const { return m_file.isOpen(); }
    bool write(const char *data, qint64 size);
    qint64 size() const { return m_size; }

    // Makes the bytes durable (a full disk or a failed write shows here at
    // the latest), closes the file and puts it in the place of finalPath
    // in one step, never replacing what holds that name (a file, a link):
    // then the next free name (filenames.h) that taken does not hold.
    // placedAt receives the path used. On failure the bytes stay where
    // they were written.
    bool commitTo(const QString &finalPath, const std::function<bool(const QString &)> &taken = {},
                  QString *placedAt = nullptr);
    void close();

    QString errorString() const { return m_error; }
    // The first failure in words a user understands.
    net::Failure failure() const;

private:
    static constexpr int MaxPlaceRounds = 16; // names taken while choosing
    bool place(const QString &finalPath, const std::function<bool(const QString &)> &taken, QString *placedAt);
    bool fail(const QString &what);
    QFile m_file;
    QString m_path;
    qint64 m_size = 0;
    qint64 m_writeBackFrom = 0; // bytes before it are on their way to the disk
    QString m_error;
    platform::FileFault m_fault = platform::FileFault::Other;
};

} // namespace vidrona
