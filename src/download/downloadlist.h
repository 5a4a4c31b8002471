#pragma once
#include "entrystatus.h"
#include <QAbstractTableModel>
#include <QList>
#include <QHash>
#include <QString>
#include <functional>

namespace vidrona::download {

// One row of the download list. The file URL is the row's key; the id is
// an identity that survives other rows being removed, so a transfer can
// find "its" row again (or learn that it is gone).
struct DownloadEntry {
    quint64 id = 0;
    QString fileName;
    QString fileUrl;
    Status status = Status::Pending;
    QString unknownWord; // Unknown: the status word as the list file had it
    QString progress; // shown while the row is fetched; never saved
    // The word the list file keeps and the list shows.
    QString statusWord() const { return status == Status::Unknown ? unknownWord : status::wordOf(status); }
};

// The download list, in the order rows were added. It is the one store of
// the rows; the window shows it through a view.
class DownloadList : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int MaxRows = 32767;
    enum Column { ColFileName = 0, ColFileUrl = 1, ColStatus = 2, ColProgress = 3 };

    using QAbstractTableModel::QAbstractTableModel;

    int count() const { return int(m_rows.size()); }
    const DownloadEntry &at(int row) const { return m_rows.at(row); }
    const QList<DownloadEntry> &entries() const { return m_rows; }
    int rowOfId(quint64 id) const;
    int rowOfUrl(const QString &fileUrl) const;
    // By hash: loading a long list tests every row against the others.
    bool containsUrl(const QString &fileUrl) const { return m_urls.contains(fileUrl); }

    // Appends a row; returns its id, or 0 when the URL is already listed or
    // the list is full.
    quint64 append(const QString &fileName, const QString &fileUrl, Status status);
    // A row read from the list file, whose status is a word. It is kept as
    // read even when an earlier row has its URL: the file is the user's.
    quint64 appendRead(const QString &fileName, const QString &fileUrl, const QString &statusWord);
    // Sets the status of the row with that id; false when it is gone.
    bool setStatus(quint64 id, Status status);
    // The "Progress" cell of a row: what its fetch has done; empty when
    // it is not being fetched.
    bool setProgress(quint64 id, const QString &text);
    // The file name of a row, when its file had to take another name.
    bool setFileName(quint64 id, const QString &name);
    void removeAt(int row);
    void removeIf(const std::function<bool(const DownloadEntry &)> &pred);
    void clear();

    int completedCount() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    QList<DownloadEntry> m_rows;
    QHash<QString, int> m_urls; // the file URLs of m_rows, with how many rows have each
    quint64 appendRow(const QString &fileName, const QString &fileUrl, Status status);
    void forgetUrl(const QString &fileUrl);
    quint64 m_nextId = 1;
};

} // namespace vidrona::download
