#pragma once
#include "download/media/tags.h"
#include "filefetch.h"
#include "net/failure.h"
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

class QThread;

namespace vidrona::net {
class SpeedLimit;
}

namespace vidrona::download {
namespace sitevideo {
class RowReader;
}

struct FetchShared;
struct FetchResult;
struct FetchJob;

// The transfer component behind the main window's file fetches: one HTTP
// request at a time, run on a thread of its own (see filefetch.h), so the
// window never waits for the network or the disk. The body goes to kept
// bytes beside the target that a later fetch of the same file continues;
// the target receives only a complete file, in one step. The caller starts
// a fetch and hears about its end through finished().
class Transfer : public QObject
{
    Q_OBJECT
public:
    enum State {
        Idle = 0,       // no request
        Requesting = 1, // request sent, no answer yet
        Receiving = 2,  // answer head in, body arriving
        Finishing = 3,  // body complete or given up; the file is being put
                        // in place and the result is about to be delivered
    };
    Q_ENUM(State)

    static constexpr int DefaultStallTimeoutMs = 60000;
    static constexpr int DefaultMaxRedirects = 10;

    explicit Transfer(QObject *parent = nullptr);
    ~Transfer() override; // stops a running fetch; its kept bytes stay

    // Starts fetching url into targetPath. False (and nothing started) when
    // a request is still executing. Every accepted start ends with exactly
    // one finished(), never from inside start() itself.
    // takenNames: names in the target's folder that others hold (see
    // FetchJob::takenNames).
    bool start(const QUrl &url, const QString &targetPath, const QStringList &takenNames = {});
    // The same for a job its caller made whole (its own head, connecting
    // and requestSent calls, connections, limit and names); the settings
    // below are not used for it, but for the site video's formats. Its
    // address is judged by the fetch, in the fetch's words.
    bool start(const FetchJob &job);
    // Where the last fetch put its file: the target, or the next free name
    // when something else held the target's name. Valid in finished().
    QString placedAt() const { return m_placedAt; }
    // The subtitles the last fetch did not save, with why; valid in
    // finished(), and only when the file is in place.
    QList<SubtitleMiss> subtitlesMissed() const { return m_subtitlesMissed; }

    // True from an accepted start until its finished() has been delivered.
    bool StillExecuting() const { return m_state != Idle; }
    // Ends the request in progress; it finishes as failed (Cancelled).
    // While the file is put in place (the closing sync, a stream's join) it
    // still ends it, unless the file is already there.
    void Cancel();

    State state() const { return m_state; }

    // Bytes of the file so far (kept ones from an earlier fetch included),
    // its full length (-1 unknown), and the bytes this fetch received.
    qint64 bytesReceived() const;
    qint64 bytesTotal() const;
    qint64 bytesFetched() const;
    // A stream's pieces that arrived, of how many; 0 of 0 for a plain file.
    int piecesDone() const;
    int piecesTotal() const;
    // The share of an encode after the fetch (an MP3), in thousandths; -1: none.
    int encodedPermille() const;

    // Head lines and a cookie file (see FetchJob) for the next fetch.
    void setRequestExtras(const QList<QByteArray> &fields, const QString &cookieFile)
    {
        m_fields = fields;
        m_cookieFile = cookieFile;
    }

    // The next start fetches these formats (sitevideo::choiceText) for the
    // page at url instead of url itself; empty: url is the file.
    void setSiteVideo(const QByteArray &choiceText) { m_siteVideo = choiceText; }
    // Reads such a page again when its formats' addresses expired.
    void setRowReader(std::shared_ptr<sitevideo::RowReader> reader) { m_rowReader = std::move(reader); }
    // Connections at once for the next fetch's file or stream.
    void setConnections(int n) { m_connections = n; }
    // The limit the next fetches' bytes count against (FetchJob::speedLimit).
    void setSpeedLimit(std::shared_ptr<net::SpeedLimit> limit) { m_limit = std::move(limit); }
    // Which of a stream's qualities the next fetch saves (FetchJob::quality).
    void setQuality(const QByteArray &quality) { m_quality = quality; }
    void setMp3Quality(int level) { m_mp3Quality = level; }
    // The subtitles the next fetch saves (FetchJob::subtitles).
    void setSubtitles(const QStringList &languages, bool inside)
    {
        m_subtitles = languages;
        m_subtitlesInside = inside;
    }
    // What the next fetch's file says of itself (FetchJob::tags).
    void setTags(const media::Tags &tags) { m_tags = tags; }

    // No byte for this long fails the transfer.
    void setStallTimeout(int ms) { m_stallTimeoutMs = ms; }
    int stallTimeout() const { return m_stallTimeoutMs; }
    void setMaxRedirects(int n) { m_maxRedirects = n; }

signals:
    void stateChanged(int state);
    // No failure: the file was fetched completely and is in place.
    void finished(const vidrona::net::Failure &failure);

private:
    void setState(State s);
    void fetchEnded(const net::Failure &failure, const QString &placedAt = {},
                    const QList<SubtitleMiss> &subtitlesMissed = {});
    void stopThread();

    std::shared_ptr<FetchShared> m_shared;
    QThread *m_thread = nullptr;
    State m_state = Idle;
    QString m_placedAt;
    int m_stallTimeoutMs = DefaultStallTimeoutMs;
    int m_maxRedirects = DefaultMaxRedirects;
    int m_connections = 8;
    std::shared_ptr<net::SpeedLimit> m_limit;
    QList<QByteArray> m_fields;
    QString m_cookieFile;
    QByteArray m_siteVideo;
    std::shared_ptr<sitevideo::RowReader> m_rowReader;
    QByteArray m_quality;
    int m_mp3Quality = 2;
    QStringList m_subtitles;
    media::Tags m_tags;
    bool m_subtitlesInside = false;
    QList<SubtitleMiss> m_subtitlesMissed;
};

} // namespace vidrona::download
