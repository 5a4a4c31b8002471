#include "platform.h"
#include "buildinfo.h"
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace vidrona::platform {

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

// The folder's read-only flag and its permission bits say nothing about
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
quint32 fileAttributes(const QString &) { return 0; }
void restoreFileAttributes(const QString &, quint32) {}
#endif

bool isValidFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (const QChar c : name) {
        if (c.unicode() < 32 || c.unicode() == 127 || forbidden.contains(c))
            return false;
    }
    // Windows drops a final dot or blank (the file would land under another
    // name) and sends device names such as CON or COM1.flv to the device.
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return false;
    static const QRegularExpression device(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return !device.match(name).hasMatch();
}

} // namespace vidrona::platform
