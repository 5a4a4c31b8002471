#pragma once
#include "download/filefetch.h"
#include "download/service/rowprogress.h"
#include "net/failure.h"
#include <QObject>

namespace vidrona::desktop {
class MessageService;
}
namespace vidrona::download::service {
class DownloadService;
}

namespace vidrona::ui::mainwindow {

using desktop::MessageService;
using download::SubtitleMiss;
using download::service::DownloadService;
using download::service::RowProgress;

// Puts what the download service reports into words: each running row's
// "Progress" cell, and the box a failed row brings up. The box comes after
// the row's end is in the list on disk; with one row at a time, the next
// row waits for its OK.
class QueueWords : public QObject
{
    Q_OBJECT
public:
    QueueWords(DownloadService &service, MessageService &messages, QObject *parent = nullptr);

    // The window closes: the running rows' cells say nothing any more.
    void clearRunning();

private:
    void rowProgressed(quint64 id, const RowProgress &progress);
    void rowRetrying(quint64 id, int waitMs, const net::Failure &why);
    void rowEnded(quint64 id, const net::Failure &failure);
    void subtitlesMissed(quint64 id, const QList<SubtitleMiss> &missed);

    DownloadService &m_service;
    MessageService &m_messages;
};

} // namespace vidrona::ui::mainwindow
