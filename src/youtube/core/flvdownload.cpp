#include "flvdownload.h"
#include "httptransfer.h"
#include "main/core/platform.h"
#include "pageparse.h"
#include "transfertext.h"
#include <QDir>
#include <QPointer>

namespace vidrona::youtube {

FlvDownload::FlvDownload(HttpTransfer *inet, FlvDownloadView *view, QObject *parent)
    : QObject(parent), m_inet(inet), m_view(view)
{
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &FlvDownload::copySlice);
    connect(m_inet, &HttpTransfer::done, this, [this] {
        if (m_phase == Phase::Waiting)
            afterWait(false);
    });
    connect(m_inet, &HttpTransfer::arrived, this, &FlvDownload::onArrived);
}

FlvDownload::~FlvDownload()
{
    abandon();
}

void FlvDownload::start(const QString &link, const QString &fileName, const QString &folder)
{
    m_name = fileName;
    m_folder = folder;
    m_size = m_remaining = 0;
    m_progressPending = false;
    m_lastShown.invalidate();
    m_phase = Phase::Waiting;
    m_view->setStatusText(QStringLiteral("Downloading: ") + fileName);
    if (!m_inet->Execute(trimBlanks(link)))
        fail(m_inet->errorString());
}

void FlvDownload::checkCancel()
{
    if (!m_view->cancelRequested())
        return;
    if (m_phase == Phase::Waiting) {
        m_inet->Cancel();
        afterWait(true);
    } else if (m_phase == Phase::Copying) {
        m_slice.stop();
        copySlice(); // its first test sees the request
    }
}

void FlvDownload::abandon()
{
    m_phase = Phase::Idle;
    m_slice.stop();
    if (m_inet) {
        m_inet->Cancel();
        m_inet->release();
    }
    if (m_file.isOpen())
        m_file.write(m_out); // the steps done stay; no one is left to hear of a failure
    closeFile();
}

void FlvDownload::onArrived(qint64 received)
{
    if (m_phase != Phase::Waiting)
        return;
    const auto size = parseContentLength(m_inet->GetHeader("Content-Length"));
    if (!size || *size == 0)
        return;
    if (m_lastShown.isValid() && m_lastShown.elapsed() < RefreshMs)
        return;
    m_lastShown.start();
    m_view->showArrival(percentDone(qMin<qint64>(received, *size), *size));
}

void FlvDownload::afterWait(bool cancelled)
{
    m_phase = Phase::Copying;
    m_name = cleanFileName(m_name);
    m_view->setFileName(m_name);
    if (!cancelled && m_inet->failed())
        return fail(m_inet->errorString());
    const auto size = parseContentLength(m_inet->GetHeader("Content-Length"));
    if (!size && cancelled) {
        // Stopped before the answer's head came: nothing to size.
        if (openFile())
            stopByUser();
        return;
    }
    if (!size)
        return fail(QStringLiteral("The answer has no usable Content-Length."));
    m_size = m_remaining = *size;
    m_view->setSizeText(sizeText(m_size));
    if (!cancelled && m_inet->bytesReceived() < m_size)
        return fail(QStringLiteral("The connection closed after %1 of %2 bytes.")
                        .arg(m_inet->bytesReceived()).arg(m_size));
    if (openFile())
        copySlice();
}

bool FlvDownload::openFile()
{
    const QString name = m_name + fileExtension(m_view->useMp4() ? Quality::HighMp4 : Quality::Low);
    // The same rule on every platform as on the program's home one.
    if (!platform::isValidFileName(name)) {
        fail(QStringLiteral("Bad file name: ") + name);
        return false;
    }
    m_file.setFileName(QDir(m_folder).filePath(name));
    m_in.clear();
    m_inPos = 0;
    m_taken = 0;
    m_out.resize(0);
    // Cut to the new length: an older, longer file must not leave its tail.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        fail(m_file.errorString());
        return false;
    }
    return true;
}

void FlvDownload::copySlice()
{
    QElapsedTimer slice;
    slice.start();
    while (m_phase == Phase::Copying) {
        if (m_remaining == 0)
            return complete();
        if (m_view->cancelRequested())
            return stopByUser();
        if (!copyStep())
            return;
        if (slice.elapsed() >= SliceMs)
            return m_slice.start(); // let the window paint and take clicks
    }
}

bool FlvDownload::copyStep()
{
    const qint32 want = m_remaining <= 1024 ? m_remaining : 1024;
    const QByteArrayView chunk = takeChunk(want);
    m_remaining -= want;
    m_progress.done = m_size - m_remaining;
    m_progress.left = m_size - m_progress.done;
    m_progress.percent = percentDone(m_progress.done, m_size);
    m_progressPending = true;
    showDue(false);
    if (chunk.size() != want) {
        fail(QStringLiteral("Reading the received data failed."));
        return false;
    }
    m_out.append(chunk);
    return m_out.size() < Block || writeOut();
}

QByteArrayView FlvDownload::takeChunk(qint32 want)
{
    if (m_inPos + want > m_in.size()) {
        // Never past the announced length: bytes beyond it are not read.
        const qint64 more = qMin<qint64>(Block, m_size - m_taken);
        m_in = m_in.mid(m_inPos) + m_inet->GetChunk(more);
        m_taken += more;
        m_inPos = 0;
    }
    const qsizetype n = qMin<qsizetype>(want, m_in.size() - m_inPos);
    const QByteArrayView chunk(m_in.constData() + m_inPos, n);
    m_inPos += n;
    return chunk;
}

bool FlvDownload::writeOut()
{
    if (m_out.isEmpty())
        return true;
    const bool ok = m_file.write(m_out) == m_out.size();
    m_out.resize(0); // keeps its room for the next block
    if (!ok)
        fail(m_file.errorString());
    return ok;
}

void FlvDownload::closeFile()
{
    if (m_file.isOpen())
        m_file.close();
    m_in.clear();
    m_out.clear();
}

void FlvDownload::showDue(bool force)
{
    if (!m_progressPending)
        return;
    if (!force && m_lastShown.isValid() && m_lastShown.elapsed() < RefreshMs)
        return;
    m_lastShown.start();
    m_progressPending = false;
    m_view->showProgress(m_progress);
}

void FlvDownload::complete()
{
    showDue(true);
    if (!writeOut())
        return;
    closeFile();
    m_view->setStatusText(QStringLiteral("File downloaded"));
    m_view->enableDownload();
    end(Outcome::Downloaded);
}

void FlvDownload::stopByUser()
{
    showDue(true);
    m_inet->Cancel();
    if (m_file.isOpen() && writeOut()) // the steps done stay on disk
        closeFile();
    if (m_phase == Phase::Idle)
        return; // writing them failed, and said so
    m_view->setStatusText(QStringLiteral("Video Download Stoped By User"));
    end(Outcome::Stopped);
}

void FlvDownload::fail(const QString &description)
{
    showDue(true);
    m_phase = Phase::Idle;
    closeFile();
    m_slice.stop();
    m_inet->release();
    // The message box lets events run; the window may be gone after it.
    QPointer<FlvDownload> self(this);
    m_view->showMessage(errorMessage(description, true));
    if (!self)
        return;
    m_view->setStatusText(QStringLiteral("Idle!"));
    m_view->enableDownload();
    emit finished(Outcome::Failed);
}

void FlvDownload::end(Outcome outcome)
{
    m_phase = Phase::Idle;
    m_slice.stop();
    m_inet->release();
    emit finished(outcome);
}

} // namespace vidrona::youtube
