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

namespace vidrona::ui::mainwindow {

using desktop::AnswerYes;
using desktop::MessageService;
using desktop::MsgQuestion;
using desktop::MsgYesNo;
using download::DownloadList;
using download::service::DownloadService;
using download::waitingCount;

QueuePanel::QueuePanel(DownloadService &service, MessageService &messages, const Controls &controls,
                       QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_messages(messages)
    , m_words(new QueueWords(service, messages, this))
    , m_ui(controls)
{
    m_ui.downloadList->setModel(&m_service.list());
    m_ui.downloadList->header()->resizeSection(DownloadList::ColFileName, 170);
    m_ui.downloadList->header()->resizeSection(DownloadList::ColStatus, 110);
    m_ui.downloadList->header()->resizeSection(DownloadList::ColProgress, 300);
    m_ui.downloadList->header()->setStretchLastSection(false);
    connect(&m_service, &DownloadService::countsChanged, this, &QueuePanel::updateProgress);
    connect(&m_service, &DownloadService::rowStarted, this, [this] { m_ui.startButton->setEnabled(false); });
    connect(&m_service, &DownloadService::rowEnded, this, [this] { m_ui.startButton->setEnabled(true); });
    connect(m_ui.startButton, &QPushButton::clicked, this, &QueuePanel::startClicked);
    connect(m_ui.startupTimer, &QTimer::timeout, this, &QueuePanel::startupTimerFired);
    connect(m_ui.cancelButton, &QPushButton::clicked, this, &QueuePanel::cancelClicked);
    connect(m_ui.removeButton, &QPushButton::clicked, this, &QueuePanel::removeClicked);
    connect(m_ui.cleanButton, &QPushButton::clicked, this, &QueuePanel::cleanClicked);
}

void QueuePanel::startUp()
{
    // The URL column takes what the name and status columns leave.
    m_ui.downloadList->header()->setSectionResizeMode(DownloadList::ColFileUrl, QHeaderView::Stretch);
    m_service.load();

    const int waiting = waitingCount(m_service.list());
    if (waiting > 0) {
        const int answer = m_messages.show(resumeQuestion(waiting), QStringLiteral("Confirm"), MsgYesNo | MsgQuestion);
        if (answer == AnswerYes)
            m_ui.startupTimer->start();
    }
}

void QueuePanel::shutDown()
{
    m_words->clearRunning();
    m_service.stop();
}

void QueuePanel::updateProgress(int completed, int total)
{
    // A bar with no room (total 0) keeps its old maximum and shows empty.
    if (total > 0)
        m_ui.filesBar->setRange(0, total);
    m_ui.filesBar->setValue(completed);
    m_ui.filesLabel->setText(filesDownloadedText(completed, total));
}

void QueuePanel::runQueue()
{
    m_service.start();
}

void QueuePanel::startClicked()
{
    runQueue();
}

void QueuePanel::startupTimerFired()
{
    // One start per program run: the timer is off before the queue runs.
    m_ui.startupTimer->stop();
    // Yes also promised the rows an earlier run left DOWNLOADING.
    m_service.start(true);
}

quint64 QueuePanel::selectedRowId() const
{
    const DownloadList &list = m_service.list();
    const QModelIndexList rows = m_ui.downloadList->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.first().row() >= list.count())
        return 0;
    return list.at(rows.first().row()).id;
}

void QueuePanel::cancelClicked()
{
    if (const quint64 id = selectedRowId())
        m_service.cancel(id);
    m_ui.startButton->setEnabled(true);
}

// Neither press touches a downloaded file or a running fetch.
void QueuePanel::removeClicked()
{
    m_service.remove(selectedRowId());
}

void QueuePanel::cleanClicked()
{
    m_service.clean();
}

} // namespace vidrona::ui::mainwindow
