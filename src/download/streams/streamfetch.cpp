#include "streamfetch.h"
#include "joinparts.h"
#include "mp4joiner.h"
#include "piecefetch.h"
#include "piecefolder.h"
#include "streamplan.h"
#include "download/filewriter.h"
#include "download/piecescheduler.h"
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vidrona::streams {

namespace {

constexpr int PollMs = 50;
constexpr int RecordEveryMs = 1000;
constexpr int MaxConnections = 32;
// A piece's part is shared with an idle connection only when both halves
// keep at least this much: less is not worth a request.
constexpr qint64 MinSplitBytes = 32 << 10;

// What the workers of one fetch share; lock guards scheduler and failure.
struct Run {
    const FetchJob &job;
    FetchShared &shared;
    const StreamPlan &plan;
    const PieceFolder &folder;
    std::mutex lock;
    std::condition_variable ended; // a worker ended
    PieceScheduler scheduler; // hands out the pieces
    PieceScheduler complete;  // the pieces on disk, for the record
    QHash<int, std::shared_ptr<Flight>> flights; // the pieces on their way
    net::Failure failure; // of the first piece that failed
    int working = 0;
    std::atomic<bool> stop{false};
    std::atomic<bool> arrived{false};
    std::atomic<qint64> doneBytes{0}; // of the complete pieces, earlier runs' too

    Run(const FetchJob &j, FetchShared &s, const StreamPlan &p, const PieceFolder &f)
        : job(j), shared(s), plan(p), folder(f), scheduler(p.pieces.size(), 1, 1), complete(p.pieces.size(), 1, 1)
    {
    }
    int total() const { return int(plan.pieces.size()); }
};

// The failure's words name the piece, so the user knows which one.
net::Failure named(net::Failure f, int n, const Run &run)
{
    const QString which = QStringLiteral("piece %1 of %2").arg(n + 1).arg(run.total());
    if (f.reason == net::Reason::Stalled)
        f.text = net::stalledText(run.job.stallTimeoutMs) + QStringLiteral(" for ") + which;
    else if (f.reason == net::Reason::HttpError)
        f.text += QStringLiteral(" for ") + which;
    else if (f.reason != net::Reason::Cancelled)
        f.text = QStringLiteral("%1 (%2)").arg(f.text, which);
    return f;
}

// Share n of piece number, then the piece itself when that share was its last.
net::Failure fetchOne(Run &run, net::HttpClient &client, int number, Flight &flight, int n)
{
    const StreamPiece &p = run.plan.pieces.at(number);
    qint64 written = 0;
    PieceRequest request{p.url, p.range, p.key >= 0 ? run.plan.keys.at(p.key) : QByteArray(), p.iv,
                         run.job.stallTimeoutMs, run.plan.trusted, [&](qint64 bytes) {
                             written += bytes;
                             run.shared.received += bytes;
                             run.shared.fresh += bytes;
                             run.arrived = true;
                         }};
    const QString path = partPath(run.folder.tempPath(number), n);
    net::Failure f = fetchPart(client, request, flight, n, path, run.stop);
    if (!f.failed() && flight.finish(n)) {
        f = completePiece(flight, run.folder.tempPath(number), run.folder.piecePath(number));
        if (!f.failed()) {
            std::lock_guard guard(run.lock);
            run.complete.markDone({number, number + 1});
            run.flights.remove(number);
            run.doneBytes += QFileInfo(run.folder.piecePath(number)).size();
            ++run.shared.piecesDone;
        }
    }
    if (f.failed()) {
        run.shared.received -= written; // those bytes are gone with the piece
        QFile::remove(path);
        return named(f, number, run);
    }
    return {};
}

// What an idle connection does next: a piece nobody has, else a share of
// the piece on its way with the most left; none when neither is there.
struct Task {
    int number = -1;
    std::shared_ptr<Flight> flight;
    int part = 0;
    int worker = 0; // the scheduler's, for a whole piece
};

std::optional<Task> nextTask(Run &run)
{
    if (run.stop)
        return std::nullopt;
    if (const auto a = run.scheduler.take()) {
        const int number = int(a->span.begin);
        const auto flight = std::make_shared<Flight>();
        run.flights.insert(number, flight);
        return Task{number, flight, 0, a->worker};
    }
    int best = -1;
    qint64 most = 0;
    for (auto it = run.flights.cbegin(); it != run.flights.cend(); ++it)
        if (const qint64 left = it.value()->mostLeft(); left > most)
            best = it.key(), most = left;
    const int part = best >= 0 ? run.flights.value(best)->split(MinSplitBytes) : -1;
    if (part < 0)
        return std::nullopt;
    return Task{best, run.flights.value(best), part, 0};
}

// One connection: the next task, until none is left or the fetch stops. A
// connection with nothing to do waits while pieces are on their way: their
// heads may yet make them worth sharing.
void work(Run &run)
{
    net::HttpClient client;
    for (;;) {
        std::optional<Task> task;
        {
            std::unique_lock guard(run.lock);
            while (!(task = nextTask(run)) && !run.stop && !run.flights.isEmpty())
                run.ended.wait_for(guard, std::chrono::milliseconds(PollMs));
        }
        if (!task)
            break;
        const net::Failure f = fetchOne(run, client, task->number, *task->flight, task->part);
        std::lock_guard guard(run.lock);
        if (task->part == 0) {
            if (!f.failed())
                run.scheduler.advance(task->worker, task->number + 1);
            run.scheduler.release(task->worker);
        }
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
        done = run.complete.done();
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
    // Every piece on disk counts, also one the record did not name yet.
    for (const Span &span : run.folder.piecesOnDisk(run.total()))
        for (qint64 n = span.begin; n < span.end; ++n)
            if (const qint64 size = run.folder.pieceSize(int(n)); size >= 0) {
                run.scheduler.markDone({n, n + 1});
                run.complete.markDone({n, n + 1});
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
    // Every connection, even for fewer pieces: they share the last ones.
    const bool missing = run.scheduler.doneUnits() < run.total();
    const int count = missing ? qBound(1, run.job.connections, MaxConnections) : 0;
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
    if (!run.complete.complete())
        return net::fail(net::Reason::BrokenAnswer, QStringLiteral("Not every piece arrived"));
    return {};
}

// Joins the pieces in the folder, then puts the file in place.
// Why the pieces were not joined, in the row's words.
FetchResult joinFailure(const Run &run, JoinFault fault, const QString &error)
{
    // Only pieces that cannot be joined go (kept, the same pieces would
    // fail the same way at every try); a cancel or the disk's fault
    // leaves them for the next try.
    if (fault == JoinFault::Cancelled)
        return {net::fail(net::Reason::Cancelled, QStringLiteral("Cancelled.")), {}};
    if (fault == JoinFault::DiskFull || fault == JoinFault::Output)
        return {FileWriter::failureOf(fault == JoinFault::DiskFull ? platform::FileFault::DiskFull
                                                                   : platform::FileFault::Other, error), {}};
    run.folder.clear(true);
    if (fault == JoinFault::Unjoinable) // the same at every try: never a file with part of the video
        return {net::fail(net::Reason::NotTheVideo, QStringLiteral("The parts of this video are encoded "
                                                                   "differently, so they cannot be joined into "
                                                                   "one file.")), {}};
    return {net::fail(net::Reason::Other, QStringLiteral("The pieces cannot be joined into one video (%1); "
                                                         "the next try fetches them again.").arg(error)), {}};
}

// Joins the pieces in the folder, then puts the file in place; a video
// that had to be cut where its encoding changes becomes "name (part 1)",
// "name (part 2)"..., the row taking the first, so its name says so.
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
    JoinFault fault = JoinFault::None;
    const QStringList parts = joinInParts(inputs, run.plan.runs, run.plan.mayPart, joined, &error,
                                          &run.shared.cancel.flag(), &fault);
    if (parts.isEmpty())
        return joinFailure(run, fault, error);
    const auto taken = [&](const QString &name) { return run.job.takenNames.contains(name, Qt::CaseInsensitive); };
    const QString target = run.plan.soundOnly ? soundOnlyName(run.job.finalPath) : run.job.finalPath;
    QString firstPlaced;
    for (int i = 0; i < parts.size(); ++i) {
        FileWriter writer;
        writer.setCancel(&run.shared.cancel.flag());
        QString placedAt;
        if (!writer.open(parts.at(i), true)
            || !writer.commitTo(parts.size() > 1 ? partName(target, i + 1) : target, taken, &placedAt))
            return {writer.failure()};
        if (i == 0)
            firstPlaced = placedAt;
    }
    run.folder.clear(true);
    return {{}, firstPlaced};
}

} // namespace

FetchResult runStreamFetch(const FetchJob &job, FetchShared &shared, const std::optional<QByteArray> &playlist,
                           const QUrl &from)
{
    shared.total = -1;
    net::HttpClient client;
    const StreamPlan plan = planStream(client, job.url, job.stallTimeoutMs, shared.cancel, playlist, from);
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
