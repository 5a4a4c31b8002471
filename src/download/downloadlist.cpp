#include "downloadlist.h"

namespace vidrona::download {

int DownloadList::rowOfId(quint64 id) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].id == id)
            return i;
    return -1;
}

int DownloadList::rowOfUrl(const QString &fileUrl) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].fileUrl == fileUrl)
            return i;
    return -1;
}

quint64 DownloadList::appendRead(const QString &fileName, const QString &fileUrl, const QString &statusWord)
{
    if (m_rows.size() >= MaxRows)
        return 0;
    const Status status = status::fromWord(statusWord);
    const quint64 id = appendRow(fileName, fileUrl, status);
    if (id != 0 && status == Status::Unknown)
        m_rows.last().unknownWord = statusWord;
    return id;
}

quint64 DownloadList::append(const QString &fileName, const QString &fileUrl, Status status)
{
    if (m_rows.size() >= MaxRows || containsUrl(fileUrl))
        return 0;
    return appendRow(fileName, fileUrl, status);
}

quint64 DownloadList::appendRow(const QString &fileName, const QString &fileUrl, Status status)
{
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append({m_nextId++, fileName, fileUrl, status, QString(), QString()});
    ++m_urls[fileUrl];
    endInsertRows();
    return m_rows.last().id;
}

void DownloadList::forgetUrl(const QString &fileUrl)
{
    const auto it = m_urls.find(fileUrl);
    if (it != m_urls.end() && --it.value() <= 0)
        m_urls.erase(it);
}

bool DownloadList::setStatus(quint64 id, Status status)
{
    const int row = rowOfId(id);
    if (row < 0)
        return false;
    m_rows[row].status = status;
    const QModelIndex cell = index(row, ColStatus);
    emit dataChanged(cell, cell);
    return true;
}

bool DownloadList::setProgress(quint64 id, const QString &text)
{
    const int row = rowOfId(id);
    if (row < 0 || m_rows[row].progress == text)
        return row >= 0;
    m_rows[row].progress = text;
    const QModelIndex cell = index(row, ColProgress);
    emit dataChanged(cell, cell);
    return true;
}

bool DownloadList::setFileName(quint64 id, const QString &name)
{
    const int row = rowOfId(id);
    if (row < 0 || m_rows[row].fileName == name)
        return row >= 0;
    m_rows[row].fileName = name;
    const QModelIndex cell = index(row, ColFileName);
    emit dataChanged(cell, cell);
    return true;
}

void DownloadList::removeAt(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    beginRemoveRows({}, row, row);
    forgetUrl(m_rows[row].fileUrl);
    m_rows.removeAt(row);
    endRemoveRows();
}

void DownloadList::removeIf(const std::function<bool(const DownloadEntry &)> &pred)
{
    // A run of rows at a time, from the back: a long list moves its rows
    // (and the view its items) once per run, not once per row.
    for (int last = int(m_rows.size()) - 1; last >= 0; --last) {
        if (!pred(m_rows[last]))
            continue;
        int first = last;
        while (first > 0 && pred(m_rows[first - 1]))
            --first;
        beginRemoveRows({}, first, last);
        for (int row = first; row <= last; ++row)
            forgetUrl(m_rows[row].fileUrl);
        m_rows.remove(first, last - first + 1);
        endRemoveRows();
        last = first;
    }
}

void DownloadList::clear()
{
    beginResetModel();
    m_rows.clear();
    m_urls.clear();
    endResetModel();
}

int DownloadList::completedCount() const
{
    int n = 0;
    for (const auto &e : m_rows)
        if (e.status == Status::Completed)
            ++n;
    return n;
}

int DownloadList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DownloadList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant DownloadList::data(const QModelIndex &index, int role) const
{
    // Screen readers read the cell's own text.
    if (!index.isValid()
        || (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole))
        return {};
    const DownloadEntry &e = m_rows.at(index.row());
    switch (index.column()) {
    case ColFileName: return e.fileName;
    case ColFileUrl: return e.fileUrl;
    case ColStatus: return e.statusWord();
    case ColProgress: return e.progress;
    }
    return {};
}

QVariant DownloadList::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const titles[] = {"File Name", "File URL", "Status", "Progress"};
    return (section >= 0 && section < 4) ? QString::fromLatin1(titles[section]) : QVariant();
}

namespace status {

QString wordOf(Status s)
{
    switch (s) {
    case Status::Pending: return Pending;
    case Status::Downloading: return Downloading;
    case Status::Completed: return Completed;
    case Status::Failed: return Failed;
    case Status::Canceled: return Canceled;
    case Status::Unknown: break;
    }
    return QString();
}

Status fromWord(const QString &word)
{
    for (const Status s : {Status::Pending, Status::Downloading, Status::Completed, Status::Failed, Status::Canceled})
        if (word == wordOf(s))
            return s;
    return Status::Unknown;
}

} // namespace status
} // namespace vidrona::download
