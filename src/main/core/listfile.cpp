#include "listfile.h"
#include "platform.h"
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace vidrona {

namespace {

QList<QByteArray> splitLines(const QByteArray &content)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        const bool last = end < 0;
        if (last)
            end = content.size();
        QByteArray line = content.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = end + 1;
    }
    return lines;
}

} // namespace

ListFile::ListFile(const QString &folder)
    : m_path(QDir(folder).filePath(QStringLiteral("List")))
{
}

bool ListFile::createEmpty() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.close();
    platform::markHiddenSystem(m_path);
    return true;
}

void ListFile::load(DownloadList &list) const
{
    QFile file(m_path);
    // Only a missing file is created: an existing one that cannot be read
    // must not be emptied by us.
    if (!file.exists())
        createEmpty();
    list.clear();
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = file.readAll();
    file.close();
    parseInto(content, list);
}

void ListFile::parseInto(const QByteArray &content, DownloadList &list)
{
    const QList<QByteArray> lines = splitLines(content);
    // A group cut short by the end of the file keeps the previous group's
    // values for the fields it lacks.
    QString name, url, status;
    qsizetype i = 0;
    while (i < lines.size()) {
        name = QString::fromLatin1(lines[i++]);
        if (i < lines.size())
            url = QString::fromLatin1(lines[i++]);
        if (i < lines.size())
            status = QString::fromLatin1(lines[i++]);
        list.append(name, url, status);
    }
}

QByteArray ListFile::serialize(const DownloadList &list)
{
    QByteArray out;
    for (const DownloadEntry &e : list.entries()) {
        out += e.fileName.toLatin1() + "\r\n";
        out += e.fileUrl.toLatin1() + "\r\n";
        out += e.status.toLatin1() + "\r\n";
    }
    return out;
}

bool ListFile::save(const DownloadList &list, QString *error) const
{
    const bool existed = QFile::exists(m_path);
    const quint32 attributes = existed ? platform::fileAttributes(m_path) : 0;
    QSaveFile file(m_path);
    const QByteArray content = serialize(list);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()
        || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (existed)
        platform::restoreFileAttributes(m_path, attributes);
    else
        platform::markHiddenSystem(m_path);
    return true;
}

} // namespace vidrona
