#include "queuerunner.h"
#include "retries.h"
#include "entrystatus.h"
#include "filenames.h"
#include "keptbytes.h"
#include "desktop/platform.h"
#include "progress.h"
#include "transfer.h"
#include <QDir>
#include <QFileInfo>

namespace vidrona {

QueueRunner::QueueRunner(DownloadList &list, Transfer &transfer, const QString &folder,
                         MessageService &messages, QObject *parent)
    : QObject(parent), m_list(list), m_transfer(transfer), m_folder(folder), m_messages(messages)
{
    connect(&m_transfer, &Transfer::finished, this, &QueueRunner::onTransferFinished);
    m_progressTimer.setInterval(ProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &QueueRunner::showProgress);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &QueueRunner::retryNow);
    // The exact figures once the body is complete.
    connect(&m_transfer, &Transfer::stateChanged, this, [this](int state) {
        if (state == Transfer::Finishing)
            showProgress();
    });
    connect(&m_list, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { rowsLeaving(first, last); });
}

QString QueueRunner::failureText()
{
    return QStringLiteral("An error has occured in the file transfer or write.  Please try again later.");
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

int QueueRunner::nextRow() const
{
    for (int i = 0; i < m_list.count(); ++i) {
        const DownloadEntry &e = m_list.at(i);
        if (status::isToBeFetched(e.status) && !m_failedThisRun.contains(e.id))
            return i;
        if (e.status == Status::Downloading && m_leftOver.contains(e.id) && e.id != m_runningId)
            return i;
    }
    return -1;
}

namespace {
net::Failure refusedName()
{
    return net::fail(net::Reason::WriteFailed, QStringLiteral("The name cannot be a file name in the download folder"));
}
} // namespace

// A loop, not a recursion: rows that fail before any request is made are
// settled here; a started fetch returns to the event loop and continues in
// onTransferFinished.
void QueueRunner::step()
{
    for (;;) {
        if (m_retryId != 0)
            return; // one row at a time, a waiting one included
        if (m_transfer.StillExecuting()) {
            // Someone else's request: wait for it rather than fail a row.
            m_waitingForIdle = true;
            return;
        }
        const int row = nextRow();
        if (row < 0) {
            if (!m_savedThisRun && m_save)
                m_save();
            m_running = false;
            emit runEnded();
            return;
        }
        const DownloadEntry entry = m_list.at(row);
        m_leftOver.remove(entry.id);
        m_list.setStatus(entry.id, Status::Downloading);
        emit fetchStarted(entry.id);
        if (beginFetch(entry))
            return;
        reportFailure(refusedName());
        complete(entry.id, refusedName());
    }
}

// False when the file cannot be fetched at all: its name cannot be a file
// name in the program's folder. Checked before the request, as the body
// goes straight to disk. The file is saved under the name the row shows:
// for a site's row that is the text after the address's last "/"; a file
// found on today's web may carry a name of its own.
bool QueueRunner::startFetch(const DownloadEntry &entry)
{
    const QString path = targetPathOf(entry);
    QStringList taken = m_reserved; // the other rows' names and the program's own
    for (const DownloadEntry &e : m_list.entries())
        if (e.id != entry.id)
            taken << e.fileName;
    return !path.isEmpty() && m_transfer.start(QUrl(entry.fileUrl), path, taken);
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

void QueueRunner::onTransferFinished(const net::Failure &failure)
{
    const bool ok = !failure.failed();
    const quint64 id = m_runningId;
    if (id == 0) {
        if (m_waitingForIdle && m_running) {
            m_waitingForIdle = false;
            step();
        }
        return;
    }
    m_runningId = 0;
    m_progressTimer.stop();
    const int row = m_list.rowOfId(id);
    // Bytes kept for a row that is gone would never be used.
    if (!ok && row < 0)
        kept::remove(m_runningPath);
    // The user's Cancel is no failure: no word, and the kept bytes stay
    // for the next Start Download.
    const bool cancelled = failure.reason == net::Reason::Cancelled && row >= 0
                           && m_list.at(row).status == Status::Canceled;
    if (ok && !m_transfer.placedAt().isEmpty())
        m_list.setFileName(id, QFileInfo(m_transfer.placedAt()).fileName());
    if (cancelled)
        settleCancelled(id);
    else if (!ok && row >= 0 && retryLater(id, failure))
        return;
    else if (!ok)
        reportFailure(failure);
    if (!cancelled)
        complete(id, failure);
    step();
}

// A row the user cancelled is not fetched again in this run.
void QueueRunner::settleCancelled(quint64 id)
{
    m_list.setProgress(id, QStringLiteral("Cancelled"));
    m_failedThisRun.insert(id);
    emit fetchEnded(id, false);
    if (m_save)
        m_save();
    m_savedThisRun = true;
}

// Whatever the row became meanwhile (CANCELED included), the result decides;
// a row that is gone is left alone. A failed row keeps why in its Progress
// cell, so rows that failed differently read differently.
void QueueRunner::complete(quint64 id, const net::Failure &failure)
{
    const bool ok = !failure.failed();
    m_list.setProgress(id, failure.text);
    m_list.setStatus(id, ok ? Status::Completed : Status::Failed);
    if (!ok)
        m_failedThisRun.insert(id);
    emit fetchEnded(id, ok);
    if (m_save)
        m_save();
    m_savedThisRun = true;
}

// The box's words, and why on a line of their own.
void QueueRunner::reportFailure(const net::Failure &failure)
{
    m_messages.show(failureText() + QStringLiteral("\r\n") + failure.text, QString(), MsgInformation);
}

bool QueueRunner::cancelRow(quint64 id)
{
    const int row = m_list.rowOfId(id);
    if (row < 0 || m_list.at(row).status != Status::Downloading)
        return false;
    m_list.setStatus(id, Status::Canceled);
    if (id == m_runningId)
        m_transfer.Cancel();
    if (id == m_retryId) {
        dropRetry();
        settleCancelled(id);
        step();
    }
    m_leftOver.remove(id);
    return true;
}

void QueueRunner::resumeLeftOver()
{
    for (const DownloadEntry &e : m_list.entries())
        if (e.status == Status::Downloading && e.id != m_runningId)
            m_leftOver.insert(e.id);
}

void QueueRunner::stop()
{
    m_stopped = true;
    m_running = false;
    m_progressTimer.stop();
    dropRetry();
    if (m_runningId != 0)
        m_list.setProgress(m_runningId, QString());
    m_runningId = 0; // its result changes nothing now
    m_transfer.Cancel();
}

void QueueRunner::showProgress()
{
    if (m_runningId == 0 || m_transfer.state() == Transfer::Requesting)
        return;
    const double seconds = m_fetchClock.nsecsElapsed() / 1e9;
    const double speed = seconds > 0 ? m_transfer.bytesFetched() / seconds : 0;
    m_list.setProgress(m_runningId,
                       fetchProgressText(m_transfer.bytesReceived(), m_transfer.bytesTotal(), speed));
    const qint64 total = m_transfer.bytesTotal();
    emit progressed(1, total > 0 ? double(m_transfer.bytesReceived()) / double(total) : 0.0);
}

// Remove and Clean: rows taken away take their kept bytes along, but the
// running fetch keeps its own until it ends.
void QueueRunner::rowsLeaving(int first, int last)
{
    for (int row = first; row <= last && row < m_list.count(); ++row) {
        const DownloadEntry &e = m_list.at(row);
        if (e.id == m_retryId) { // it waits no more; the next row goes on
            dropRetry();
            QMetaObject::invokeMethod(this, &QueueRunner::step, Qt::QueuedConnection);
        }
        const QString path = targetPathOf(e);
        if (!path.isEmpty() && (m_runningId == 0 || path != m_runningPath))
            kept::remove(path);
    }
}

bool QueueRunner::beginFetch(const DownloadEntry &entry)
{
    if (!startFetch(entry))
        return false;
    m_runningId = entry.id;
    m_runningPath = targetPathOf(entry);
    m_fetchClock.start();
    m_progressTimer.start();
    return true;
}

// A passing failure: the row stays DOWNLOADING, says when it is tried
// again, and goes on from its kept bytes then.
bool QueueRunner::retryLater(quint64 id, const net::Failure &failure)
{
    const std::optional<int> wait = retries::waitMs(failure, m_retries.value(id), m_retryDelaysMs);
    if (!wait || m_stopped)
        return false;
    ++m_retries[id];
    m_retryId = id;
    m_list.setProgress(id, retries::waitText(*wait, failure));
    m_retryTimer.start(*wait);
    return true;
}

void QueueRunner::retryNow()
{
    const quint64 id = std::exchange(m_retryId, 0);
    const int row = m_list.rowOfId(id);
    if (m_stopped)
        return;
    if (row >= 0 && m_list.at(row).status == Status::Downloading && !beginFetch(m_list.at(row))) {
        reportFailure(refusedName());
        complete(id, refusedName());
    }
    if (m_runningId == 0)
        step();
}

void QueueRunner::dropRetry()
{
    m_retryTimer.stop();
    m_retryId = 0;
}

} // namespace vidrona
