#include "fragments.h"
#include "download/media/cover.h"
#include "download/streams/mp4joiner.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace vidrona::download::sitevideo {

QUrl fragmentUrl(const Format &format, const Fragment &fragment)
{
    if (!fragment.url.isEmpty())
        return QUrl(fragment.url);
    const QUrl path(fragment.path);
    return path.isRelative() ? QUrl(format.fragmentBaseUrl + fragment.path) : path;
}

namespace {

} // namespace

QString fragmentsFolder(const QString &finalPath)
{
    const QFileInfo info(finalPath);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".fragments"));
}

namespace {

QString fragmentPath(const QString &folder, int n)
{
    return QDir(folder).filePath(QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0')));
}

// Workers take the next fragment not yet there until none is left or one fails.
struct Work {
    const Format &format;
    const FetchJob &job;
    FetchShared &shared;
    QString folder;
    std::atomic<int> next{0};
    std::mutex lock;
    net::Failure failure;

    void run()
    {
        for (int n = next++; n < format.fragments.size() && !shared.cancel.isSet(); n = next++) {
            const QString path = fragmentPath(folder, n);
            if (!QFileInfo(path).isFile()) { // a fragment is placed only when whole
                FetchJob one = job;
                one.url = fragmentUrl(format, format.fragments[n]);
                one.finalPath = path;
                one.connections = 1;
                one.takenNames.clear();
                one.receiving = one.finishing = nullptr;
                FetchShared own;
                const FetchResult r = runFetch(one, own);
                if (!r.ok()) {
                    std::lock_guard guard(lock);
                    if (!failure.failed())
                        failure = r.failure;
                    shared.cancel.set(); // the others stop too
                    return;
                }
            }
            ++shared.piecesDone;
        }
    }
};

} // namespace

FetchResult fetchFragments(const Format &format, const FetchJob &job, FetchShared &shared)
{
    const QString folder = fragmentsFolder(job.finalPath);
    if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return {net::fail(net::Reason::WriteFailed, net::Cause::FragmentFolder)};
    shared.piecesTotal = int(format.fragments.size());
    shared.piecesDone = 0;
    Work work{format, job, shared, folder, {}, {}, {}};
    std::vector<std::thread> workers;
    for (int i = 0; i < qBound(1, job.connections, 16); ++i)
        workers.emplace_back([&work] { work.run(); });
    for (std::thread &t : workers)
        t.join();
    if (work.failure.failed())
        return {work.failure};
    if (shared.cancel.isSet())
        return {net::cancelled()};
    QStringList paths;
    for (int n = 0; n < format.fragments.size(); ++n)
        paths << fragmentPath(folder, n);
    net::Step error;
    streams::JoinFault fault = streams::JoinFault::None;
    const QString joined = QDir(folder).filePath(QStringLiteral("joined"));
    QFile::remove(joined);
    // The row's own file when it is this one format (a pair's parts carry none).
    const media::Tags tags = media::withCover(job.tags, job.url, shared.cancel.flag());
    if (!streams::joinToMp4({paths}, joined, &error, &shared.cancel.flag(), &fault, {}, nullptr, tags))
        return {fault == streams::JoinFault::Cancelled ? net::cancelled()
                                                       : net::failedStep(net::Reason::WriteFailed, net::Cause::StepFailed, error)};
    return {{}, joined};
}

} // namespace vidrona::download::sitevideo
