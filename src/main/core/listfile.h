#pragma once
#include "downloadlist.h"
#include <QByteArray>
#include <QString>

namespace vidrona {

// The list file "List" in the program's folder: three CR LF lines per row
// (file name, file URL, status), no header; an empty list is an empty file.
// Text is one byte per character.
class ListFile
{
public:
    explicit ListFile(const QString &folder);

    QString path() const { return m_path; }

    // Replaces the rows of list with those of the file. A missing file is
    // created empty first. Damaged content is taken row by row.
    void load(DownloadList &list) const;

    // Replaces the file with the rows of list in one step: on disk there
    // is always either the old list or the new one. On failure the old
    // file stays, false is returned and error says why.
    bool save(const DownloadList &list, QString *error = nullptr) const;

    static QByteArray serialize(const DownloadList &list);
    // Appends the groups of content to list, skipping repeated URLs.
    static void parseInto(const QByteArray &content, DownloadList &list);

private:
    bool createEmpty() const;
    QString m_path;
};

} // namespace vidrona
