#include "soundalone.h"
#include "download/filewriter.h"
#include "download/sound/mp3encoder.h"
#include "download/streams/soundonly.h"
#include <QFile>

namespace vidrona::download::sitevideo {

namespace {

// The sound encoded as MP3 at the row's level, its share shown as it goes.
sound::Mp3Result encoded(const QString &fetched, const QString &output, const FetchJob &job, FetchShared &shared)
{
    shared.encodedPermille = 0;
    const sound::Mp3Result result = sound::encodeMp3(fetched, output, job.mp3Quality, [&](double share) {
        shared.encodedPermille = int(share * 1000);
    }, &shared.cancel.flag());
    shared.encodedPermille = -1;
    return result;
}

} // namespace

FetchResult placeSoundAlone(const QString &fetched, const FetchJob &job, FetchShared &shared)
{
    const std::atomic<bool> &cancel = shared.cancel.flag();
    const auto failed = [&](const net::Step &why) -> FetchResult {
        return {cancel ? net::cancelled() : net::failedStep(net::Reason::Other, net::Cause::StepFailed, why)};
    };
    const QString alone = fetched + QStringLiteral(".sound");
    QFile::remove(alone);
    const streams::SoundOnly sound = streams::keepSoundOnly(fetched, alone, &cancel);
    if (!sound.ok)
        return failed(sound.error);
    QString result = alone, target = streams::withExtension(job.finalPath, sound.extension);
    if (job.finalPath.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive) && sound.extension != QLatin1String("mp3")) {
        QFile::remove(alone);
        result = fetched + QStringLiteral(".mp3");
        const sound::Mp3Result mp3 = encoded(fetched, result, job, shared);
        if (!mp3.ok)
            return failed(mp3.error);
        target = job.finalPath;
    }
    FileWriter writer;
    writer.setCancel(&cancel);
    QString placedAt;
    const auto taken = [&](const QString &name) { return job.takenNames.contains(name, Qt::CaseInsensitive); };
    if (!writer.open(result, true) || !writer.commitTo(target, taken, &placedAt)) {
        QFile::remove(result);
        return {writer.failure()};
    }
    QFile::remove(fetched);
    return {{}, placedAt};
}

} // namespace vidrona::download::sitevideo
