#pragma once
#include "downloadlist.h"
#include "messages.h"
#include <QObject>
#include <QSet>
#include <QStringList>
#include <functional>

namespace vidrona {

class Transfer;

// Fetches the rows of the download list one at a time, in list order,
// into the program's folder. A run takes every row that is PENDING,
// CANCELED or FAILED, rows added during the run included, but never
// comes back to a row that failed in the same run. Rows are followed by
// id, so a row removed during its fetch is simply not updated.
class QueueRunner : public QObject
{
    Q_OBJECT
public:
    QueueRunner(DownloadList &list, Transfer &transfer, const QString &folder,
                MessageService &messages, QObject *parent = nullptr);

    static QString failureText();

    // Called after each fetched row, and at the end of a run that fetched
    // nothing.
    void setSaveList(std::function<void()> save) { m_save = std::move(save); }

    // Starts a run. While a run is active this does nothing: the active run
    // already looks at the whole list again after each row.
    void RunQueue();
    bool isRunning() const { return m_running; }
    // The row being fetched; 0 when none.
    quint64 runningId() const { return m_runningId; }

    // Cancel pressed on a row: a DOWNLOADING row becomes CANCELED, and if it
    // is the row being fetched, its transfer is stopped. False when the row
    // was not DOWNLOADING.
    bool cancelRow(quint64 id);

    // Names never written by a fetch, compared without case: the program's
    // own files in its folder (the list file, the executable).
    void setReservedNames(const QStringList &names) { m_reserved = names; }

signals:
    void fetchStarted(quint64 id);
    void fetchEnded(quint64 id, bool ok);
    void runEnded();

private:
    int nextRow() const;
    void step();
    bool startFetch(const DownloadEntry &entry);
    void onTransferFinished(bool ok, const QString &reason);
    void complete(quint64 id, bool ok);
    void reportFailure();

    DownloadList &m_list;
    Transfer &m_transfer;
    QString m_folder;
    MessageService &m_messages;
    std::function<void()> m_save;
    bool m_running = false;
    bool m_savedThisRun = false;
    bool m_waitingForIdle = false;
    quint64 m_runningId = 0;
    QSet<quint64> m_failedThisRun;
    QStringList m_reserved;
};

} // namespace vidrona
