#pragma once
#include "downloadlist.h"
#include "listnotice.h"
#include "platform/platform.h"
#include <QByteArray>
#include <QString>
#include <optional>

namespace vidrona::download {

// The list file "List" in the program's folder: three CR LF lines per row
// (file name, file URL, status), no header; an empty list is an empty file.
// It is written as UTF-8; a file whose bytes are valid UTF-8 is read so,
// any other one byte per character, as lists were written before.
//
// Nothing of the file is ever lost: rows beyond what the list can hold,
// and lines that cannot be read as rows, stay in the file byte for byte
// after the rows that are shown. A file that exists but cannot be read is
// never written over.
class ListFile
{
public:
    explicit ListFile(const QString &folder);

    QString path() const { return m_path; }

    // Replaces the rows of list with those of the file. A missing file is
    // created empty first. Damaged content is taken row by row.
    void load(DownloadList &list);

    // Replaces the file with the rows of list, followed by the rows that did
    // not fit, in one step: on disk there is always either the old list or
    // the new one. On failure the old file stays, false is returned and
    // error holds the system's reason (none for a list that could not be
    // read at start: see unreadable()).
    bool save(const DownloadList &list, QString *error = nullptr) const;

    // What the last load has to tell the user (rows not shown, a file that
    // could not be read); nothing when all went well.
    std::optional<ListNotice> loadNotice() const;
    // A save that failed with error (the system's reason), and what is on
    // disk after it.
    ListNotice saveFailureNotice(const QString &error) const;

    // The file exists but could not be read: it is never written over.
    bool unreadable() const { return m_unreadable; }

    static QByteArray serialize(const DownloadList &list);
    // What parseInto leaves aside.
    struct LeftAside {
        QByteArray overflow;   // from a group's start: the rows that no longer fit
        QByteArray unreadable; // lines that are not part of a row, each with its line end
        int unreadableLines = 0;
    };
    // Appends the rows of content to list, as read.
    static LeftAside parseInto(const QByteArray &content, DownloadList &list);
    // How many groups of three lines text starts (a cut group counts).
    static int groupCount(const QByteArray &text);

private:
    bool createEmpty() const;
    bool writeAll(const DownloadList &list, QString *error) const;
    QString m_path;
    QByteArray m_overflow; // the rows past the limit, as read
    QByteArray m_notRows; // lines that are no rows, as read
    int m_hiddenRows = 0;
    int m_notRowLines = 0;
    bool m_unreadable = false;
    platform::OpenFault m_readFault; // why an existing list could not be read
};

} // namespace vidrona::download
