#include "queuerunner.h"
#include "retries.h"
#include "entrystatus.h"
#include "filenames.h"
#include "keptbytes.h"
#include "streams/qualitychoice.h"
#include "platform/platform.h"
#include "sitevideo/sitefetch.h"
#include "streams/piecefolder.h"
#include "transfer.h"
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace vidrona::download {

using service::RowProgress;

QueueRunner::QueueRunner(DownloadList &list, const QString &folder, QObject *parent)
    : QObject(parent), m_list(list), m_stallTimeoutMs(Transfer::DefaultStallTimeoutMs), m_folder(folder)
{
    qRegisterMetaType<vidrona::download::service::RowProgress>();
    qRegisterMetaType<vidrona::net::Failure>();
    addSlot();
    m_progressTimer.setInterval(ProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, qOverload<>(&QueueRunner::showProgress));
    connect(&m_list, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { rowsLeaving(first, last); });
}

QueueRunner::~QueueRunner() = default;

QueueRunner::Slot &QueueRunner::addSlot()
{
    m_slots.push_back(std::make_unique<Slot>());
    Slot &slot = *m_slots.back();
    auto *transfer = new Transfer(this);
    transfer->setStallTimeout(m_stallTimeoutMs);
    transfer->setSpeedLimit(m_limit);
    slot.transfer = transfer;
    slot.retryTimer = new QTimer(this);
    slot.retryTimer->setSingleShot(true);
    connect(slot.retryTimer, &QTimer::timeout, this, [this, &slot] { retryNow(slot); });
    connect(transfer, &Transfer::finished, this,
            [this, &slot](const net::Failure &failure) { onTransferFinished(slot, failure); });
    // The exact figures once the body is complete.
    connect(transfer, &Transfer::stateChanged, this, [this](int state) {
        if (state == Transfer::Finishing)
            showProgress();
    });
    return slot;
}

void QueueRunner::setSimultaneous(int rows)
{
    m_simultaneous = qBound(1, rows, MaxSimultaneous);
    while (int(m_slots.size()) < m_simultaneous)
        addSlot();
    if (m_running) // more room: the next rows start now
        QMetaObject::invokeMethod(this, &QueueRunner::step, Qt::QueuedConnection);
}

QList<quint64> QueueRunner::runningIds() const
{
    QList<quint64> ids;
    for (const auto &slot : m_slots)
        if (slot->id != 0)
            ids << slot->id;
    return ids;
}

void QueueRunner::setSpeedLimit(std::shared_ptr<net::SpeedLimit> limit)
{
    m_limit = std::move(limit);
    for (const auto &slot : m_slots)
        slot->transfer->setSpeedLimit(m_limit);
}

void QueueRunner::setStallTimeout(int ms)
{
    m_stallTimeoutMs = ms;
    for (const auto &slot : m_slots)
        slot->transfer->setStallTimeout(ms);
}

void QueueRunner::RunQueue()
{
    if (m_running || m_stopped)
        return;
    m_running = true;
    m_savedThisRun = false;
    m_failedThisRun.clear();
    m_retries.clear();
    step();
}

QueueRunner::Slot *QueueRunner::slotOf(quint64 id)
{
    for (const auto &slot : m_slots)
        if (slot->id == id || slot->retryId == id)
            return slot.get();
    return nullptr;
}

bool QueueRunner::isBusy(quint64 id) const
{
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [id](const auto &slot) { return slot->id == id || slot->retryId == id; });
}

bool QueueRunner::fetching() const
{
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [](const auto &slot) { return slot->transfer->StillExecuting(); });
}

bool QueueRunner::anyBusy() const
{
    return std::any_of(m_slots.begin(), m_slots.end(), [](const auto &slot) { return slot->busy(); });
}

// A slot that may start a row now, among the first m_simultaneous.
QueueRunner::Slot *QueueRunner::freeSlot()
{
    for (int i = 0; i < m_simultaneous && i < int(m_slots.size()); ++i) {
        Slot &slot = *m_slots[i];
        if (!slot.busy() && !slot.transfer->StillExecuting())
            return &slot;
    }
    return nullptr;
}

int QueueRunner::nextRow() const
{
    for (int i = 0; i < m_list.count(); ++i) {
        const DownloadEntry &e = m_list.at(i);
        if (isBusy(e.id))
            continue;
        if (status::isToBeFetched(e.status) && !m_failedThisRun.contains(e.id))
            return i;
        if (e.status == Status::Downloading && m_leftOver.contains(e.id))
            return i;
    }
    return -1;
}

namespace {
// What a row's interrupted fetches kept: a file's bytes and record, or a
// stream's folder of pieces.
void dropKept(const QString &finalPath)
{
    kept::remove(finalPath);
    streams::PieceFolder(finalPath).clear(true);
    sitevideo::dropChoice(finalPath);
}

net::Failure refusedName()
{
    return net::fail(net::Reason::WriteFailed, net::Cause::NameRefused);
}
} // namespace

// A loop, not a recursion: rows that fail before any request is made are
// settled here; a started fetch returns to the event loop and continues in
// onTransferFinished. A run ends when no row is left and no slot is busy.
void QueueRunner::step()
{
    while (m_running) {
        Slot *slot = freeSlot();
        const int row = slot ? nextRow() : -1;
        if (row < 0) {
            if (!anyBusy())
                endRun();
            return;
        }
        const DownloadEntry entry = m_list.at(row);
        m_leftOver.remove(entry.id);
        m_list.setStatus(entry.id, Status::Downloading);
        emit fetchStarted(entry.id);
        if (beginFetch(*slot, entry))
            continue;
        complete(entry.id, refusedName());
    }
}

void QueueRunner::endRun()
{
    if (!m_savedThisRun && m_save)
        m_save();
    m_running = false;
    m_progressTimer.stop();
    emit runEnded();
}

// False when the file cannot be fetched at all: its name cannot be a file
// name in the program's folder. Checked before the request, as the body
// goes straight to disk. The file is saved under the name the row shows:
// for a site's row that is the text after the address's last "/"; a file
// found on today's web may carry a name of its own.
bool QueueRunner::startFetch(Slot &slot, const DownloadEntry &entry)
{
    const QString path = targetPathOf(entry);
    QStringList taken = m_reserved; // the other rows' names and the program's own
    for (const DownloadEntry &e : m_list.entries())
        if (e.id != entry.id)
            taken << e.fileName;
    slot.transfer->setConnections(m_connections);
    QList<QByteArray> fields;
    QString cookieFile;
    if (m_extrasOf)
        m_extrasOf(entry, &fields, &cookieFile);
    slot.transfer->setRequestExtras(fields, cookieFile);
    slot.transfer->setTags(m_tagsOf ? m_tagsOf(entry) : media::Tags());
    // A page whose formats yt-dlp chose: those are fetched, not the page.
    if (!path.isEmpty())
        slot.transfer->setSiteVideo(sitevideo::keptChoiceText(path));
    slot.transfer->setRowReader(m_rowReader);
    // A stream row's name tells which of its qualities it was added with.
    slot.transfer->setQuality(streams::choiceInName(entry.fileName).key());
    slot.transfer->setMp3Quality(m_mp3Quality);
    // The languages asked for when the row was added win over the settings'.
    const QStringList asked = m_subtitlesOf ? m_subtitlesOf(entry) : QStringList();
    slot.transfer->setSubtitles(asked.isEmpty() ? m_subtitles : asked, m_subtitlesInside);
    return !path.isEmpty() && slot.transfer->start(QUrl(entry.fileUrl), path, taken);
}

// Empty when the name cannot be a file name there, or is one of the
// program's own (the list, the executable, kept bytes).
QString QueueRunner::targetPathOf(const DownloadEntry &entry) const
{
    const QString &name = entry.fileName;
    if (!platform::isValidFileName(name) || m_reserved.contains(name, Qt::CaseInsensitive)
        || kept::isKeptName(name))
        return QString();
    return QDir(m_folder).filePath(name);
}

void QueueRunner::onTransferFinished(Slot &slot, const net::Failure &failure)
{
    const quint64 id = std::exchange(slot.id, 0);
    if (id == 0) // stopped: its result changes nothing
        return;
    if (!anyBusy())
        m_progressTimer.stop();
    settle(slot, id, failure);
    if (m_running)
        step();
}

// What a fetch's end makes of its row.
void QueueRunner::settle(Slot &slot, quint64 id, const net::Failure &failure)
{
    const bool ok = !failure.failed();
    const int row = m_list.rowOfId(id);
    // Bytes kept for a row that is gone would never be used.
    if (!ok && row < 0)
        dropKept(slot.path);
    // The user's Cancel is no failure: no word, and the kept bytes stay
    // for the next Start Download.
    const bool cancelled = failure.reason == net::Reason::Cancelled && row >= 0
                           && m_list.at(row).status == Status::Canceled;
    if (ok && !slot.transfer->placedAt().isEmpty())
        m_list.setFileName(id, QFileInfo(slot.transfer->placedAt()).fileName());
    if (cancelled)
        return settleCancelled(id);
    if (!ok && row >= 0 && retryLater(slot, id, failure))
        return;
    const QList<SubtitleMiss> missed = ok ? slot.transfer->subtitlesMissed() : QList<SubtitleMiss>();
    complete(id, failure);
    if (!missed.isEmpty())
        emit subtitlesMissed(id, missed);
}

// A row the user cancelled is not fetched again in this run.
// The list is saved before anyone hears of the end: a listener that holds
// the user (a box) holds nothing that is not on disk already.
void QueueRunner::settleCancelled(quint64 id)
{
    m_failedThisRun.insert(id);
    if (m_save)
        m_save();
    m_savedThisRun = true;
    emit fetchEnded(id, net::cancelled());
}

// Whatever the row became meanwhile (CANCELED included), the result decides;
// a row that is gone is left alone.
void QueueRunner::complete(quint64 id, const net::Failure &failure)
{
    const bool ok = !failure.failed();
    m_list.setStatus(id, ok ? Status::Completed : Status::Failed);
    if (!ok)
        m_failedThisRun.insert(id);
    if (m_save)
        m_save();
    m_savedThisRun = true;
    emit fetchEnded(id, failure);
}

bool QueueRunner::cancelRow(quint64 id)
{
    const int row = m_list.rowOfId(id);
    if (row < 0 || m_list.at(row).status != Status::Downloading)
        return false;
    m_list.setStatus(id, Status::Canceled);
    m_leftOver.remove(id);
    Slot *slot = slotOf(id);
    if (slot && slot->id == id)
        slot->transfer->Cancel();
    if (slot && slot->retryId == id) {
        dropRetry(*slot);
        settleCancelled(id);
        step();
    }
    return true;
}

void QueueRunner::resumeLeftOver()
{
    for (const DownloadEntry &e : m_list.entries())
        if (e.status == Status::Downloading && !isBusy(e.id))
            m_leftOver.insert(e.id);
}

void QueueRunner::stop()
{
    m_stopped = true;
    m_running = false;
    m_progressTimer.stop();
    for (const auto &slot : m_slots) {
        dropRetry(*slot);
        slot->id = 0; // its result changes nothing now
        slot->transfer->Cancel();
    }
}

void QueueRunner::showProgress()
{
    qint64 received = 0;
    qint64 total = 0;
    int running = 0;
    for (const auto &slot : m_slots) {
        if (slot->id == 0 || slot->transfer->state() == Transfer::Requesting)
            continue;
        showProgress(*slot, &received, &total);
        ++running;
    }
    if (running > 0)
        emit progressed(running, total > 0 ? double(received) / double(total) : 0.0);
}

// One row's figures; adds its bytes to the sums of all rows.
void QueueRunner::showProgress(Slot &slot, qint64 *received, qint64 *total)
{
    const Transfer &t = *slot.transfer;
    const double seconds = slot.clock.nsecsElapsed() / 1e9;
    RowProgress p;
    p.bytes = t.bytesReceived();
    p.total = t.bytesTotal();
    p.bytesPerSecond = seconds > 0 ? t.bytesFetched() / seconds : 0;
    p.piecesDone = t.piecesDone();
    p.piecesTotal = t.piecesTotal();
    p.encodedPermille = t.encodedPermille();
    emit rowProgressed(slot.id, p);
    if (t.piecesTotal() > 0) { // a stream's share counts by pieces
        *received += t.piecesDone();
        *total += t.piecesTotal();
    } else if (t.bytesTotal() > 0) {
        *received += t.bytesReceived();
        *total += t.bytesTotal();
    }
}

// Remove and Clean: rows taken away take their kept bytes along, but a
// running fetch keeps its own until it ends.
void QueueRunner::rowsLeaving(int first, int last)
{
    for (int row = first; row <= last && row < m_list.count(); ++row) {
        const DownloadEntry &e = m_list.at(row);
        Slot *slot = slotOf(e.id);
        if (slot && slot->retryId == e.id) { // it waits no more; the next row goes on
            dropRetry(*slot);
            QMetaObject::invokeMethod(this, &QueueRunner::step, Qt::QueuedConnection);
        }
        const QString path = targetPathOf(e);
        const bool running = std::any_of(m_slots.begin(), m_slots.end(),
                                         [&path](const auto &s) { return s->id != 0 && s->path == path; });
        if (!path.isEmpty() && !running)
            dropKept(path);
    }
}

bool QueueRunner::beginFetch(Slot &slot, const DownloadEntry &entry)
{
    if (!startFetch(slot, entry))
        return false;
    slot.id = entry.id;
    slot.path = targetPathOf(entry);
    slot.clock.start();
    m_progressTimer.start();
    return true;
}

// A passing failure: the row stays DOWNLOADING, says when it is tried
// again, and goes on from its kept bytes then, on the same slot.
bool QueueRunner::retryLater(Slot &slot, quint64 id, const net::Failure &failure)
{
    const std::optional<int> wait = retries::waitMs(failure, m_retries.value(id), m_retryDelaysMs);
    if (!wait || m_stopped)
        return false;
    ++m_retries[id];
    slot.retryId = id;
    slot.retryTimer->start(*wait);
    emit rowRetrying(id, *wait, failure);
    return true;
}

void QueueRunner::retryNow(Slot &slot)
{
    const quint64 id = std::exchange(slot.retryId, 0);
    const int row = m_list.rowOfId(id);
    if (m_stopped)
        return;
    if (row >= 0 && m_list.at(row).status == Status::Downloading && !beginFetch(slot, m_list.at(row)))
        complete(id, refusedName());
    if (slot.id == 0)
        step();
}

void QueueRunner::dropRetry(Slot &slot)
{
    slot.retryTimer->stop();
    slot.retryId = 0;
}

} // namespace vidrona::download
