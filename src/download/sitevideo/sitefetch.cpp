#include "sitefetch.h"
#include "sitesubtitles.h"
#include "fragments.h"
#include "remux.h"
#include "renewal.h"
#include "soundalone.h"
#include "download/diskspace.h"
#include "download/engine/nameclaims.h"
#include "download/engine/record.h"
#include "download/keptbytes.h"
#include "download/media/cover.h"
#include "platform/safefile.h"
#include "download/streams/piecefolder.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUuid>
#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vidrona::download::sitevideo {

namespace {
constexpr qint64 MaxChoiceBytes = 4 << 20; // thousands of fragments fit
constexpr int WatchMs = 100;
} // namespace

QString choicePath(const QString &finalPath)
{
    const QFileInfo info(finalPath);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".chosen"));
}

QString earlierChoicePath(const QString &finalPath)
{
    const QFileInfo info(finalPath);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".formats"));
}

bool keepChoice(const QString &finalPath, const QString &pageUrl, const QByteArray &choiceText)
{
    engine::FetchRecord record;
    record.kind = engine::FetchRecord::Kind::Formats;
    record.address = QUrl(pageUrl).toEncoded();
    record.formats = choiceText;
    if (const std::optional<Choice> choice = parseChoice(choiceText))
        record.quality = choice->quality;
    // Through the one writer of records' text, but 0600 from the first byte.
    const QByteArray text = engine::recordText(record);
    if (text.isEmpty() || !platform::writeFileSafely(choicePath(finalPath), text, nullptr, nullptr, true))
        return false;
    QFile::remove(earlierChoicePath(finalPath)); // the record speaks for the row now
    return true;
}

QByteArray keptChoiceText(const QString &finalPath)
{
    const std::optional<engine::FetchRecord> record = engine::readRecord(choicePath(finalPath));
    if (record && record->kind == engine::FetchRecord::Kind::Formats)
        return record->formats;
    const platform::SmallFile file = platform::readSmallFile(earlierChoicePath(finalPath), MaxChoiceBytes);
    return file.ok() ? file.bytes : QByteArray();
}

namespace {
void forgetChoice(const QString &finalPath)
{
    QFile::remove(choicePath(finalPath));
    QFile::remove(earlierChoicePath(finalPath));
}
} // namespace

QString partPath(const QString &finalPath, const Format &format)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_-]"));
    QString id = format.id;
    id.replace(unsafe, QStringLiteral("_"));
    const QFileInfo info(finalPath);
    return info.dir().filePath(QStringLiteral(".%1.f%2.%3").arg(info.fileName(), id.left(40), format.ext.isEmpty() ? QStringLiteral("bin") : format.ext.left(8)));
}

void dropChoice(const QString &finalPath)
{
    if (const std::optional<Choice> choice = parseChoice(keptChoiceText(finalPath))) {
        for (const Format &f : choice->parts) {
            kept::remove(partPath(finalPath, f));
            QFile::remove(partPath(finalPath, f));
            QDir(fragmentsFolder(partPath(finalPath, f))).removeRecursively();
            streams::PieceFolder(partPath(finalPath, f)).clear(true);
        }
    }
    QDir(fragmentsFolder(finalPath)).removeRecursively();
    streams::PieceFolder(finalPath).clear(true);
    forgetChoice(finalPath);
}

namespace {

FetchJob partJob(const Format &format, const FetchJob &row, const QString &path, int connections)
{
    FetchJob job = row;
    job.url = QUrl(format.url);
    job.finalPath = path;
    job.takenNames.clear();
    // A site that slows long answers is asked in bounded ranges, which
    // only a fetch of several connections asks for.
    job.connections = qMax(format.chunkSize > 0 ? 2 : 1, connections);
    job.rangeCap = format.chunkSize;
    job.requestFields.clear();
    for (const auto &[name, value] : format.headers)
        job.requestFields.append(name + ": " + value);
    job.receiving = job.finishing = nullptr; // the row's are said once, for the whole
    job.head = nullptr;
    return job;
}

// A format's cookies for libcurl's cookie engine while its fetch runs: a
// file in the user's private data folder (0700), readable by the user
// only, gone when the fetch ends.
class CookieFile
{
public:
    explicit CookieFile(const QList<QByteArray> &lines)
    {
        if (lines.isEmpty())
            return;
        const QString folder = QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("cookies"));
        if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return;
        const QString path = QDir(folder).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces));
        const QByteArray text = "# Netscape HTTP Cookie File\n" + lines.join('\n') + '\n';
        if (platform::writeFileSafely(path, text) && QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner))
            m_path = path;
    }
    ~CookieFile()
    {
        if (!m_path.isEmpty())
            QFile::remove(m_path);
    }
    CookieFile(const CookieFile &) = delete;
    CookieFile &operator=(const CookieFile &) = delete;
    QString path() const { return m_path; }

private:
    QString m_path;
};

// One format into job.finalPath: a file through the file fetch, a list of
// fragments joined. ownPath: the path is this row's own part file, which
// a new one replaces; else nothing that holds the name is replaced.
FetchResult fetchFormat(const Format &format, const FetchJob &rowJob, FetchShared &shared, bool ownPath)
{
    const CookieFile cookies(format.cookies);
    FetchJob job = rowJob;
    job.cookieFile = cookies.path();
    if (format.protocol != QLatin1String("http_dash_segments") || format.fragments.isEmpty())
        return runFetch(job, shared);
    if (ownPath)
        QFile::remove(job.finalPath); // a part's own hidden name: what an earlier try left goes
    const FetchResult joined = fetchFragments(format, job, shared);
    if (joined.ok())
        QDir(fragmentsFolder(job.finalPath)).removeRecursively();
    return joined;
}

// A format whose whole file an earlier fetch left (the join did not end):
// taken when it has the size the site gives, else fetched again.
bool alreadyThere(const QString &path, const Format &format)
{
    const QFileInfo info(path);
    if (info.isFile() && !info.isSymLink() && format.sizeExact && info.size() == format.filesize)
        return true;
    QFile::remove(path);
    return false;
}

std::optional<net::Failure> fitsOnDisk(const Choice &choice, const QString &finalPath)
{
    qint64 needed = 0;
    for (const Format &f : choice.parts)
        needed += qMax<qint64>(0, f.filesize - platform::allocatedBytes(kept::bytesPath(partPath(finalPath, f))));
    return needed > 0 ? diskspace::check(QFileInfo(finalPath).path(), 2 * needed) : std::nullopt; // parts, then the join
}

} // namespace

namespace {

// The row's connections shared by size: the larger part keeps more of them.
std::array<int, 2> connectionsByShare(const Choice &choice, int connections)
{
    std::array<int, 2> conns{qMax(1, connections / 2), qMax(1, connections - connections / 2)};
    const qint64 a = choice.parts[0].filesize, b = choice.parts[1].filesize;
    if (a > 0 && b > 0 && connections > 1) {
        const qint64 least = connections >= 4 ? 2 : 1;
        conns[0] = int(qBound(least, (connections * a + (a + b) / 2) / (a + b), qint64(connections) - least));
        conns[1] = connections - conns[0];
    }
    return conns;
}

// The two parts' figures summed into the row's.
void sumFigures(const std::array<FetchShared, 2> &parts, FetchShared &shared)
{
    const bool known = parts[0].total >= 0 && parts[1].total >= 0;
    shared.total = known ? parts[0].total + parts[1].total : -1;
    shared.received = parts[0].received + parts[1].received;
    shared.fresh = parts[0].fresh + parts[1].fresh;
}

// Both formats at once, each on a thread and a loop of its own, their
// figures summed into the row's. The row's cancel reaches both parts at
// once, and the row's thread wakes as soon as the second part ends.
std::array<FetchResult, 2> fetchPair(const Choice &choice, const FetchJob &job, const QString &finalPath,
                                     FetchShared &shared)
{
    std::array<FetchShared, 2> parts;
    std::array<FetchResult, 2> results;
    std::array<std::thread, 2> threads;
    const net::CancelToken::PassOn cancelFirst(shared.cancel, parts[0].cancel);
    const net::CancelToken::PassOn cancelSecond(shared.cancel, parts[1].cancel);
    std::mutex ending;
    std::condition_variable ended;
    int running = 0;
    const std::array<int, 2> conns = connectionsByShare(choice, job.connections);
    for (int i = 0; i < 2; ++i) {
        const QString path = partPath(finalPath, choice.parts[i]);
        if (alreadyThere(path, choice.parts[i])) {
            results[i] = FetchResult({}, path);
            parts[i].total = parts[i].received = choice.parts[i].filesize;
            continue;
        }
        ++running;
        threads[i] = std::thread([&, i, path] {
            FetchJob part = partJob(choice.parts[i], job, path, conns[i]);
            part.tags = {}; // the joined file carries them
            results[i] = fetchFormat(choice.parts[i], part, parts[i], true);
            const std::lock_guard lock(ending);
            --running;
            ended.notify_one();
        });
    }
    std::unique_lock lock(ending);
    while (!ended.wait_for(lock, std::chrono::milliseconds(WatchMs), [&] { return running == 0; }))
        sumFigures(parts, shared);
    lock.unlock();
    sumFigures(parts, shared);
    for (std::thread &t : threads)
        if (t.joinable())
            t.join();
    return results;
}

// The joined file takes the final name only when nothing holds it.
FetchResult joinPair(const Choice &choice, const std::array<FetchResult, 2> &parts, const FetchJob &job,
                     const QString &finalPath, FetchShared &shared)
{
    if (job.finishing)
        job.finishing();
    const QString joining = QFileInfo(finalPath).dir().filePath(QLatin1Char('.') + QFileInfo(finalPath).fileName() + QStringLiteral(".joining"));
    QFile::remove(joining);
    net::Step error;
    const char *muxer = choice.container == QLatin1String("mp4") ? "mp4" : "matroska";
    const media::Tags tags = media::withCover(job.tags, job.url, shared.cancel.flag());
    const subtitles::Haul haul = subtitlesJoinedIn(choice, job) ? fetchSiteSubtitles(choice.subtitles, job, shared)
                                                                : subtitles::Haul();
    if (!joinFiles({parts[0].placedAt, parts[1].placedAt}, joining, muxer, &error, &shared.cancel.flag(), tags,
                   haul.tracks)) {
        QFile::remove(joining);
        if (shared.cancel.isSet())
            return {net::cancelled()};
        return {net::failedStep(net::Reason::WriteFailed, net::Cause::StepFailed, error)};
    }
    if (QFileInfo::exists(finalPath) || !QFile::rename(joining, finalPath)) { // rename never replaces here
        QFile::remove(joining);
        return {net::fail(net::Reason::WriteFailed, net::Cause::JoinedNameTaken)};
    }
    for (const FetchResult &p : parts)
        QFile::remove(p.placedAt);
    forgetChoice(job.finalPath);
    FetchResult joined{{}, finalPath};
    joined.subtitlesMissed = haul.missed;
    return joined;
}

} // namespace

namespace {

FetchResult fetchChoice(const Choice &choice, const FetchJob &job, FetchShared &shared);

// Sound only: the one format fetched beside the row's name, then its sound
// alone put in place under the name its kind takes.
FetchResult fetchSoundAlone(const Choice &choice, const FetchJob &job, FetchShared &shared)
{
    const Format &format = choice.parts[0];
    const engine::NameClaim claim = engine::NameClaims::claim(job.finalPath, job.takenNames, job.url.toEncoded());
    if (!claim.held())
        return {net::fail(net::Reason::WriteFailed, net::Cause::NoFreeName)};
    const QString part = partPath(claim.path(), format);
    if (job.receiving)
        job.receiving();
    const FetchResult got = alreadyThere(part, format)
                                ? FetchResult({}, part)
                                : fetchFormat(format, partJob(format, job, part, job.connections), shared, true);
    if (!got.ok())
        return got;
    if (job.finishing)
        job.finishing();
    FetchJob placing = job;
    placing.finalPath = claim.path();
    const FetchResult placed = placeSoundAlone(got.placedAt, placing, shared);
    if (placed.ok())
        forgetChoice(job.finalPath);
    return placed;
}

} // namespace

FetchResult runSiteVideoFetch(const Choice &choice, const FetchJob &job, FetchShared &shared, RowReader *reader)
{
    Choice current = choice;
    const QString page = job.url.toString();
    const bool stale = choice.unread || std::any_of(choice.parts.begin(), choice.parts.end(), [](const Format &f) {
                           return hasExpired(f, QDateTime::currentDateTimeUtc());
                       });
    net::Failure why;
    if (choice.unread && !reader)
        return {net::fail(net::Reason::NotTheVideo, net::Cause::NeedsYtDlp)};
    if (reader && stale) {
        const std::optional<Choice> now = renew(current, page, job.finalPath, *reader, shared.cancel.flag(), &why);
        if (!now)
            return {why};
        current = *now;
    }
    FetchResult result = fetchChoice(current, job, shared);
    if (!result.ok() && reader && !stale && saysExpired(result.failure) && !shared.cancel.isSet()) {
        const std::optional<Choice> now = renew(current, page, job.finalPath, *reader, shared.cancel.flag(), &why);
        if (!now)
            return {why};
        current = *now;
        result = fetchChoice(current, job, shared);
    }
    if (!subtitlesJoinedIn(current, job))
        saveSiteSubtitles(current.subtitles, job, shared, &result);
    return result;
}

namespace {

FetchResult fetchChoice(const Choice &choice, const FetchJob &job, FetchShared &shared)
{
    if (choice.parts.isEmpty() || choice.parts.size() > 2)
        return {net::fail(net::Reason::NotTheVideo, net::Cause::NoFormatChosen)};
    if (choice.parts.size() == 1 && streams::QualityChoice::fromKey(choice.quality).sound)
        return fetchSoundAlone(choice, job, shared);
    if (choice.parts.size() == 1) {
        FetchJob one = partJob(choice.parts[0], job, job.finalPath, job.connections);
        one.takenNames = job.takenNames;
        one.receiving = job.receiving;
        one.finishing = job.finishing;
        engine::NameClaim claim; // the file fetch claims its own name; a join needs one here
        if (choice.parts[0].protocol == QLatin1String("http_dash_segments")) {
            claim = engine::NameClaims::claim(job.finalPath, job.takenNames, job.url.toEncoded());
            if (!claim.held())
                return {net::fail(net::Reason::WriteFailed, net::Cause::NoFreeName)};
            one.finalPath = claim.path();
        }
        const FetchResult result = fetchFormat(choice.parts[0], one, shared, false);
        if (result.ok())
            forgetChoice(job.finalPath);
        return result;
    }
    const engine::NameClaim claim = engine::NameClaims::claim(job.finalPath, job.takenNames, job.url.toEncoded());
    if (!claim.held())
        return {net::fail(net::Reason::WriteFailed, net::Cause::NoFreeName)};
    if (const std::optional<net::Failure> full = fitsOnDisk(choice, claim.path()))
        return {*full};
    if (job.receiving)
        job.receiving();
    const std::array<FetchResult, 2> parts = fetchPair(choice, job, claim.path(), shared);
    for (const FetchResult &p : parts)
        if (!p.ok())
            return {shared.cancel.isSet() ? net::cancelled() : p.failure};
    return joinPair(choice, parts, job, claim.path(), shared);
}

} // namespace

} // namespace vidrona::download::sitevideo
