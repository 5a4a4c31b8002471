// The file fetch of a row, on the row's thread: the row's driver moves
// every connection of it through one loop, and a disk queue writes the
// bytes on a thread of its own, so neither the window's thread nor the
// sockets ever wait for the disk. A big file whose server answers ranges
// comes over several connections at once (parts.h).
#include "download/filefetch.h"
#include "diskqueue.h"
#include "driver.h"
#include "parts.h"
#include "rounds.h"
#include "download/answerhead.h"
#include "download/diskspace.h"
#include "download/filewriter.h"
#include "download/keptbytes.h"
#include "download/retries.h"
#include "download/sound/soundfile.h"
#include "download/streams/streamaddress.h"
#include "download/streams/streamfetch.h"
#include "download/streams/streamlimits.h"
#include "download/streams/qualitychoice.h"
#include "nameclaims.h"
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <memory>
#include <optional>

namespace vidrona::download {

using net::HttpHead;
using net::rangeField;

using engine::DiskQueue;
using engine::Parts;
using engine::Rounds;

namespace {

enum class Plan { Undecided, Write, StartOver, Fail, Stream };
constexpr int MaxRounds = 4;      // requests that start over or fall back to one connection
constexpr int SaveEveryMs = 1000; // how often one connection's record is renewed

// One request (redirects followed by the client) and what its answer is for.
struct Attempt : net::Receiver {
    const FetchJob &job;
    FetchShared &shared;
    FileWriter &writer;
    net::Loop &loop;
    std::unique_ptr<DiskQueue> queue; // once the file is open: its bytes go through it
    qint64 kept = 0; // asking for the bytes from here on (with a record)
    qint64 askEnd = -1; // and up to here only, when more parts follow; -1: to the end
    std::optional<kept::Record> record;
    bool oneConnection = false; // never split, whatever the answer
    std::unique_ptr<Parts> split;
    Plan plan = Plan::Undecided;
    net::Failure failure;
    qint64 received = 0;
    qint64 expectedBody = -1;
    QByteArray playlist; // the body, when the answer is a playlist
    QUrl playlistFrom;   // where it came from, redirects followed

    Attempt(const FetchJob &j, FetchShared &sh, FileWriter &w, net::Loop &l) : job(j), shared(sh), writer(w), loop(l) {}
    bool head(const HttpHead &head, const QUrl &url) override;
    bool body(const char *data, qsizetype length) override;
    bool full() const override { return queue && queue->full(); }
    void connecting() override
    {
        if (job.connecting)
            job.connecting();
    }
    void requestSent() override
    {
        if (job.requestSent)
            job.requestSent();
    }
    bool asksRange() const { return record && !record->done.isEmpty(); }
    // One connection: the record naming what it wrote in order from kept.
    kept::Record inOrderRecord() const
    {
        kept::Record r = *record;
        r.done = kept::withSpan(r.done, {kept, kept + received});
        return r;
    }
    bool answersAsked(const kept::AnswerHead &head, qint64 *total) const
    {
        if (askEnd < 0)
            return kept::continues(*record, kept, head, total);
        *total = record->total;
        return kept::answersPart(*record, {kept, askEnd}, head);
    }
    Plan decide(const kept::AnswerHead &head, const HttpHead &raw);
    Plan openFor(const kept::AnswerHead &head, qint64 total);
    bool fits(qint64 length);
    void maybeSplit(qint64 length);
    bool keepInOrder();
    void openQueue()
    {
        queue = std::make_unique<DiskQueue>(writer, [&l = loop] { l.wake(); });
    }
    // Every byte queued is written; false (with the failure) when one was not.
    bool settle()
    {
        if (!queue)
            return true;
        queue->drain();
        if (const net::Failure f = queue->failure(); f.failed())
            return failure = f, plan = Plan::Fail, false;
        return true;
    }
    Plan fail(net::Reason reason, net::Cause cause) { return failWith(net::fail(reason, cause)); }
    Plan failWith(const net::Failure &why)
    {
        failure = why;
        return plan = Plan::Fail;
    }
};

bool Attempt::head(const HttpHead &head, const QUrl &url)
{
    if (job.head && !job.head(head)) {
        fail(net::Reason::Cancelled, net::Cause::Cancelled);
        return false;
    }
    if (head.status >= 200 && head.status <= 299 && answer::isWebPage(head)) {
        fail(net::Reason::NotTheVideo, net::Cause::WebPage);
        return false;
    }
    if (head.status >= 200 && head.status <= 299 && streams::isStreamType(head.value("Content-Type")))
        return playlistFrom = url, plan = Plan::Stream, true; // a playlist: its text goes to the stream planner
    return decide(answer::of(head, url), head) == Plan::Write; // else no body is read
}

// The final answer's head is in: what becomes of its body.
Plan Attempt::decide(const kept::AnswerHead &head, const HttpHead &raw)
{
    const int status = head.status;
    qint64 total = -1;
    if (status == 416 || (status == 206 && !(record && answersAsked(head, &total)))) {
        if (asksRange())
            return plan = Plan::StartOver;
        failure = answer::statusFailure(raw);
        return plan = Plan::Fail;
    }
    if (status < 200 || status > 299) {
        failure = answer::statusFailure(raw);
        return plan = Plan::Fail;
    }
    if (!fits(status == 206 ? total : head.contentLength))
        return plan; // nothing written, the kept bytes untouched
    if (openFor(head, total) != Plan::Write)
        return plan;
    if (job.receiving)
        job.receiving();
    return plan;
}

// Before any byte is written: the file's length must fit on the disk,
// kept bytes counted as there (they are continued or replaced).
bool Attempt::fits(qint64 length)
{
    if (length < 0)
        return true;
    const QString bytes = kept::bytesPath(job.finalPath);
    const qint64 needed = qMax<qint64>(0, length - platform::allocatedBytes(bytes));
    if (const std::optional<net::Failure> full = diskspace::check(QFileInfo(job.finalPath).path(), needed)) {
        failure = *full;
        plan = Plan::Fail;
        return false;
    }
    return true;
}

Plan Attempt::openFor(const kept::AnswerHead &head, qint64 total)
{
    const QString bytes = kept::bytesPath(job.finalPath);
    if (head.status == 206) {
        if (!writer.open(bytes, true, kept))
            return plan = Plan::StartOver;
        openQueue();
        record->total = total;
        expectedBody = total - kept;
    } else {
        // The whole body from its first byte: old kept bytes and their
        // record go first, so the two never describe different versions.
        kept::remove(job.finalPath);
        kept = 0;
        if (!writer.open(bytes, false)) {
            failure = writer.failure();
            return plan = Plan::Fail;
        }
        openQueue();
        record = kept::recordFor(head);
        expectedBody = total = head.contentLength;
    }
    shared.total = total;
    shared.received = kept;
    maybeSplit(total);
    if (!split && askEnd >= 0) // one part of several asked, and nobody for the rest
        return plan = Plan::StartOver;
    if (!split && !keepInOrder())
        return plan;
    writer.reserve(total);
    return plan = Plan::Write;
}

// One connection writes in order from kept to the end: bytes after kept
// that earlier connections left go (this answer brings them again). The
// record names the bytes from kept on only once they are durable (see
// tick and saveInOrder), never ahead of them.
bool Attempt::keepInOrder()
{
    if (!record)
        return true;
    if (!writer.cutHere()) {
        failure = writer.failure();
        plan = Plan::Fail;
        return false;
    }
    kept::Record r = *record;
    QList<Span> before;
    for (const Span &s : std::as_const(r.done))
        if (s.begin < kept)
            before.append({s.begin, qMin(s.end, kept)});
    r.done = before;
    r.doneFrom = -1;
    record = r;
    kept::save(job.finalPath, r); // it names fewer bytes than before, all durable
    return true;
}

// Several connections for a big file of a known version, when allowed.
void Attempt::maybeSplit(qint64 length)
{
    if (oneConnection || job.connections <= 1 || !record || length < Parts::MinFileBytes)
        return;
    split = std::make_unique<Parts>(job, shared, *queue, writer, loop, *record);
    if (!split->start(kept, askEnd < 0))
        split.reset();
}

bool Attempt::body(const char *data, qsizetype length)
{
    if (plan == Plan::Stream) { // read once, never asked for again
        if (playlist.size() + length > streams::MaxPlaylistBytes) {
            fail(net::Reason::TooLarge, net::Cause::PlaylistTooLarge);
            return false;
        }
        playlist.append(data, length);
        return true;
    }
    if (split)
        return split->leadBody(data, length);
    if (expectedBody >= 0 && received + length > expectedBody) { // an answer without a length that goes on
        fail(net::Reason::AnswersDoNotAddUp, net::Cause::MoreThanAnnounced);
        return false;
    }
    if (const net::Failure f = queue->failure(); f.failed()) {
        failure = f;
        plan = Plan::Fail;
        return false;
    }
    queue->put(kept + received, data, length);
    received += length;
    shared.received += length;
    shared.fresh += length;
    return true;
}

// Only what is missing, and only if it is still the version kept.
QList<QByteArray> rangeFields(const Attempt &a)
{
    if (!a.asksRange())
        return {};
    return {rangeField(a.kept, a.askEnd), "If-Range: " + a.record->validator()};
}

// One connection, once a second: what it wrote so far is named once a
// writer thread has synced it, so the socket never waits for the disk.
void saveInOrderLater(Attempt &a, QElapsedTimer &sinceSave)
{
    if (!a.record || !a.queue || a.plan != Plan::Write || sinceSave.elapsed() < SaveEveryMs)
        return;
    sinceSave.restart();
    a.queue->saveAfterSync([path = a.job.finalPath, r = a.inOrderRecord()] { return kept::save(path, r); });
}

// After every step of the row's loop: the parts' turn, a failed disk, and
// connections paused for a full queue going on.
int tick(Attempt &a, int leadId, std::optional<net::Outcome> &lead, QElapsedTimer &sinceSave)
{
    int waitMs = 100;
    if (a.split)
        waitMs = a.split->tick();
    else
        saveInOrderLater(a, sinceSave);
    const bool diskFailed = a.queue && a.queue->failure().failed();
    if (!lead && ((a.split && a.split->stopping()) || diskFailed)) {
        a.loop.drop(leadId); // the others stopped: so does the lead
        lead = net::Outcome{{}, true, true};
        if (a.split)
            a.split->leadEnded({});
    }
    if (a.queue && !a.queue->full())
        a.loop.resumePaused();
    return waitMs;
}

// One request to its end, with the parts it brought: the plan of its last answer.
Plan fetchOnce(engine::Driver &driver, Attempt &a)
{
    net::Request request;
    request.url = a.job.url;
    request.userNamed = true; // an address in the list; its redirects are judged
    request.limit = a.job.speedLimit.get();
    request.fields = a.job.requestFields + rangeFields(a);
    request.cookieFile = a.job.cookieFile;
    request.idleMs = a.job.stallTimeoutMs;
    request.maxRedirects = a.job.maxRedirects;
    if (a.job.connections > 1) // its parts take small buffers too: the row's memory stays bounded
        request.bufferBytes = Parts::PartBufferBytes;
    std::optional<net::Outcome> lead;
    QElapsedTimer sinceSave;
    sinceSave.start();
    const int leadId = driver.loop().start(request, a, [&a, &lead](const net::Outcome &o) {
        lead = o;
        if (a.split)
            a.split->leadEnded(o.failure);
    });
    driver.runUntil([&] { return lead && (!a.split || a.split->ended()); }, [&] { return tick(a, leadId, lead, sinceSave); });
    const net::Outcome out = *lead;
    if (!a.settle() || a.plan == Plan::Fail || a.plan == Plan::StartOver)
        return a.plan;
    if (a.split)
        return a.plan == Plan::Undecided ? Plan::Write : a.plan; // the parts tell the rest
    if (out.failure.failed())
        return a.failWith(out.failure);
    if (a.plan == Plan::Undecided)
        return a.fail(net::Reason::BrokenAnswer, net::Cause::NoAnswer);
    if (a.expectedBody >= 0 && a.received != a.expectedBody)
        return a.failWith(net::Failure::sized(net::Reason::BrokeOff, net::Cause::BodyShort, a.received, a.expectedBody));
    return a.plan;
}

// One connection cut off after its body began: what it wrote is named
// once durable, and the rest is asked for again after the short wait of
// the one retry rule, as a failed part is. False when the failure would
// only repeat, the tries are used up, or Cancel came during the wait.
bool retryInRow(engine::Driver &driver, Attempt &a, Rounds &rounds)
{
    if (!a.queue || a.split || !a.record) // the body never began, or the parts had their own tries
        return false;
    const kept::Record r = a.inOrderRecord();
    if (a.failure.reason == net::Reason::Cancelled) { // see CancelSyncMs
        if (a.writer.syncDataWithin(engine::CancelSyncMs))
            kept::save(a.job.finalPath, r);
        return false;
    }
    if (!kept::saveDurably(a.job.finalPath, r, a.writer))
        return false;
    rounds.record = r;
    const qint64 at = kept::firstMissing(r.done);
    const std::optional<int> wait = retries::waitMs(a.failure, rounds.tries[at]++, engine::PartDelaysMs);
    if (!wait || ++rounds.retried > engine::MaxRetriedRounds)
        return false;
    if (driver.wait(*wait))
        return true;
    a.failure = net::cancelled();
    return false;
}

// The parts of a split fetch ended: the plan for the whole file.
Plan afterSplit(Attempt &a, Rounds &rounds)
{
    switch (a.split->outcome()) {
    case Parts::Outcome::Complete:
        return Plan::Write;
    case Parts::Outcome::OneConnection:
        // The rest on one connection, from the first byte still missing.
        a.split->saveRecord();
        rounds.record = a.split->record();
        rounds.oneConnection = true;
        return Plan::StartOver;
    case Parts::Outcome::Changed:
        // The parts written are of another version: all of it again.
        a.writer.close();
        kept::remove(a.job.finalPath);
        rounds.record.reset();
        rounds.oneConnection = true;
        return Plan::StartOver;
    case Parts::Outcome::Failed:
        break;
    }
    a.split->saveRecord();
    a.failure = a.split->failure();
    return Plan::Fail;
}

// whole: the record naming every byte, written if Cancel leaves the
// closing sync to finish alone, so that the next Start only places the file.
FetchResult place(const FetchJob &job, FileWriter &writer, std::optional<kept::Record> whole = {})
{
    if (whole)
        writer.setAfterSyncLeftAlone([path = job.finalPath, r = *whole] {
            if (QFileInfo::exists(kept::bytesPath(path))) // not removed meanwhile
                kept::save(path, r);
        });
    if (job.finishing)
        job.finishing();
    const auto taken = [&job](const QString &name) { return job.takenNames.contains(name, Qt::CaseInsensitive); };
    QString placedAt;
    if (!writer.commitTo(job.finalPath, taken, &placedAt))
        return {writer.failure()};
    QFile::remove(kept::recordPath(job.finalPath));
    return {{}, placedAt};
}

} // namespace

void initFetching()
{
    net::HttpClient::initOnce();
}

// The fetch itself, once its name is its own.
static FetchResult fetchClaimed(const FetchJob &job, FetchShared &shared);

FetchResult runFetch(const FetchJob &job, FetchShared &shared)
{
    // The name is this fetch's alone while it runs (another fetch of it
    // takes the next free one), kept bytes and pieces included.
    if (job.finalPath.isEmpty())
        return fetchClaimed(job, shared); // nothing is written beside a name
    const engine::NameClaim claim = engine::NameClaims::claim(job.finalPath, job.takenNames, job.url.toEncoded());
    if (!claim.held())
        return {net::fail(net::Reason::WriteFailed, net::Cause::NoFreeName), {}};
    FetchJob own = job;
    own.finalPath = claim.path();
    return fetchClaimed(own, shared);
}

static FetchResult fetchClaimed(const FetchJob &job, FetchShared &shared)
{
    if (streams::isStreamAddress(job.url))
        return streams::runStreamFetch(job, shared);
    if (!job.finalPath.isEmpty() && streams::QualityChoice::fromKey(job.quality).sound && sound::isSingleMp4(job.url))
        return sound::fetchSoundOfFile(job, shared);
    engine::Driver driver(shared.cancel);
    FileWriter writer;
    writer.setCancel(&shared.cancel.flag()); // the closing sync does not hold a Cancel
    qint64 keptLength = 0;
    Rounds rounds;
    // A closing sync that Cancel left to finish alone names its bytes when over.
    FileWriter::awaitSyncLeftAlone(kept::bytesPath(job.finalPath), [&shared] { return shared.cancel.isSet(); });
    rounds.record = kept::load(job.finalPath, &keptLength);
    // Every byte is there (a closing sync was cut short): only placing is left.
    if (rounds.record && rounds.record->total >= 0 && kept::firstMissing(rounds.record->done) >= rounds.record->total
        && writer.open(kept::bytesPath(job.finalPath), true)) {
        shared.total = shared.received = rounds.record->total;
        return place(job, writer);
    }
    for (int round = 0; round < MaxRounds; ++round) {
        Attempt a(job, shared, writer, driver.loop());
        a.record = rounds.record;
        a.kept = rounds.record ? kept::firstMissing(rounds.record->done) : 0;
        a.oneConnection = rounds.oneConnection;
        a.askEnd = engine::partEnd(job, rounds);
        Plan plan = fetchOnce(driver, a);
        const bool wasSplit = bool(a.split);
        if (wasSplit && plan != Plan::Fail)
            plan = afterSplit(a, rounds);
        else if (wasSplit)
            a.split->saveRecord();
        if (plan == Plan::StartOver && (wasSplit || !rounds.startedOver)) {
            if (!wasSplit) {
                // The kept bytes cannot be continued: the whole body again.
                writer.close();
                kept::remove(job.finalPath);
                rounds.record.reset();
                rounds.startedOver = true;
            }
            continue;
        }
        if (plan == Plan::Write)
            return place(job, writer, a.split ? a.split->record() : a.record ? a.inOrderRecord() : std::optional<kept::Record>());
        if (plan == Plan::Fail && !wasSplit && retryInRow(driver, a, rounds)) {
            writer.close();
            --round; // not a round that starts over: bounded by MaxRetriedRounds
            continue;
        }
        writer.close();
        if (plan == Plan::Stream) // bytes kept from a plain fetch of it are of no use
            return kept::remove(job.finalPath), streams::runStreamFetch(job, shared, a.playlist, a.playlistFrom);
        if (!a.record) // bytes that cannot be resumed are not kept
            kept::remove(job.finalPath);
        return {plan == Plan::StartOver ? net::fail(net::Reason::AnswersDoNotAddUp, net::Cause::AnswersDisagree)
                                        : a.failure};
    }
    writer.close();
    return {net::fail(net::Reason::AnswersDoNotAddUp, net::Cause::AnswersDisagree)};
}

} // namespace vidrona::download
