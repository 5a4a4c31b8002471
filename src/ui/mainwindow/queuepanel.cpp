// The download engine's side of the main window: the queue runner, Cancel,
// Remove, Clean and the counters under the list.
#include "queuepanel.h"
#include "download/entrystatus.h"
#include "download/liststore.h"
#include "download/progress.h"
#include "download/queuerunner.h"
#include "download/transfer.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

namespace vidrona {

QueuePanel::QueuePanel(ListStore &store, const Controls &controls, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_ui(controls)
{
    m_ui.lDownload->setModel(&m_store.list());
    m_ui.lDownload->header()->resizeSection(DownloadList::ColFileName, 170);
    m_ui.lDownload->header()->resizeSection(DownloadList::ColStatus, 110);
    m_ui.lDownload->header()->resizeSection(DownloadList::ColProgress, 300);
    m_ui.lDownload->header()->setStretchLastSection(false);
    connect(&m_store, &ListStore::changed, this, &QueuePanel::UpdateProgress);
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
    m_store.LoadList();

    const int waiting = waitingCount(m_store.list());
    if (waiting > 0) {
        const int answer = m_store.messages().show(resumeQuestion(waiting), QStringLiteral("Confirm"),
                                                   MsgYesNo | MsgQuestion);
        if (answer == AnswerYes)
            m_ui.Timer1->start();
    }
}

void QueuePanel::Form_Unload()
{
    if (m_queue)
        m_queue->stop();
}

void QueuePanel::UpdateProgress()
{
    const ListProgress p = listProgress(m_store.list());
    // A bar with no room (total 0) keeps its old maximum and shows empty.
    if (p.total > 0)
        m_ui.P1->setRange(0, p.total);
    m_ui.P1->setValue(p.completed);
    m_ui.lblProgress->setText(p.label);
}

QueueRunner *QueuePanel::downloadQueue()
{
    if (m_queue)
        return m_queue;
    iDownload = new Transfer(this);
    iDownload->setObjectName(QStringLiteral("iDownload"));
    const QString folder = m_store.downloadFolder();
    m_queue = new QueueRunner(m_store.list(), *iDownload, folder, m_store.messages(), this);
    m_queue->setSaveList([this] { m_store.SaveList(); });
    QStringList reserved{QStringLiteral("List")};
    const QFileInfo program(QCoreApplication::applicationFilePath());
    if (QDir(program.path()) == QDir(folder))
        reserved << program.fileName();
    m_queue->setReservedNames(reserved);
    connect(iDownload, &Transfer::stateChanged, this, &QueuePanel::iDownload_StateChanged);
    connect(m_queue, &QueueRunner::fetchStarted, this, [this] { m_ui.cmdDownload->setEnabled(false); });
    connect(m_queue, &QueueRunner::fetchEnded, this, [this] { m_ui.cmdDownload->setEnabled(true); });
    return m_queue;
}

void QueuePanel::RunQueue()
{
    downloadQueue()->RunQueue();
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
    downloadQueue()->resumeLeftOver();
    RunQueue();
}

void QueuePanel::iDownload_StateChanged(int)
{
    if (!iDownload->StillExecuting())
        RunQueue();
}

quint64 QueuePanel::selectedRowId() const
{
    const DownloadList &list = m_store.list();
    const QModelIndexList rows = m_ui.lDownload->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.first().row() >= list.count())
        return 0;
    return list.at(rows.first().row()).id;
}

void QueuePanel::cmdCancel_Click()
{
    if (const quint64 id = selectedRowId())
        downloadQueue()->cancelRow(id);
    m_ui.cmdDownload->setEnabled(true);
}

// Neither press touches a downloaded file or a running transfer; the queue
// drops the kept bytes of the rows taken away.
void QueuePanel::cmdRemove_Click()
{
    downloadQueue();
    DownloadList &list = m_store.list();
    if (const quint64 id = selectedRowId())
        list.removeAt(list.rowOfId(id));
    m_store.SaveList();
}

void QueuePanel::cmdClean_Click()
{
    downloadQueue();
    m_store.list().removeIf([](const DownloadEntry &e) { return status::isFinished(e.status); });
    m_store.SaveList();
}

} // namespace vidrona
