#include "queuerunner.h"
#include "entrystatus.h"
#include "filenames.h"
#include "platform.h"
#include "transfer.h"
#include <QDir>

namespace vidrona {

QueueRunner::QueueRunner(DownloadList &list, Transfer &transfer, const QString &folder,
                         MessageService &messages, QObject *parent)
    : QObject(parent), m_list(list), m_transfer(transfer), m_folder(folder), m_messages(messages)
{
    connect(&m_transfer, &Transfer::finished, this, &QueueRunner::onTransferFinished);
}

QString QueueRunner::failureText()
{
    return QStringLiteral("An error has occured in the file transfer or write.  Please try again later.");
}

void QueueRunner::RunQueue()
{
    if (m_running)
        return;
    m_running = true;
    m_savedThisRun = false;
    m_failedThisRun.clear();
    step();
}

int QueueRunner::nextRow() const
{
    for (int i = 0; i < m_list.count(); ++i) {
        const DownloadEntry &e = m_list.at(i);
        if (status::isToBeFetched(e.status) && !m_failedThisRun.contains(e.id))
            return i;
    }
    return -1;
}

// A loop, not a recursion: rows that fail before any request is made are
// settled here; a started fetch returns to the event loop and continues in
// onTransferFinished.
void QueueRunner::step()
{
    for (;;) {
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
        m_list.setStatus(entry.id, status::Downloading);
        emit fetchStarted(entry.id);
        if (startFetch(entry)) {
            m_runningId = entry.id;
            return;
        }
        reportFailure();
        complete(entry.id, false);
    }
}

// False when the file cannot be fetched at all: its name cannot be a file
// name in the program's folder. Checked before the request, as the body
// goes straight to disk. The file is saved under the name the row shows:
// for a site's row that is the text after the address's last "/"; a file
// found on today's web may carry a name of its own.
bool QueueRunner::startFetch(const DownloadEntry &entry)
{
    const QString &name = entry.fileName;
    const QString &fileUrl = entry.fileUrl;
    if (!platform::isValidFileName(name) || m_reserved.contains(name, Qt::CaseInsensitive))
        return false;
    const QString path = QDir(m_folder).filePath(name);
    return m_transfer.start(QUrl(fileUrl), path);
}

void QueueRunner::onTransferFinished(bool ok, const QString &)
{
    const quint64 id = m_runningId;
    if (id == 0) {
        if (m_waitingForIdle && m_running) {
            m_waitingForIdle = false;
            step();
        }
        return;
    }
    m_runningId = 0;
    if (!ok)
        reportFailure();
    complete(id, ok);
    step();
}

// Whatever the row became meanwhile (CANCELED included), the result decides;
// a row that is gone is left alone.
void QueueRunner::complete(quint64 id, bool ok)
{
    m_list.setStatus(id, ok ? status::Completed : status::Failed);
    if (!ok)
        m_failedThisRun.insert(id);
    emit fetchEnded(id, ok);
    if (m_save)
        m_save();
    m_savedThisRun = true;
}

void QueueRunner::reportFailure()
{
    m_messages.show(failureText(), QString(), MsgInformation);
}

bool QueueRunner::cancelRow(quint64 id)
{
    const int row = m_list.rowOfId(id);
    if (row < 0 || m_list.at(row).status != status::Downloading)
        return false;
    m_list.setStatus(id, status::Canceled);
    if (id == m_runningId)
        m_transfer.Cancel();
    return true;
}

} // namespace vidrona
