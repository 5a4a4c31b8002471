#pragma once
#include <QIODevice>
#include <QString>

class QFile;

// Everything that differs between the program's home platform (Windows)
// and the others lives behind these few functions.
namespace vidrona::platform {

// Marks a file the program has just created as hidden and system.
// Does nothing where there are no such attributes.
void markHiddenSystem(const QString &path);

// The platform's attribute bits of a file (0 where there are none), and
// a way to put them back after the file was replaced.
quint32 fileAttributes(const QString &path);
void restoreFileAttributes(const QString &path, quint32 attributes);

// Drops from the end of a file name what the file system would drop
// silently (on Windows: dots and spaces), so the name asked for is the
// name made.
void trimNameEnd(QString &name);

// Marks a file of the program's own (kept bytes of a fetch) as hidden.
void markHidden(const QString &path);

// Makes the bytes written to an open file durable; false when the system
// reports that they cannot be (a full disk shows here at the latest).
bool syncFile(QFile &file);

// Opens into on a duplicate of open file's descriptor (closed with into):
// another thread may sync and close the file through it while file itself
// is closed or kept where it was opened, and no Qt object goes across.
bool duplicateFile(QFile &file, QFile &into);

// Asks the system to start writing length bytes of an open file from
// offset to the disk now, without waiting for them, so that a later
// syncFile has little left to do. Does nothing where there is no such call.
void startWriteBack(QFile &file, qint64 offset, qint64 length);

// Writes size bytes at offset of an open file, so several threads can fill
// their own parts of one file at once. False when not all of them could be
// written (lastFileFault says why). Elsewhere than on Windows the file's
// position stays; a file is filled either this way or in order, never both.
bool writeAt(QFile &file, qint64 offset, const char *data, qint64 size);

// Reserves the disk blocks for the first length bytes of an open file
// without changing its size, where the file system can (no zeros are
// written where it cannot): a later write does not run into a full disk
// that other programs filled meanwhile, and the file lies in one piece.
void reserveSpace(QFile &file, qint64 length);

// The disk space a file takes now (its blocks, holes not counted); 0 when
// there is no such file.
qint64 allocatedBytes(const QString &path);

// Opens path into file for a file the program keeps (kept bytes, their
// record): a link there is never followed and only a plain file is
// opened, so nothing put in its place (a link, a pipe, a device) is
// written through or read. Opening never waits (a pipe without a writer).
// WriteOnly creates the file; Truncate empties it once it proved plain.
// False with file closed otherwise; *why says why.
struct OpenFault {
    bool notPlain = false; // a link, a pipe, a device or a folder holds the name
    QString words;         // otherwise the system's words
};
bool openKept(QFile &file, const QString &path, QIODevice::OpenMode mode, OpenFault *why = nullptr);

// Why the last failed file call failed, as far as the user can act on it.
enum class FileFault { DiskFull, NameTooLong, Other };
FileFault lastFileFault();

// Moves from to to in one step unless something (a file, a link) already
// holds to: that one is never replaced. Taken says so; error says why
// for Failed.
enum class Placed { Moved, Taken, Failed };
Placed placeFileNew(const QString &from, const QString &to, QString *error);

// Moves from to to in one step, replacing a file there (a link there is
// replaced, never followed): for the program's own files only.
bool replaceFile(const QString &from, const QString &to);

// The characters no file name may hold here besides control characters:
// "/" (and on Windows \ : * ? " < > |).
QString refusedNameCharacters();

// The form two names take when they would name the same file here (upper
// and lower case are one on Windows).
QString nameKey(const QString &name);

// True when name can be a file name here: not empty, not "." or "..", none
// of refusedNameCharacters() and no control character; on Windows also no
// final dot or blank and no device name (CON, NUL, COM1.flv...).
bool isValidFileName(const QString &name);

// True when the current user can create files in folder.
bool canWriteFolder(const QString &folder);

// True when the program in programFolder was installed together with its
// menu entry (a bin folder beside share/applications), even where its
// user could write there (root): such a copy must not fill the system's
// program folder with lists and videos.
bool isInstalledCopy(const QString &programFolder);

// Who runs the program, for names that must differ between users.
QString userId();

// A folder only the user can enter: made 0700 when missing, and refused
// (error in words) when it is anything but the user's own folder.
bool makePrivateFolder(const QString &path, QString *error = nullptr);

} // namespace vidrona::platform
