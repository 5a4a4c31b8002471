#include "streamfetch.h"
#include "joinparts.h"
#include "mp4joiner.h"
#include "piecefolder.h"
#include "piecerun.h"
#include "soundonly.h"
#include "download/media/cover.h"
#include "download/sound/mp3encoder.h"
#include "streamplan.h"
#include "download/filewriter.h"
#include "download/keptbytes.h"
#include "download/subtitles/besidefile.h"
#include "download/subtitles/subtitlefetch.h"
#include <QFile>
#include <QFileInfo>

namespace vidrona::download::streams {

namespace {

// The pieces an earlier run left, when they belong to the same playlist;
// otherwise the folder is emptied and everything is fetched again. Only
// pieces whose bytes are still found count.
PieceRecord takeUpKept(const FetchJob &job, const StreamPlan &plan, const PieceFolder &folder,
                       const QualityChoice &choice, const subtitles::Wish &wish)
{
    const int total = int(plan.pieces.size());
    const PieceRecord fresh{job.url.toEncoded(), plan.digest, total, {}, {},
                            choice.isBest() ? QByteArray() : choice.key(), wish.recordText()};
    const std::optional<PieceRecord> kept = folder.load();
    if (!kept || kept->address != fresh.address || kept->digest != plan.digest || kept->pieces != total) {
        // Written with the first pieces done: a folder without a record
        // holds nothing a later run could take up, and the first piece is
        // asked for without waiting for a sync.
        folder.clear(false);
        return fresh;
    }
    PieceRecord record = *kept;
    record.quality = fresh.quality;
    record.subtitles = fresh.subtitles;
    record.done.clear();
    for (const Span &span : kept->done)
        for (qint64 n = span.begin; n < span.end; ++n)
            if (folder.where(*kept, int(n)))
                record.done = kept::withSpan(record.done, {n, n + 1});
    // A piece file of an earlier version got its name only once whole and
    // durable: it counts, also one a crash kept that record from naming.
    for (const Span &span : folder.piecesOnDisk(total))
        for (qint64 n = span.begin; n < span.end; ++n)
            if (!record.places.contains(int(n)))
                record.done = kept::withSpan(record.done, {n, n + 1});
    return record;
}

// The quality the kept pieces are, when an earlier run of the same address
// left some, so a resume or retry continues the same video; else the job's.
QualityChoice chosenQuality(const FetchJob &job, const PieceFolder &folder)
{
    const std::optional<PieceRecord> record = folder.load();
    if (record && record->address == job.url.toEncoded())
        return QualityChoice::fromKey(record->quality);
    return QualityChoice::fromKey(job.quality);
}

// The subtitles the kept pieces were asked with, as their quality is
// taken; else the job's.
subtitles::Wish chosenSubtitles(const FetchJob &job, const PieceFolder &folder)
{
    const std::optional<PieceRecord> record = folder.load();
    if (record && record->address == job.url.toEncoded())
        return subtitles::Wish::fromRecordText(record->subtitles);
    return {subtitles::languageList(job.subtitles.join(QLatin1Char(','))), job.subtitlesInside};
}

// The sound of the joined part alone, without re-encoding, or encoded as
// MP3 when the row's name asks for one and it is not MP3 already: *result
// becomes that file and *finalPath the name its kind takes.
net::Failure soundAlone(const FetchJob &job, FetchShared &shared, const PieceFolder &folder, const QString &joined,
                        int part, const media::Tags &tags, QString *result, QString *finalPath)
{
    const std::atomic<bool> &cancel = shared.cancel.flag();
    const auto failed = [&](const net::Step &why) {
        return cancel ? net::cancelled() : net::failedStep(net::Reason::Other, net::Cause::StepFailed, why);
    };
    const QString suffix = part > 0 ? QString::number(part) : QString();
    const SoundOnly sound = keepSoundOnly(joined, folder.soundPath() + suffix, &cancel, tags);
    if (!sound.ok)
        return failed(sound.error);
    *result = folder.soundPath() + suffix;
    const bool mp3 = finalPath->endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive);
    if (!mp3 || sound.extension == QLatin1String("mp3")) {
        *finalPath = withExtension(*finalPath, sound.extension);
        return {};
    }
    *result = folder.encodedPath() + suffix;
    shared.encodedPermille = 0;
    const sound::Mp3Result encoded = sound::encodeMp3(joined, *result, job.mp3Quality, [&](double share) {
        shared.encodedPermille = int(share * 1000);
    }, &cancel, tags);
    shared.encodedPermille = -1;
    return encoded.ok ? net::Failure() : failed(encoded.error);
}

// Why the pieces were not joined, as the row's failure.
FetchResult joinFailure(const PieceFolder &folder, JoinFault fault, const net::Step &error)
{
    // Only pieces that cannot be joined go (kept, the same pieces would
    // fail the same way at every try); a cancel or the disk's fault
    // leaves them for the next try.
    if (fault == JoinFault::Cancelled)
        return {net::cancelled(), {}};
    if (fault == JoinFault::DiskFull || fault == JoinFault::Output) {
        net::Failure f = FileWriter::failureOf(fault == JoinFault::DiskFull ? platform::FileFault::DiskFull
                                                                            : platform::FileFault::Other,
                                               net::Cause::WriteFault);
        if (f.cause == net::Cause::WriteFault)
            f.step = error;
        return {f, {}};
    }
    folder.clear(true);
    if (fault == JoinFault::Unjoinable) // the same at every try: never a file with part of the video
        return {net::fail(net::Reason::NotTheVideo, net::Cause::PartsUnjoinable), {}};
    return {net::failedStep(net::Reason::Other, net::Cause::PiecesUnjoinable, error), {}};
}

// Joins the pieces where they lie, then puts the file in place; a video
// that had to be cut where its encoding changes becomes "name (part 1)",
// "name (part 2)"..., the row taking the first, so its name says so.
FetchResult joinAndPlace(const FetchJob &job, FetchShared &shared, const StreamPlan &plan, const PieceFolder &folder,
                         const PieceRecord &record, JoinExtras *extras)
{
    const media::Tags tags = media::withCover(job.tags, job.url, shared.cancel.flag());
    QList<QList<JoinPiece>> inputs;
    for (const QList<int> &track : plan.tracks) {
        inputs.append(QList<JoinPiece>());
        for (int n : track)
            inputs.last().append(folder.where(record, n).value_or(JoinPiece{folder.piecePath(n), 0, -1}));
    }
    const QString joined = folder.joinedPath();
    QFile::remove(joined);
    net::Step error;
    JoinFault fault = JoinFault::None;
    const QStringList parts = joinInParts(inputs, plan.runs, plan.mayPart, joined, &error, &shared.cancel.flag(),
                                          &fault, tags, extras);
    if (parts.isEmpty())
        return joinFailure(folder, fault, error);
    const auto taken = [&](const QString &name) { return job.takenNames.contains(name, Qt::CaseInsensitive); };
    const QString target = plan.soundOnly ? soundOnlyName(job.finalPath) : job.finalPath;
    QString firstPlaced;
    for (int i = 0; i < parts.size(); ++i) {
        QString result = parts.at(i), finalPath = parts.size() > 1 ? partName(target, i + 1) : target;
        if (record.quality == "sound")
            if (const net::Failure f = soundAlone(job, shared, folder, parts.at(i), i, tags, &result, &finalPath); f.failed())
                return {f};
        FileWriter writer;
        writer.setCancel(&shared.cancel.flag());
        QString placedAt;
        if (!writer.open(result, true) || !writer.commitTo(finalPath, taken, &placedAt))
            return {writer.failure()};
        if (i == 0)
            firstPlaced = placedAt;
    }
    folder.clear(true);
    return {{}, firstPlaced};
}

// The wished subtitles, fetched once the pieces are in: into the join when
// they go inside a video, else SubRip files beside what was placed. None
// of it fails the row: what is missing is told with the result.
FetchResult joinWithSubtitles(const FetchJob &job, FetchShared &shared, const StreamPlan &plan,
                              const PieceFolder &folder, const PieceRecord &record)
{
    const subtitles::Wish wish = subtitles::Wish::fromRecordText(record.subtitles);
    subtitles::Haul haul;
    if (!wish.none()) {
        net::HttpClient client;
        client.setRowExtras(job.requestFields, job.cookieFile);
        haul = subtitles::fetchSubtitles(client, plan.subtitles, wish.languages, plan.trusted, job.stallTimeoutMs,
                                         shared.cancel.flag());
    }
    const bool inside = wish.inside && record.quality != "sound"; // a sound file keeps no text stream
    JoinExtras extras;
    if (inside)
        extras.subtitles = haul.tracks;
    FetchResult result = joinAndPlace(job, shared, plan, folder, record, &extras);
    if (result.ok() && !inside)
        subtitles::saveBeside(result.placedAt, haul.tracks, extras.mediaStartMs, &haul.missed);
    if (result.ok())
        result.subtitlesMissed = haul.missed;
    return result;
}

// Fetches the plan's pieces over the row's connections, then joins them
// and puts the file in place.
FetchResult fetchPlanned(const FetchJob &job, FetchShared &shared, const StreamPlan &plan, const PieceFolder &folder,
                         const QualityChoice &choice, const subtitles::Wish &wish)
{
    if (!folder.make())
        return {net::fail(net::Reason::WriteFailed, net::Cause::PieceFolderNotMade, folder.path())};
    PieceRun run(job, shared, plan, folder, takeUpKept(job, plan, folder, choice, wish));
    if (const net::Failure f = run.run(); f.failed())
        return {f};
    if (job.finishing)
        job.finishing();
    const FetchResult result = joinWithSubtitles(job, shared, plan, folder, run.done());
    if (result.failure.failed() && QFileInfo::exists(folder.keptPath()))
        run.keep(); // the pieces wait for the next try
    return result;
}

} // namespace

FetchResult runStreamFetch(const FetchJob &job, FetchShared &shared, const std::optional<QByteArray> &playlist,
                           const QUrl &from)
{
    shared.total = -1;
    const PieceFolder folder(job.finalPath);
    const QualityChoice choice = chosenQuality(job, folder);
    const subtitles::Wish wish = chosenSubtitles(job, folder);
    StreamPlan plan;
    {
        net::HttpClient client;
        client.setRowExtras(job.requestFields, job.cookieFile);
        plan = planStream(client, job.url, job.stallTimeoutMs, shared.cancel, playlist, from, choice);
    }
    if (plan.failure.failed())
        return {plan.failure};
    return fetchPlanned(job, shared, plan, folder, choice, wish);
}

FetchResult runPlannedStream(const FetchJob &job, FetchShared &shared, const StreamPlan &plan)
{
    shared.total = -1;
    return fetchPlanned(job, shared, plan, PieceFolder(job.finalPath), QualityChoice(), subtitles::Wish());
}

} // namespace vidrona::download::streams
