#include "streamfetch.h"
#include "mp4joiner.h"
#include "piecefetch.h"
#include "piecefolder.h"
#include "streamplan.h"
#include "download/filewriter.h"
#include "download/piecescheduler.h"
#include <QElapsedTimer>
#include <QFile>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace vidrona::streams {

namespace {

constexpr int PollMs = 50;
constexpr int RecordEveryMs = 1000;
constexpr int MaxConnections = 32;

// What the workers of one fetch share; lock guards scheduler and failure.
struct Run {
    const FetchJob &job;
    FetchShared &shared;
    const StreamPlan &plan;
    const PieceFolder &folder;
    std::mutex lock;
    std::condition_variable ended; // a worker ended
    PieceScheduler scheduler;
    net::Failure failure; // of the first piece that failed
    int working = 0;
    std::atomic<bool> stop{false};
    std::atomic<bool> arrived{false};
    std::atomic<qint64> doneBytes{0}; // of the complete pieces, earlier runs' too

    Run(const FetchJob &j, FetchShared &s, const StreamPlan &p, const PieceFolder &f)
        : job(j), shared(s), plan(p), folder(f), scheduler(p.pieces.size(), 1, 1)
    {
    }
    int total() const { return int(plan.pieces.size()); }
};

// The failure's words name the piece, so the user knows which one.
net::Failure named(net::Failure f, int n, const Run &run)
{
    const QString which = QStringLiteral("piece %1 of %2").arg(n + 1).arg(run.total());
    if (f.reason == net::Reason::Stalled)
        f.text = QStringLiteral("No data came for %1 seconds for %2").arg(run.job.stallTimeoutMs / 1000.0).arg(which);
    else if (f.reason == net::Reason::HttpError)
        f.text += QStringLiteral(" for ") + which;
    else if (f.reason != net::Reason::Cancelled)
        f.text = QStringLiteral("%1 (%2)").arg(f.text, which);
    return f;
}

net::Failure fetchOne(Run &run, net::HttpClient &client, int n)
{
    const StreamPiece &p = run.plan.pieces.at(n);
    qint64 written = 0;
    PieceRequest request{p.url, p.range, p.key >= 0 ? run.plan.keys.at(p.key) : QByteArray(), p.iv,
                         run.job.stallTimeoutMs, [&](qint64 bytes) {
                             written += bytes;
                             run.shared.received += bytes;
                             run.shared.fresh += bytes;
                             run.arrived = true;
                         }};
    const net::Failure f = fetchPiece(client, request, run.folder.tempPath(n), run.folder.piecePath(n), run.stop);
    if (f.failed()) {
        run.shared.received -= written; // those bytes are gone with the piece
        QFile::remove(run.folder.tempPath(n));
        return named(f, n, run);
    }
    run.doneBytes += written;
    ++run.shared.piecesDone;
    return {};
}

// One connection: the next missing piece, until none is left or the fetch stops.
void work(Run &run)
{
    net::HttpClient client;
    for (;;) {
        std::optional<PieceScheduler::Assignment> a;
        {
            std::lock_guard guard(run.lock);
            if (!run.stop)
                a = run.scheduler.take();
        }
        if (!a)
            break;
        const int n = int(a->span.begin);
        const net::Failure f = fetchOne(run, client, n);
        std::lock_guard guard(run.lock);
        if (!f.failed())
            run.scheduler.advance(a->worker, n + 1);
        run.scheduler.release(a->worker);
        if (f.failed() && !run.failure.failed()) {
            run.failure = f;
            run.stop = true;
        }
    }
    std::lock_guard guard(run.lock);
    --run.working;
    run.ended.notify_all();
}

void saveRecord(Run &run)
{
    QList<Span> done;
    {
        std::lock_guard guard(run.lock);
        done = run.scheduler.done();
    }
    run.folder.save({run.job.url.toEncoded(), run.plan.digest, run.total(), done});
}

// The pieces an earlier run left, when they belong to the same playlist;
// otherwise the folder is emptied and everything is fetched again.
void takeUpKept(Run &run)
{
    const std::optional<PieceRecord> record = run.folder.load();
    if (!record || record->address != run.job.url.toEncoded() || record->digest != run.plan.digest
        || record->pieces != run.total()) {
        run.folder.clear(false);
        saveRecord(run);
        return;
    }
    for (const Span &span : record->done)
        for (qint64 n = span.begin; n < span.end; ++n)
            if (const qint64 size = run.folder.pieceSize(int(n)); size >= 0) {
                run.scheduler.markDone({n, n + 1});
                run.doneBytes += size;
            }
}

// While the workers run: cancel, the record, the progress figures.
void watch(Run &run, QElapsedTimer &sinceRecord, bool &told)
{
    if (run.shared.cancel)
        run.stop = true;
    if (!told && run.arrived && run.job.receiving) {
        told = true;
        run.job.receiving();
    }
    if (sinceRecord.elapsed() >= RecordEveryMs) {
        saveRecord(run);
        sinceRecord.restart();
    }
    // The total from the pieces so far, as if the rest were as large.
    const int done = run.shared.piecesDone;
    if (done > 0)
        run.shared.total = qMax<qint64>(run.shared.received, run.doneBytes / done * run.total());
}

net::Failure fetchAll(Run &run)
{
    const qint64 missing = run.total() - run.scheduler.doneUnits();
    const int count = int(qMin<qint64>(qBound(1, run.job.connections, MaxConnections), missing));
    run.working = count;
    std::vector<std::thread> workers;
    for (int i = 0; i < count; ++i)
        workers.emplace_back(work, std::ref(run));
    QElapsedTimer sinceRecord;
    sinceRecord.start();
    bool told = false;
    for (bool running = count > 0; running;) {
        watch(run, sinceRecord, told);
        std::unique_lock guard(run.lock);
        running = !run.ended.wait_for(guard, std::chrono::milliseconds(PollMs), [&] { return run.working == 0; });
    }
    for (std::thread &w : workers)
        w.join();
    saveRecord(run);
    if (!told && run.job.receiving && !run.shared.cancel)
        run.job.receiving(); // every piece was there already
    if (run.shared.cancel)
        return net::fail(net::Reason::Cancelled, QStringLiteral("Cancelled."));
    if (run.failure.failed())
        return run.failure;
    if (!run.scheduler.complete())
        return net::fail(net::Reason::BrokenAnswer, QStringLiteral("Not every piece arrived"));
    return {};
}

// Joins the pieces in the folder, then puts the file in place.
FetchResult joinAndPlace(const Run &run)
{
    QList<QStringList> inputs;
    for (const QList<int> &track : run.plan.tracks) {
        QStringList paths;
        for (int n : track)
            paths << run.folder.piecePath(n);
        inputs << paths;
    }
    const QString joined = run.folder.joinedPath();
    QFile::remove(joined);
    QString error;
    if (!joinToMp4(inputs, joined, &error))
        return {net::fail(net::Reason::Other, QStringLiteral("The pieces cannot be joined into one video: ") + error)};
    FileWriter writer;
    const auto taken = [&](const QString &name) { return run.job.takenNames.contains(name, Qt::CaseInsensitive); };
    QString placedAt;
    if (!writer.open(joined, true) || !writer.commitTo(run.job.finalPath, taken, &placedAt))
        return {writer.failure()};
    run.folder.clear(true);
    return {{}, placedAt};
}

} // namespace

FetchResult runStreamFetch(const FetchJob &job, FetchShared &shared)
{
    shared.total = -1;
    net::HttpClient client;
    const StreamPlan plan = planStream(client, job.url, job.stallTimeoutMs, shared.cancel);
    if (plan.failure.failed())
        return {plan.failure};
    const PieceFolder folder(job.finalPath);
    QString error;
    if (!folder.make(&error))
        return {net::fail(net::Reason::WriteFailed, error)};
    Run run(job, shared, plan, folder);
    takeUpKept(run);
    shared.piecesTotal = run.total();
    shared.piecesDone = int(run.scheduler.doneUnits());
    shared.received = run.doneBytes.load();
    shared.fresh = 0;
    if (const net::Failure f = fetchAll(run); f.failed())
        return {f};
    if (job.finishing)
        job.finishing();
    return joinAndPlace(run);
}

} // namespace vidrona::streams
