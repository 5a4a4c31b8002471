#include "filewriter.h"
#include "desktop/platform.h"

namespace vidrona {

namespace {
// A big body goes on to the disk in pieces of this size while it arrives,
// so the sync that puts it in place does not wait for all of it at the end.
constexpr qint64 WriteBehindBytes = 8 << 20;
} // namespace

bool FileWriter::open(const QString &path, bool append)
{
    close();
    m_error.clear();
    m_file.setFileName(path);
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered
                                     | (append ? QIODevice::Append : QIODevice::Truncate);
    if (!m_file.open(mode))
        return fail(m_file.errorString());
    m_size = m_writeBackFrom = m_file.size();
    platform::markHidden(path);
    return true;
}

bool FileWriter::write(const char *data, qint64 size)
{
    if (!m_file.isOpen())
        return fail(QStringLiteral("the file is not open"));
    const qint64 written = m_file.write(data, size);
    if (written > 0)
        m_size += written;
    if (written != size)
        return fail(m_file.errorString());
    if (m_size - m_writeBackFrom >= WriteBehindBytes) {
        platform::startWriteBack(m_file, m_writeBackFrom, m_size - m_writeBackFrom);
        m_writeBackFrom = m_size;
    }
    return true;
}

bool FileWriter::commitTo(const QString &finalPath)
{
    if (!m_file.isOpen())
        return fail(QStringLiteral("the file is not open"));
    // Nothing is buffered here, but the system's own write-back can still
    // fail (a full disk on a file system that allocates late): only a
    // successful sync proves the bytes are on disk.
    if (m_file.error() != QFileDevice::NoError)
        return fail(m_file.errorString());
    if (!platform::syncFile(m_file))
        return fail(QStringLiteral("the file could not be written to disk"));
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        return fail(m_file.errorString());
    QString error;
    if (!platform::replaceFile(m_file.fileName(), finalPath, &error))
        return fail(error);
    return true;
}

void FileWriter::close()
{
    if (m_file.isOpen())
        m_file.close();
}

bool FileWriter::fail(const QString &what)
{
    if (m_error.isEmpty())
        m_error = what;
    close();
    return false;
}

} // namespace vidrona
