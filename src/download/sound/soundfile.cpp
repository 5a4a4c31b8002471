#include "soundfile.h"
#include "download/sitevideo/soundalone.h"
#include <QDir>
#include <QFileInfo>

namespace vidrona::download::sound {

bool isSingleMp4(const QUrl &address)
{
    const QString path = address.path().toLower();
    const QString scheme = address.scheme().toLower();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
           && (path.endsWith(QLatin1String(".mp4")) || path.endsWith(QLatin1String(".m4v")));
}

namespace {

// Hidden beside the row's file, so that a stopped fetch continues its bytes.
QString wholePath(const QString &finalPath)
{
    const QFileInfo info(finalPath);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".whole"));
}

} // namespace

FetchResult fetchSoundOfFile(const FetchJob &job, FetchShared &shared)
{
    FetchJob whole = job;
    whole.finalPath = wholePath(job.finalPath);
    whole.quality.clear(); // the file as it is
    whole.takenNames.clear();
    whole.subtitles.clear();
    whole.finishing = nullptr; // said once, when the sound is put in place
    const FetchResult got = runFetch(whole, shared);
    if (!got.ok())
        return got;
    if (job.finishing)
        job.finishing();
    return sitevideo::placeSoundAlone(got.placedAt, job, shared);
}

} // namespace vidrona::download::sound
