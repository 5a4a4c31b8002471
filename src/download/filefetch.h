#pragma once
#include "download/media/tags.h"
#include "net/failure.h"
#include "net/httphead.h"
#include "net/loop.h"
#include <QString>
#include <QStringList>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>

namespace vidrona::net {
class SpeedLimit;
}

namespace vidrona::download {

using net::HttpHead;

// What a fetch thread and its owner share; the owner reads the counters
// for the progress display and sets cancel to stop the fetch.
struct FetchShared {
    // The row's one cancel: it wakes the row's loop at once. What runs
    // after the body (the closing sync, a stream's join) reads it too.
    net::CancelToken cancel;
    std::atomic<qint64> received{0}; // bytes of the file so far, kept ones included
    std::atomic<qint64> total{-1};   // its full length; -1 unknown
    std::atomic<qint64> fresh{0};    // bytes this fetch received itself
    // A stream's pieces: how many arrived, of how many (0: not a stream).
    std::atomic<int> piecesDone{0};
    std::atomic<int> piecesTotal{0};
    // The share of an encode done after the fetch, in thousandths; -1: none.
    std::atomic<int> encodedPermille{-1};
};

struct FetchJob {
    QUrl url;
    QString finalPath;
    int stallTimeoutMs = 60000;
    int maxRedirects = 10;
    // Connections at once for one file's ranges or one stream's pieces.
    int connections = 8;
    // Which of a stream's several qualities to save, as the settings word
    // it (streams::QualityChoice); a fetch that continues kept pieces
    // takes the one their record names instead, so they stay one video.
    QByteArray quality;
    // Sound only, into a name ending in .mp3: LAME's V level (0 to 4) of
    // the encode, when the sound is not MP3 already.
    int mp3Quality = 2;
    QStringList subtitles; // languages of the subtitles to save ("en"); empty: none
    bool subtitlesInside = false; // into the video file, not beside it
    // Names in finalPath's folder that others hold although no file may be
    // there yet (rows of the list): the file never takes them when its own
    // name is held and it moves on to the next free one.
    QStringList takenNames;
    QList<QByteArray> requestFields; // extra head lines for every request of the row
    QString cookieFile;              // see net::Request::cookieFile
    // At most this many bytes asked in one request of the file's parts
    // (a site that slows longer ranges); 0: no bound.
    qint64 rangeCap = 0;
    // What the row's file says of itself, written by the writers that make
    // a file of their own (a join, a remux, sound only, an MP3); a file
    // saved as sent stays as sent. Empty: no tags.
    media::Tags tags;
    // The limit every body byte of the fetch counts against: the one of
    // the service that runs it, shared by its rows and kept alive by the
    // fetches that use it. None: no limit.
    std::shared_ptr<net::SpeedLimit> speedLimit;
    // Called on the fetch thread: the body starts arriving, the body is
    // complete and the file is being put in place.
    std::function<void()> receiving;
    std::function<void()> finishing;
    // For an owner that shows the request's course step by step (the
    // YouTube window), also on the fetch thread: a connection is being
    // opened, a request went out, and an answer that is not a redirect
    // being followed has its head in, before any of its body is taken.
    // head returning false leaves that body unread and ends the fetch as
    // cancelled (the kept bytes of an earlier fetch stay).
    std::function<void()> connecting;
    std::function<void()> requestSent;
    std::function<bool(const HttpHead &)> head;
};

// A subtitle the row did not save, and why: the video is saved all the
// same, and the window says what is missing.
struct SubtitleMiss {
    QString language;
    net::Failure why;
    bool operator==(const SubtitleMiss &o) const { return language == o.language && why == o.why; }
};

struct FetchResult {
    net::Failure failure; // why not; none when the file is in place
    QString placedAt;     // where it is: finalPath, or the next free name
                          // when something else held finalPath
    QList<SubtitleMiss> subtitlesMissed; // of the job's subtitles, with the file in place
    FetchResult(const net::Failure &f = {}, const QString &at = {}) : failure(f), placedAt(at) {}
    bool ok() const { return !failure.failed(); }
};

// Fetches job.url into job.finalPath on the calling thread, to the end:
// the body goes to the kept bytes beside the final file (continuing them
// when the server proves they are the same version), and the final name
// receives the complete file only, and never replaces a file or link
// that holds that name (see FetchResult::placedAt). It goes through the proxy the rest of
// the program uses (asked here: the system's answer may take a while).
// Bounded in time by the stall timeout,
// in redirects, and in the size of every answer's head.
FetchResult runFetch(const FetchJob &job, FetchShared &shared);

// Once per process, before the first fetch thread starts.
void initFetching();

} // namespace vidrona::download
