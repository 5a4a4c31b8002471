#pragma once
#include "downloadlist.h"
#include "download/media/tags.h"
#include "filefetch.h"
#include "net/failure.h"
#include "retries.h"
#include "service/rowprogress.h"
#include <QElapsedTimer>
#include <QObject>
#include <QHash>
#include <QList>
#include <QSet>
#include <QTimer>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace vidrona::net {
class SpeedLimit;
}

namespace vidrona::download {

class Transfer;
namespace sitevideo {
class RowReader;
}

// Fetches the rows of the download list in list order into a folder: one
// at a time, or as many at once as setSimultaneous() allows (the next rows
// in order start as others end). A run takes every row that is PENDING, CANCELED or
// FAILED, rows added during the run included, but never comes back to a
// row that failed in the same run. Rows are followed by id, so a row
// removed during its fetch is simply not updated. An interrupted fetch
// leaves kept bytes that the row's next fetch continues; rows taken out
// of the list take their kept bytes with them. It says nothing to the
// user: what the rows do goes out as numbers and failures, and the window
// makes the words and boxes of them.
class QueueRunner : public QObject
{
    Q_OBJECT
public:
    QueueRunner(DownloadList &list, const QString &folder, QObject *parent = nullptr);
    ~QueueRunner() override;

    // Called after each fetched row, and at the end of a run that fetched
    // nothing.
    void setSaveList(std::function<void()> save) { m_save = std::move(save); }
    // The head lines and cookie file a row's requests carry (see FetchJob).
    using ExtrasOf = std::function<void(const DownloadEntry &, QList<QByteArray> *, QString *)>;
    void setExtrasOf(ExtrasOf extrasOf) { m_extrasOf = std::move(extrasOf); }
    // The languages of the subtitles a row saves, chosen when it was added.
    using SubtitlesOf = std::function<QStringList(const DownloadEntry &)>;
    void setSubtitlesOf(SubtitlesOf subtitlesOf) { m_subtitlesOf = std::move(subtitlesOf); }
    // The tags a row's file is to carry (see FetchJob::tags).
    using TagsOf = std::function<media::Tags(const DownloadEntry &)>;
    void setTagsOf(TagsOf tagsOf) { m_tagsOf = std::move(tagsOf); }

    // Starts a run. While a run is active this does nothing: the active run
    // already looks at the whole list again after each row.
    void RunQueue();
    bool isRunning() const { return m_running; }
    // The rows being fetched.
    QList<quint64> runningIds() const;
    // A fetch is still under way, a stopped one included until its thread
    // has let go of its files.
    bool fetching() const;

    // Rows fetched at once, 1 to MaxSimultaneous; from the next row on.
    static constexpr int MaxSimultaneous = 8;
    void setSimultaneous(int rows);
    int simultaneous() const { return m_simultaneous; }
    // Connections per file, for the next fetches.
    void setConnections(int connections) { m_connections = connections; }
    int connections() const { return m_connections; }
    // The limit every row's bytes count against, from the next fetch on
    // (a running one keeps the limit it started with; its rate changes
    // for all of them at once).
    void setSpeedLimit(std::shared_ptr<net::SpeedLimit> limit);
    // LAME's V level of the MP3 a sound-only row into an .mp3 is encoded at.
    void setMp3Quality(int level) { m_mp3Quality = level; }
    // The subtitles each row started from now on saves (FetchJob::subtitles).
    void setSubtitles(const QStringList &languages, bool inside)
    {
        m_subtitles = languages;
        m_subtitlesInside = inside;
    }
    // Where the next fetches put their files.
    void setFolder(const QString &folder) { m_folder = folder; }
    // No byte for this long fails a fetch (and may be tried again).
    void setStallTimeout(int ms);

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

    // How often rowProgressed() reports each running row.
    static constexpr int ProgressIntervalMs = 250;

    // The waits before the retries of a passing failure (1 s, 4 s, 16 s);
    // a server's Retry-After comes first.
    void setRetryDelays(const QList<int> &ms) { m_retryDelaysMs = ms; }
    QList<int> retryDelays() const { return m_retryDelaysMs; }
    int stallTimeout() const { return m_stallTimeoutMs; }

    // Names never written by a fetch, compared without case: the program's
    // own files in its folder (the list file, the executable).
    void setReservedNames(const QStringList &names) { m_reserved = names; }

    // Reads a page row's formats again when their addresses expired.
    void setRowReader(std::shared_ptr<sitevideo::RowReader> reader) { m_rowReader = std::move(reader); }

signals:
    void fetchStarted(quint64 id);
    // A running row's figures, every ProgressIntervalMs and once more when
    // its body is complete.
    void rowProgressed(quint64 id, const vidrona::download::service::RowProgress &progress);
    // A passing failure: the row stays DOWNLOADING and is tried again in
    // waitMs.
    void rowRetrying(quint64 id, int waitMs, const vidrona::net::Failure &why);
    // A row's fetch ended, its status set and the list saved first: no
    // failure when the file is in place; Reason::Cancelled when the user
    // cancelled it. The next row starts once every listener returned.
    void fetchEnded(quint64 id, const vidrona::net::Failure &failure);
    // Right after a row's fetchEnded() without failure: subtitles it did not save.
    void subtitlesMissed(quint64 id, const QList<vidrona::download::SubtitleMiss> &missed);
    // The rows being fetched, and the fraction of their bytes that arrived.
    void progressed(int running, double fraction);
    void runEnded();

private:
    // One transfer and the row it fetches or waits to try again.
    struct Slot {
        Transfer *transfer = nullptr;
        quint64 id = 0;      // the row being fetched; 0 when none
        QString path;        // where its file goes
        QElapsedTimer clock; // since its fetch started
        quint64 retryId = 0; // the row waiting to be tried again here
        QTimer *retryTimer = nullptr;
        bool busy() const { return id != 0 || retryId != 0; }
    };
    Slot &addSlot();
    Slot *freeSlot();
    Slot *slotOf(quint64 id);
    bool anyBusy() const;
    bool isBusy(quint64 id) const;
    int nextRow() const;
    void step();
    void endRun();
    bool startFetch(Slot &slot, const DownloadEntry &entry);
    void onTransferFinished(Slot &slot, const net::Failure &failure);
    void settle(Slot &slot, quint64 id, const net::Failure &failure);
    bool beginFetch(Slot &slot, const DownloadEntry &entry);
    bool retryLater(Slot &slot, quint64 id, const net::Failure &failure);
    void retryNow(Slot &slot);
    void dropRetry(Slot &slot);
    void showProgress(Slot &slot, qint64 *received, qint64 *total);
    void complete(quint64 id, const net::Failure &failure);
    void settleCancelled(quint64 id);
    void showProgress();
    void rowsLeaving(int first, int last);
    QString targetPathOf(const DownloadEntry &entry) const;

    DownloadList &m_list;
    std::vector<std::unique_ptr<Slot>> m_slots;
    int m_simultaneous = 1;
    int m_connections = 8;
    int m_mp3Quality = 2;
    QStringList m_subtitles;
    bool m_subtitlesInside = false;
    int m_stallTimeoutMs;
    QString m_folder;
    std::function<void()> m_save;
    ExtrasOf m_extrasOf;
    SubtitlesOf m_subtitlesOf;
    TagsOf m_tagsOf;
    bool m_running = false;
    bool m_savedThisRun = false;
    bool m_stopped = false;
    QSet<quint64> m_leftOver;
    QTimer m_progressTimer;
    QSet<quint64> m_failedThisRun;
    QStringList m_reserved;
    std::shared_ptr<sitevideo::RowReader> m_rowReader;
    std::shared_ptr<net::SpeedLimit> m_limit;
    QList<int> m_retryDelaysMs = retries::RowDelaysMs;
    QHash<quint64, int> m_retries; // retries so far in this run, per row
};

} // namespace vidrona::download
