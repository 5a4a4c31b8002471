#include "transfer.h"
#include "filefetch.h"
#include "sitevideo/sitefetch.h"
#include <QThread>

namespace vidrona::download {

Transfer::Transfer(QObject *parent) : QObject(parent), m_shared(std::make_shared<FetchShared>())
{
    initFetching();
}

Transfer::~Transfer()
{
    // Silent: nobody hears about a transfer that dies with its owner.
    stopThread();
}

bool Transfer::start(const QUrl &url, const QString &targetPath, const QStringList &takenNames)
{
    if (StillExecuting())
        return false;
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        setState(Requesting);
        QMetaObject::invokeMethod(this, [this] { fetchEnded(net::fail(net::Reason::NotWebAddress, net::Cause::NotHttpAddress)); },
                                  Qt::QueuedConnection);
        return true;
    }
    FetchJob job;
    job.url = url;
    job.finalPath = targetPath;
    job.stallTimeoutMs = m_stallTimeoutMs;
    job.maxRedirects = m_maxRedirects;
    job.takenNames = takenNames;
    job.connections = m_connections;
    job.speedLimit = m_limit;
    job.requestFields = m_fields;
    job.cookieFile = m_cookieFile;
    job.quality = m_quality;
    job.mp3Quality = m_mp3Quality;
    job.subtitles = m_subtitles;
    job.tags = m_tags;
    job.subtitlesInside = m_subtitlesInside;
    return start(job);
}

bool Transfer::start(const FetchJob &whole)
{
    if (StillExecuting())
        return false;
    setState(Requesting);
    m_shared = std::make_shared<FetchShared>();
    FetchJob job = whole;
    job.receiving = [this] {
        QMetaObject::invokeMethod(this, [this] {
            if (m_state == Requesting)
                setState(Receiving);
        }, Qt::QueuedConnection);
    };
    job.finishing = [this] {
        QMetaObject::invokeMethod(this, [this] { setState(Finishing); }, Qt::QueuedConnection);
    };
    const std::optional<sitevideo::Choice> choice = sitevideo::parseChoice(std::exchange(m_siteVideo, {}));
    m_thread = QThread::create([this, job, choice, shared = m_shared, reader = m_rowReader] {
        const FetchResult result = choice ? sitevideo::runSiteVideoFetch(*choice, job, *shared, reader.get())
                                          : runFetch(job, *shared);
        QMetaObject::invokeMethod(this, [this, result] { fetchEnded(result.failure, result.placedAt, result.subtitlesMissed); },
                                  Qt::QueuedConnection);
    });
    m_thread->setObjectName(QStringLiteral("Transfer"));
    m_thread->start();
    return true;
}

// The row's one token, in every state: it ends the row's requests at
// once, and what runs after the body (the closing sync, a stream's join)
// may read it to stop early too.
void Transfer::Cancel()
{
    // Also while the file is put in place: the closing sync or a stream's
    // join gives up, and the bytes or pieces stay for the next Start.
    if (m_state != Idle)
        m_shared->cancel = true;
}

qint64 Transfer::bytesReceived() const
{
    return m_shared->received;
}

qint64 Transfer::bytesTotal() const
{
    return m_shared->total;
}

qint64 Transfer::bytesFetched() const
{
    return m_shared->fresh;
}

int Transfer::piecesDone() const
{
    return m_shared->piecesDone;
}

int Transfer::piecesTotal() const
{
    return m_shared->piecesTotal;
}

int Transfer::encodedPermille() const
{
    return m_shared->encodedPermille;
}

void Transfer::setState(State s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged(int(s));
}

// The result, delivered from the event loop: no caller is re-entered from
// inside start() or Cancel().
void Transfer::fetchEnded(const net::Failure &failure, const QString &placedAt,
                          const QList<SubtitleMiss> &subtitlesMissed)
{
    stopThread();
    m_placedAt = placedAt;
    m_subtitlesMissed = subtitlesMissed;
    setState(Finishing);
    setState(Idle);
    emit finished(failure); // last: a listener may start the next fetch
}

void Transfer::stopThread()
{
    if (!m_thread)
        return;
    m_shared->cancel = true;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

} // namespace vidrona::download
