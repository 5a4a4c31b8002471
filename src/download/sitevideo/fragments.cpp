#include "fragments.h"
#include "download/streams/streamfetch.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace vidrona::download::sitevideo {

QUrl fragmentUrl(const Format &format, const Fragment &fragment)
{
    if (!fragment.url.isEmpty())
        return QUrl(fragment.url);
    const QUrl path(fragment.path);
    return path.isRelative() ? QUrl(format.fragmentBaseUrl + fragment.path) : path;
}

QString fragmentsFolder(const QString &finalPath)
{
    const QFileInfo info(finalPath);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".fragments"));
}

namespace {

// The fragments as a stream's plan: one track, joined in the list's order.
// A reading of the page later gives the same list with other signed
// addresses, so the kept pieces are known by the fragments' paths without
// their queries, and the row's address without its query.
streams::StreamPlan fragmentPlan(const Format &format)
{
    streams::StreamPlan plan;
    QCryptographicHash digest(QCryptographicHash::Sha256);
    plan.tracks.append(QList<int>());
    for (const Fragment &fragment : format.fragments) {
        const QUrl url = fragmentUrl(format, fragment);
        plan.pieces.append(streams::StreamPiece{url, {}, -1, {}});
        plan.tracks.last().append(int(plan.pieces.size()) - 1);
        digest.addData(url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment).toEncoded() + '\n');
    }
    plan.digest = digest.result().toHex();
    plan.trusted = true; // as the format's own address: yt-dlp read it from the page the user named
    return plan;
}

} // namespace

FetchResult fetchFragments(const Format &format, const FetchJob &job, FetchShared &shared)
{
    FetchJob stream = job;
    stream.url = QUrl(format.url.isEmpty() ? format.fragmentBaseUrl : format.url).adjusted(QUrl::RemoveQuery);
    stream.quality.clear();
    stream.subtitles.clear();
    return streams::runPlannedStream(stream, shared, fragmentPlan(format));
}

} // namespace vidrona::download::sitevideo
