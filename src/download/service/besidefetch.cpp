#include "besidefetch.h"
#include "download/filefetch.h"
#include "download/retries.h"
#include "download/transfer.h"
#include <utility>

namespace vidrona::download::service {

BesideFetch::BesideFetch(QObject *parent) : QObject(parent), m_delaysMs(retries::RowDelaysMs)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &BesideFetch::tryOnce);
}

BesideFetch::~BesideFetch()
{
    cancel();
}

bool BesideFetch::start(const FetchJob &job)
{
    if (m_running)
        return false;
    m_job = std::make_unique<FetchJob>(job);
    m_retries = 0;
    m_placedAt.clear();
    m_running = true;
    tryOnce();
    return true;
}

// Each try on a transfer of its own: one that was cancelled has let go of
// everything, and nothing it still had queued reaches this object.
void BesideFetch::tryOnce()
{
    dropTransfer();
    m_transfer = new Transfer(this);
    connect(m_transfer, &Transfer::finished, this, &BesideFetch::onTried);
    m_transfer->start(*m_job); // a fresh transfer always accepts
}

void BesideFetch::onTried(const net::Failure &failure)
{
    const std::optional<int> wait = retries::waitMs(failure, m_retries, m_delaysMs);
    if (wait) {
        ++m_retries;
        m_wait.start(*wait);
        emit retrying(*wait, failure);
        return;
    }
    m_placedAt = m_transfer->placedAt();
    m_running = false;
    emit finished(failure);
}

void BesideFetch::cancel()
{
    m_wait.stop();
    m_running = false;
    dropTransfer();
}

// A running transfer goes at once, waiting for its thread, so that its
// kept bytes are let go of; an idle one may be the sender of the
// finished() being handled, so it goes from the event loop (or with this
// object, its parent, whichever comes first).
void BesideFetch::dropTransfer()
{
    Transfer *transfer = std::exchange(m_transfer, nullptr);
    if (!transfer)
        return;
    transfer->disconnect(this);
    if (transfer->StillExecuting())
        delete transfer;
    else
        transfer->deleteLater();
}

qint64 BesideFetch::bytesReceived() const
{
    return m_transfer ? m_transfer->bytesReceived() : 0;
}

qint64 BesideFetch::bytesTotal() const
{
    return m_transfer ? m_transfer->bytesTotal() : -1;
}

} // namespace vidrona::download::service
