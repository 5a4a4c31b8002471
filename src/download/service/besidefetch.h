#pragma once
#include "net/failure.h"
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

namespace vidrona::download {
class Transfer;
struct FetchJob;
}

namespace vidrona::download::service {

// A file fetched beside the list (the YouTube window's), run the way a
// row of the queue is: on a Transfer (the row's one driver thread, with
// the engine's own tries of what breaks off), and tried again as a whole
// after a passing failure by the one retry rule, going on from its kept
// bytes. A job the service prepared (DownloadService::prepareBeside) also
// has the rows' connections, speed limit, names and waits.
class BesideFetch : public QObject
{
    Q_OBJECT
public:
    explicit BesideFetch(QObject *parent = nullptr);
    ~BesideFetch() override; // stops a running fetch; its kept bytes stay

    // Starts job. False when a fetch (or its wait to be tried again) is
    // still under way. Every accepted start ends with one finished(), never
    // from inside start(), unless cancel() comes first.
    bool start(const FetchJob &job);
    // Stops the fetch, or its wait, and lets go of its files before it
    // returns; nothing is signalled for it any more.
    void cancel();
    bool running() const { return m_running; }

    // Bytes of the file so far (kept ones included), and its full length
    // (-1 unknown), of the try under way or the last one.
    qint64 bytesReceived() const;
    qint64 bytesTotal() const;
    // Where the file went: the job's path, or the next free name. Valid in finished().
    QString placedAt() const { return m_placedAt; }

    // The waits before the tries of the whole fetch (retries::RowDelaysMs).
    void setRetryDelays(const QList<int> &ms) { m_delaysMs = ms; }

signals:
    // A passing failure: the file is asked for again in waitMs.
    void retrying(int waitMs, const vidrona::net::Failure &why);
    // No failure: the whole file is in place.
    void finished(const vidrona::net::Failure &failure);

private:
    void tryOnce();
    void onTried(const net::Failure &failure);
    void dropTransfer();

    std::unique_ptr<FetchJob> m_job;
    Transfer *m_transfer = nullptr; // a child, made anew for each try
    QTimer m_wait;
    QList<int> m_delaysMs;
    int m_retries = 0;
    bool m_running = false;
    QString m_placedAt;
};

} // namespace vidrona::download::service
