#include "flvdownload.h"
#include "httptransfer.h"
#include "platform/platform.h"
#include "transfertext.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

namespace vidrona::download::youtube {

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

// Nothing of this version reads such a spool; one left by a crash is of
// no use to anyone. Done at every start of a download too.
void removeOldSpools(const QString &folder)
{
    const QDir dir(folder);
    const QStringList spools = dir.entryList({QStringLiteral(".vidrona-*.part")},
                                             QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : spools)
        QFile::remove(dir.filePath(name)); // a link goes, never what it points to
}

void FlvDownload::start(const QString &link, const QString &fileName, const QString &folder)
{
    removeOldSpools(folder);
    m_name = fileName;
    m_folder = folder;
    // Named now: the body goes beside the file while it arrives, and a
    // second download of the same name goes on from what an interrupted
    // one left there.
    m_extension = m_view->useMp4() ? QStringLiteral(".mp4") : QStringLiteral(".flv");
    const QString name = cleanFileName(fileName) + m_extension;
    m_path = QDir(folder).filePath(name);
    // The same rule on every platform as on the program's home one. A name
    // it refuses is said once the answer is in; its body is not taken.
    m_named = platform::isValidFileName(name);
    m_size = m_remaining = 0;
    m_progressPending = false;
    m_lastShown.invalidate();
    m_phase = Phase::Waiting;
    m_view->showState(FlvState::Downloading, fileName);
    if (!m_inet->Execute(trimBlanks(link), m_path, m_named))
        failTransfer();
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
}

void FlvDownload::onArrived(qint64 received)
{
    if (m_phase != Phase::Waiting)
        return;
    const qint64 size = m_inet->bytesTotal();
    if (size <= 0)
        return;
    if (m_lastShown.isValid() && m_lastShown.elapsed() < RefreshMs)
        return;
    m_lastShown.start();
    m_view->showArrival(percentDone(qMin(received, size), size));
}

void FlvDownload::afterWait(bool cancelled)
{
    m_phase = Phase::Copying;
    m_name = cleanFileName(m_name);
    m_view->setFileName(m_name);
    if (!cancelled && m_inet->failed())
        return failTransfer();
    const qint64 size = m_inet->bytesTotal();
    if (size < 0 && cancelled) {
        // Stopped before the answer's head came: nothing to size.
        if (placeFile())
            stopByUser();
        return;
    }
    if (size < 0)
        return fail({FlvFailure::Kind::NoLength});
    m_size = m_remaining = size;
    m_view->showSize(m_size);
    if (!cancelled && m_named && m_inet->bytesReceived() < m_size)
        return fail({FlvFailure::Kind::ClosedEarly, {}, m_inet->bytesReceived(), m_size});
    if (placeFile())
        copySlice(); // a stop is seen by its first test
}

// The file under its final name: the fetch put the complete body there
// already, under the next free name when a file it did not write held the
// wanted one (the window shows the name used). A stopped wait leaves no
// file and touches none: the bytes so far stay kept beside the name when
// the next download can go on from them.
bool FlvDownload::placeFile()
{
    if (!m_named) {
        fail({FlvFailure::Kind::BadName, {}, 0, 0, QFileInfo(m_path).fileName()});
        return false;
    }
    if (m_inet->failed() || m_inet->filePath() == m_path)
        return true;
    m_path = m_inet->filePath();
    const QString used = QFileInfo(m_path).fileName();
    m_name = used.left(used.size() - m_extension.size());
    m_view->setFileName(m_name);
    return true;
}

void FlvDownload::copySlice()
{
    QElapsedTimer slice;
    slice.start();
    while (m_phase == Phase::Copying) {
        // The clock is read once per run of steps, not at every step.
        for (int n = 0; n < StepsPerClockRead; ++n) {
            if (m_remaining == 0)
                return complete();
            if (m_view->cancelRequested())
                return stopByUser();
            step();
        }
        showDue(false);
        if (slice.elapsed() >= SliceMs)
            return m_slice.start(); // let the window paint and take clicks
    }
}

// One 1024-byte step of the file: its bytes are in place already, so a
// step only counts. A stop leaves the complete file: the final name only
// ever holds the whole video, never a part of it.
void FlvDownload::step()
{
    const qint64 want = m_remaining <= 1024 ? m_remaining : 1024;
    m_remaining -= want;
    m_progress.done = m_size - m_remaining;
    m_progress.left = m_size - m_progress.done;
    m_progress.percent = percentDone(m_progress.done, m_size);
    m_progressPending = true;
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
    m_view->showState(FlvState::Downloaded, m_name);
    m_view->enableDownload();
    end(Outcome::Downloaded);
}

void FlvDownload::stopByUser()
{
    showDue(true);
    m_inet->Cancel();
    m_view->showState(FlvState::Stopped, m_name);
    end(Outcome::Stopped);
}

void FlvDownload::failTransfer()
{
    fail({FlvFailure::Kind::Transfer, m_inet->fault()});
}

void FlvDownload::fail(const FlvFailure &failure)
{
    showDue(true);
    m_phase = Phase::Idle;
    m_slice.stop();
    m_inet->release();
    // The message box lets events run; the window may be gone after it.
    QPointer<FlvDownload> self(this);
    m_view->showFailure(failure);
    if (!self)
        return;
    m_view->showState(FlvState::Idle, m_name);
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

} // namespace vidrona::download::youtube
