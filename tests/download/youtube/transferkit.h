#pragma once
// What the transfer tests of the YouTube window share: a recording
// stand-in for the window, which words what it is sent as the window does,
// and the simulated site's addresses.
#include "download/engine/record.h"
#include "download/keptbytes.h"
#include "download/retries.h"
#include "download/youtube/flvdownload.h"
#include "ui/youtube/youtubetexts.h"
#include "server.h"
#include <QStringList>
#include <memory>

namespace vidrona::download::youtube::testkit {

using ui::youtube::downloadFailureText;
using ui::youtube::downloadStateText;
using ui::youtube::errorMessage;
using ui::youtube::sizeText;

struct RecordingView : FlvDownloadView {
    QStringList statuses, messages;
    QString sizeText, fileName;
    QList<FlvProgress> progress;
    QList<int> arrivals;
    int enabled = 0;
    bool mp4 = false;
    int cancelAfterChecks = -1; // >= 0: the stop is asked at that check
    mutable int checks = 0;

    void showState(FlvState state, const QString &title) override { statuses << downloadStateText(state, title); }
    void showSize(qint64 bytes) override { sizeText = ui::youtube::sizeText(bytes); }
    void showProgress(const FlvProgress &p) override { progress << p; }
    void showArrival(int percent) override { arrivals << percent; }
    void setFileName(const QString &n) override { fileName = n; }
    bool useMp4() const override { return mp4; }
    bool cancelRequested() const override
    {
        return cancelAfterChecks >= 0 && ++checks > cancelAfterChecks;
    }
    void showFailure(const FlvFailure &f) override { messages << errorMessage(downloadFailureText(f), true); }
    void enableDownload() override { ++enabled; }
};

inline QString fileAddress(const QByteArray &id)
{
    // The simulated site's token for its generated videos.
    const QByteArray token = "vjVQa1PpcFN" + id.toHex().right(6);
    return QString::fromLatin1("  http://youtube.com/get_video?video_id=" + id + "&t=" + token + " ");
}

inline constexpr qint64 ResumedSize = 1000000;

// A file of ResumedSize bytes whose first fetch breaks off: the server
// drops it at half, or trickles it so the user can stop it or close the
// window. Later fetches
// get the version named by etagNow and versionNow, with Range answered
// when the file has an ETag.
// The answers of a first run that drops: the first at half the file, and
// the fetch's own tries for the rest (a resumable file's) before their
// first byte, so that the run ends with half the file kept.
inline constexpr int DroppedRun = 1 + retries::MaxRetries;

// The bytes the record beside file names (those a next run continues):
// only ever bytes made durable.
inline qint64 namedBytes(const QString &file)
{
    const std::optional<engine::FetchRecord> r = engine::readRecord(kept::recordPath(file));
    return r ? kept::firstMissing(r->done) : 0;
}

inline testweb::Handler interruptedOnce(const QByteArray &etag, const QByteArray &etagNow, qint64 versionNow, bool trickle)
{
    auto served = std::make_shared<int>(0);
    return [=](const testweb::Request &req) {
        const int n = (*served)++;
        const bool first = n < (trickle || etag.isEmpty() ? 1 : DroppedRun);
        testweb::Response r = etag.isEmpty() ? testweb::Response::pattern(ResumedSize)
                                             : testweb::Response::ranged(req, ResumedSize, first ? etag : etagNow,
                                                                         first ? 0 : versionNow);
        if (first && trickle) { // slow enough to be stopped once its record names bytes
            r.trickleMs = 20;
            r.trickleBytes = 4096;
        } else if (first) {
            r.dropAfter = n == 0 ? ResumedSize / 2 : 0;
        }
        return r;
    };
}

} // namespace vidrona::download::youtube::testkit
