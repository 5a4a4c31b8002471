// The download queue's side of the main window: Start Download, Cancel,
// Remove, Clean and the counters under the list, each a call to the
// download service.
#include "queuepanel.h"
#include "queuetexts.h"
#include "queuewords.h"
#include "desktop/messages.h"
#include "download/progress.h"
#include "download/service/downloadservice.h"
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

namespace vidrona {

QueuePanel::QueuePanel(DownloadService &service, MessageService &messages, const Controls &controls,
                       QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_messages(messages)
    , m_words(new QueueWords(service, messages, this))
    , m_ui(controls)
{
    m_ui.lDownload->setModel(&m_service.list());
    m_ui.lDownload->header()->resizeSection(DownloadList::ColFileName, 170);
    m_ui.lDownload->header()->resizeSection(DownloadList::ColStatus, 110);
    m_ui.lDownload->header()->resizeSection(DownloadList::ColProgress, 300);
    m_ui.lDownload->header()->setStretchLastSection(false);
    connect(&m_service, &DownloadService::countsChanged, this, &QueuePanel::UpdateProgress);
    connect(&m_service, &DownloadService::rowStarted, this, [this] { m_ui.cmdDownload->setEnabled(false); });
    connect(&m_service, &DownloadService::rowEnded, this, [this] { m_ui.cmdDownload->setEnabled(true); });
    connect(m_ui.cmdDownload, &QPushButton::clicked, this, &QueuePanel::cmdDownload_Click);
    connect(m_ui.Timer1, &QTimer::timeout, this, &QueuePanel::Timer1_Timer);
    connect(m_ui.cmdCancel, &QPushButton::clicked, this, &QueuePanel::cmdCancel_Click);
    connect(m_ui.cmdRemove, &QPushButton::clicked, this, &QueuePanel::cmdRemove_Click);
    connect(m_ui.cmdClean, &QPushButton::clicked, this, &QueuePanel::cmdClean_Click);
}

void QueuePanel::Form_Load()
{
    // The URL column takes what the name and status columns leave.
    m_ui.lDownload->header()->setSectionResizeMode(DownloadList::ColFileUrl, QHeaderView::Stretch);
    m_service.load();

    const int waiting = waitingCount(m_service.list());
    if (waiting > 0) {
        const int answer = m_messages.show(resumeQuestion(waiting), QStringLiteral("Confirm"), MsgYesNo | MsgQuestion);
        if (answer == AnswerYes)
            m_ui.Timer1->start();
    }
}

void QueuePanel::Form_Unload()
{
    m_words->clearRunning();
    m_service.stop();
}

void QueuePanel::UpdateProgress(int completed, int total)
{
    // A bar with no room (total 0) keeps its old maximum and shows empty.
    if (total > 0)
        m_ui.P1->setRange(0, total);
    m_ui.P1->setValue(completed);
    m_ui.lblProgress->setText(filesDownloadedText(completed, total));
}

void QueuePanel::RunQueue()
{
    m_service.start();
}

void QueuePanel::cmdDownload_Click()
{
    RunQueue();
}

void QueuePanel::Timer1_Timer()
{
    // One start per program run: the timer is off before the queue runs.
    m_ui.Timer1->stop();
    // Yes also promised the rows an earlier run left DOWNLOADING.
    m_service.start(true);
}

quint64 QueuePanel::selectedRowId() const
{
    const DownloadList &list = m_service.list();
    const QModelIndexList rows = m_ui.lDownload->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.first().row() >= list.count())
        return 0;
    return list.at(rows.first().row()).id;
}

void QueuePanel::cmdCancel_Click()
{
    if (const quint64 id = selectedRowId())
        m_service.cancel(id);
    m_ui.cmdDownload->setEnabled(true);
}

// Neither press touches a downloaded file or a running fetch.
void QueuePanel::cmdRemove_Click()
{
    m_service.remove(selectedRowId());
}

void QueuePanel::cmdClean_Click()
{
    m_service.clean();
}

} // namespace vidrona
