#pragma once
#include "downloadlist.h"
#include "desktop/messages.h"
#include "net/failure.h"
#include <QElapsedTimer>
#include <QObject>
#include <QHash>
#include <QList>
#include <QSet>
#include <QTimer>
#include <QStringList>
#include <functional>

namespace vidrona {

class Transfer;

// Fetches the rows of the download list one at a time, in list order,
// into a folder. A run takes every row that is PENDING, CANCELED or
// FAILED, rows added during the run included, but never comes back to a
// row that failed in the same run. Rows are followed by id, so a row
// removed during its fetch is simply not updated. An interrupted fetch
// leaves kept bytes that the row's next fetch continues; rows taken out
// of the list take their kept bytes with them. The row being fetched
// shows its progress in the list's "Progress" cell.
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

    // Rows left DOWNLOADING by an earlier run of the program (it ended
    // during their fetch) are taken up by this and later runs, until they
    // are fetched, cancelled or removed.
    void resumeLeftOver();

    // Stops for good (the window is closing): a running fetch ends, its
    // kept bytes stay, and neither its row nor the list file is touched.
    void stop();

    // How often the "Progress" cell is refreshed.
    static constexpr int ProgressIntervalMs = 250;

    // The waits before the retries of a passing failure (1 s, 4 s, 16 s);
    // a server's Retry-After comes first.
    void setRetryDelays(const QList<int> &ms) { m_retryDelaysMs = ms; }

    // Names never written by a fetch, compared without case: the program's
    // own files in its folder (the list file, the executable).
    void setReservedNames(const QStringList &names) { m_reserved = names; }

signals:
    void fetchStarted(quint64 id);
    void fetchEnded(quint64 id, bool ok);
    // The rows being fetched, and the fraction of their bytes that arrived.
    void progressed(int running, double fraction);
    void runEnded();

private:
    int nextRow() const;
    void step();
    bool startFetch(const DownloadEntry &entry);
    void onTransferFinished(const net::Failure &failure);
    bool beginFetch(const DownloadEntry &entry);
    bool retryLater(quint64 id, const net::Failure &failure);
    void retryNow();
    void dropRetry();
    void complete(quint64 id, const net::Failure &failure);
    void reportFailure(const net::Failure &failure);
    void settleCancelled(quint64 id);
    void showProgress();
    void rowsLeaving(int first, int last);
    QString targetPathOf(const DownloadEntry &entry) const;

    DownloadList &m_list;
    Transfer &m_transfer;
    QString m_folder;
    MessageService &m_messages;
    std::function<void()> m_save;
    bool m_running = false;
    bool m_savedThisRun = false;
    bool m_waitingForIdle = false;
    bool m_stopped = false;
    quint64 m_runningId = 0;
    QString m_runningPath;
    QSet<quint64> m_leftOver;
    QTimer m_progressTimer;
    QElapsedTimer m_fetchClock;
    QSet<quint64> m_failedThisRun;
    QStringList m_reserved;
    QList<int> m_retryDelaysMs{1000, 4000, 16000};
    QTimer m_retryTimer;
    quint64 m_retryId = 0;        // the row waiting to be tried again
    QHash<quint64, int> m_retries; // retries so far in this run, per row
};

} // namespace vidrona
