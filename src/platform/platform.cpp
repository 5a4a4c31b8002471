#include "platform.h"
#include "buildinfo.h"
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QFile>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <io.h>
#include <qt_windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vidrona::platform {

void trimNameEnd(QString &name)
{
#ifdef Q_OS_WIN
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
#else
    Q_UNUSED(name);
#endif
}

#ifdef Q_OS_WIN
void markHiddenSystem(const QString &path)
{
    SetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

quint32 fileAttributes(const QString &path)
{
    const DWORD attrs = GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
    return attrs == INVALID_FILE_ATTRIBUTES ? 0 : attrs;
}

void restoreFileAttributes(const QString &path, quint32 attributes)
{
    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
                                     | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    if (kept)
        SetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()), kept);
}

void markHidden(const QString &path)
{
    SetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()), FILE_ATTRIBUTE_HIDDEN);
}

bool syncFile(QFile &file)
{
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
}

bool duplicateFile(QFile &file, QFile &into)
{
    const int copy = _dup(file.handle());
    if (copy < 0)
        return false;
    if (into.open(copy, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return true;
    _close(copy);
    return false;
}

void startWriteBack(QFile &, qint64, qint64) {}

bool writeAt(QFile &file, qint64 offset, const char *data, qint64 size)
{
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = DWORD(offset & 0xffffffff);
        at.OffsetHigh = DWORD(offset >> 32);
        DWORD written = 0;
        const DWORD chunk = DWORD(qMin<qint64>(size, 1 << 30));
        if (!WriteFile(h, data, chunk, &written, &at) || written == 0)
            return false;
        offset += written;
        data += written;
        size -= written;
    }
    return true;
}

void reserveSpace(QFile &, qint64) {}

qint64 allocatedBytes(const QString &path)
{
    return QFileInfo(path).size();
}

bool openKept(QFile &file, const QString &path, QIODevice::OpenMode mode, OpenFault *why)
{
    file.setFileName(path);
    if (file.open(mode))
        return true;
    if (why)
        *why = {false, file.errorString()};
    return false;
}

FileFault lastFileFault()
{
    switch (GetLastError()) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return FileFault::DiskFull;
    case ERROR_FILENAME_EXCED_RANGE: return FileFault::NameTooLong;
    default: return FileFault::Other;
    }
}

Placed placeFileNew(const QString &from, const QString &to, QString *error)
{
    SetFileAttributesW(reinterpret_cast<LPCWSTR>(from.utf16()), FILE_ATTRIBUTE_NORMAL);
    if (MoveFileExW(reinterpret_cast<LPCWSTR>(from.utf16()), reinterpret_cast<LPCWSTR>(to.utf16()),
                    MOVEFILE_WRITE_THROUGH))
        return Placed::Moved;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
        return Placed::Taken;
    if (error)
        *error = QStringLiteral("cannot put the file in place (error %1)").arg(code);
    return Placed::Failed;
}

bool replaceFile(const QString &from, const QString &to)
{
    return MoveFileExW(reinterpret_cast<LPCWSTR>(from.utf16()), reinterpret_cast<LPCWSTR>(to.utf16()),
                       MOVEFILE_REPLACE_EXISTING);
}

// The read-only flag and its permission bits say nothing about
// the access lists that decide on Windows; trying is the one sure test.
bool canWriteFolder(const QString &folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("vidrona-write-test-XXXXXX")));
    return probe.open();
}

bool isInstalledCopy(const QString &)
{
    return false;
}
QString userId()
{
    return qEnvironmentVariable("USERNAME");
}

#else
bool canWriteFolder(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

bool isInstalledCopy(const QString &programFolder)
{
    const QDir bin(programFolder);
    return bin.dirName() == QLatin1String("bin")
           && QFileInfo::exists(bin.filePath(QStringLiteral("../share/applications/" VIDRONA_APP_ID ".desktop")));
}

void markHiddenSystem(const QString &) {}
void markHidden(const QString &) {}

bool syncFile(QFile &file)
{
    return ::fsync(file.handle()) == 0;
}

bool duplicateFile(QFile &file, QFile &into)
{
    const int copy = ::fcntl(file.handle(), F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return false;
    if (into.open(copy, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return true;
    ::close(copy);
    return false;
}

void startWriteBack(QFile &file, qint64 offset, qint64 length)
{
#ifdef Q_OS_LINUX
    ::sync_file_range(file.handle(), offset, length, SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(file) Q_UNUSED(offset) Q_UNUSED(length)
#endif
}

bool writeAt(QFile &file, qint64 offset, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(file.handle(), data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        offset += n;
        data += n;
        size -= n;
    }
    return true;
}

void reserveSpace(QFile &file, qint64 length)
{
#ifdef Q_OS_LINUX
    // Where the file system cannot, the call fails and nothing happens.
    ::fallocate(file.handle(), FALLOC_FL_KEEP_SIZE, 0, off_t(length));
#else
    Q_UNUSED(file) Q_UNUSED(length)
#endif
}

qint64 allocatedBytes(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return qint64(st.st_blocks) * 512;
}

quint32 fileAttributes(const QString &) { return 0; }
void restoreFileAttributes(const QString &, quint32) {}

namespace {
int openFlags(QIODevice::OpenMode mode)
{
    int flags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    if (mode & QIODevice::WriteOnly)
        flags |= O_CREAT | ((mode & QIODevice::ReadOnly) ? O_RDWR : O_WRONLY);
    else
        flags |= O_RDONLY;
    if (mode & QIODevice::Append)
        flags |= O_APPEND;
    return flags;
}
} // namespace

bool openKept(QFile &file, const QString &path, QIODevice::OpenMode mode, OpenFault *why)
{
    file.setFileName(path);
    const int fd = ::open(QFile::encodeName(path).constData(), openFlags(mode), 0666);
    struct stat st {};
    bool ok = fd >= 0 && ::fstat(fd, &st) == 0;
    int code = errno;
    if (ok && !S_ISREG(st.st_mode)) {
        ok = false;
        code = EINVAL;
    }
    // Only a plain file is emptied, and only once it is known to be one.
    if (ok && (mode & QIODevice::Truncate) && ::ftruncate(fd, 0) != 0) {
        ok = false;
        code = errno;
    }
    if (ok && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0
        && file.open(fd, mode & ~QIODevice::Truncate, QFileDevice::AutoCloseHandle))
        return true;
    if (fd >= 0 && !file.isOpen())
        ::close(fd);
    // A link (ELOOP), a folder opened to write (EISDIR), a pipe or socket
    // with no reader (ENXIO) or anything else not plain (EINVAL above).
    const bool notPlain = code == EINVAL || code == ELOOP || code == EISDIR || code == ENXIO;
    if (why)
        *why = notPlain ? OpenFault{true, {}} : OpenFault{false, QString::fromLocal8Bit(std::strerror(code))};
    errno = code;
    return false;
}

FileFault lastFileFault()
{
    if (errno == ENOSPC || errno == EDQUOT)
        return FileFault::DiskFull;
    return errno == ENAMETOOLONG ? FileFault::NameTooLong : FileFault::Other;
}

// Where the file system cannot rename without replacing, a hard link is
// made (it fails when the name is held) and the old name let go.
Placed placeFileNew(const QString &from, const QString &to, QString *error)
{
    const QByteArray f = QFile::encodeName(from), t = QFile::encodeName(to);
    int rc = ::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
        rc = ::link(f.constData(), t.constData());
        if (rc == 0)
            ::unlink(f.constData());
    }
    if (rc == 0)
        return Placed::Moved;
    if (errno == EEXIST)
        return Placed::Taken;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return Placed::Failed;
}
bool replaceFile(const QString &from, const QString &to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// A folder of the user's own for sockets, where the session has one.
QString userId()
{
    return QString::number(::getuid());
}

#endif

QString nameKey(const QString &name)
{
#ifdef Q_OS_WIN
    return name.toCaseFolded();
#else
    return name;
#endif
}

QString refusedNameCharacters()
{
#ifdef Q_OS_WIN
    return QStringLiteral("\\/:*?\"<>|");
#else
    return QStringLiteral("/");
#endif
}

// Control characters are refused everywhere: a line break would split the
// row in the list file.
bool isValidFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    const QString refused = refusedNameCharacters();
    for (const QChar c : name) {
        if (c.unicode() < 32 || c.unicode() == 127 || refused.contains(c))
            return false;
    }
#ifdef Q_OS_WIN
    // Windows drops a final dot or blank (the file would land under another
    // name) and sends device names such as CON or COM1.flv to the device.
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return false;
    static const QRegularExpression device(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return !device.match(name).hasMatch();
#else
    return true;
#endif
}

bool makePrivateFolder(const QString &path, QString *error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(error);
    return QDir().mkpath(path); // the user's profile keeps others out
#else
    const QByteArray name = QFile::encodeName(path);
    ::mkdir(name.constData(), 0700);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        if (error)
            *error = QStringLiteral("%1 is not a folder of this user's").arg(path);
        return false;
    }
    if ((st.st_mode & 077) != 0)
        ::chmod(name.constData(), 0700);
    return true;
#endif
}

} // namespace vidrona::platform
