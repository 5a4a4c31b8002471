#include "queuewords.h"
#include "queuetexts.h"
#include "desktop/messages.h"
#include "download/service/downloadservice.h"

namespace vidrona::ui::mainwindow {

using desktop::MessageService;
using desktop::MsgInformation;
using download::SubtitleMiss;
using download::service::DownloadService;
using download::service::RowProgress;

QueueWords::QueueWords(DownloadService &service, MessageService &messages, QObject *parent)
    : QObject(parent), m_service(service), m_messages(messages)
{
    connect(&service, &DownloadService::rowProgressed, this, &QueueWords::rowProgressed);
    connect(&service, &DownloadService::rowRetrying, this, &QueueWords::rowRetrying);
    connect(&service, &DownloadService::rowEnded, this, &QueueWords::rowEnded);
    connect(&service, &DownloadService::rowSubtitlesMissed, this, &QueueWords::subtitlesMissed);
}

void QueueWords::clearRunning()
{
    for (const quint64 id : m_service.runningIds())
        m_service.list().setProgress(id, QString());
}

void QueueWords::rowProgressed(quint64 id, const RowProgress &progress)
{
    m_service.list().setProgress(id, progressText(progress));
}

void QueueWords::rowRetrying(quint64 id, int waitMs, const net::Failure &why)
{
    m_service.list().setProgress(id, retryWaitText(waitMs, why));
}

// The user's Cancel is no failure: no box, and the kept bytes stay for the
// next Start Download.
void QueueWords::rowEnded(quint64 id, const net::Failure &failure)
{
    m_service.list().setProgress(id, endedText(failure));
    if (failure.failed() && failure.reason != net::Reason::Cancelled)
        m_messages.show(failureBoxText(failure), QString(), MsgInformation);
}

// The video is in place; the cell says which subtitles are not.
void QueueWords::subtitlesMissed(quint64 id, const QList<SubtitleMiss> &missed)
{
    m_service.list().setProgress(id, missedSubtitlesText(missed));
}

} // namespace vidrona::ui::mainwindow
