#pragma once
#include "downloadlist.h"
#include <QByteArray>
#include <QString>

namespace vidrona {

// The list file "List" in the program's folder: three CR LF lines per row
// (file name, file URL, status), no header; an empty list is an empty file.
// Text is one byte per character.
//
// Rows beyond what the list can hold are never lost: they stay in the file
// byte for byte, after the rows that are shown. A file that exists but
// cannot be read is never written over.
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
    // error says why.
    bool save(const DownloadList &list, QString *error = nullptr) const;

    // What the last load has to tell the user (rows not shown, a file that
    // could not be read); empty when all went well.
    QString loadNotice() const;
    // The message for a save that failed with error, saying what is on disk.
    QString saveFailureNotice(const QString &error) const;

    // The file exists but could not be read: it is never written over.
    bool unreadable() const { return m_unreadable; }

    static QByteArray serialize(const DownloadList &list);
    // Appends the groups of content to list, skipping repeated URLs. Returns
    // the part of content, from a group's start, that no longer fit.
    static QByteArray parseInto(const QByteArray &content, DownloadList &list);
    // How many groups of three lines text starts (a cut group counts).
    static int groupCount(const QByteArray &text);

private:
    bool createEmpty() const;
    bool writeAll(const DownloadList &list, QString *error) const;
    QString m_path;
    QByteArray m_overflow; // the rows past the limit, as read
    int m_hiddenRows = 0;
    bool m_unreadable = false;
    QString m_readError;
};

} // namespace vidrona
