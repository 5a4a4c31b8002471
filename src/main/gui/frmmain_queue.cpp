// The download engine's side of the main window: adding rows, the queue
// runner, Cancel, Remove and Clean.
#include "frmmain.h"
#include "main/core/entrystatus.h"
#include "main/core/filenames.h"
#include "main/core/queuerunner.h"
#include "main/core/transfer.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

namespace vidrona {

QString FrmMain::addErrorText()
{
    return QStringLiteral("Please enter a valid file location.\r\n\r\n"
                          "NOTE : make sure you only enter the file once, it cannot be added twice or more");
}

void FrmMain::Download()
{
    const QString name = listedNameOf(FileUrl);
    // Refused: no "/", a control character (it would split the row in the
    // list file), an address already listed, or a full list.
    if (name.isEmpty() || !isListableUrl(FileUrl)
        || m_list.append(name, FileUrl, status::Pending) == 0) {
        m_messages->show(addErrorText(), QStringLiteral("Error"), MsgCritical);
        return;
    }
    SaveList();
}

QueueRunner *FrmMain::downloadQueue()
{
    if (m_queue)
        return m_queue;
    iDownload = new Transfer(this);
    iDownload->setObjectName(QStringLiteral("iDownload"));
    m_queue = new QueueRunner(m_list, *iDownload, m_folder, *m_messages, this);
    m_queue->setSaveList([this] { SaveList(); });
    QStringList reserved{QStringLiteral("List")};
    const QFileInfo program(QCoreApplication::applicationFilePath());
    if (QDir(program.path()) == QDir(m_folder))
        reserved << program.fileName();
    m_queue->setReservedNames(reserved);
    connect(iDownload, &Transfer::stateChanged, this, &FrmMain::iDownload_StateChanged);
    connect(m_queue, &QueueRunner::fetchStarted, this, [this] { cmdDownload->setEnabled(false); });
    connect(m_queue, &QueueRunner::fetchEnded, this, [this] { cmdDownload->setEnabled(true); });
    return m_queue;
}

void FrmMain::RunQueue()
{
    downloadQueue()->RunQueue();
}

void FrmMain::cmdDownload_Click()
{
    RunQueue();
}

void FrmMain::Timer1_Timer()
{
    // One start per program run: the timer is off before the queue runs.
    Timer1->stop();
    RunQueue();
}

void FrmMain::iDownload_StateChanged(int)
{
    if (!iDownload->StillExecuting())
        RunQueue();
}

quint64 FrmMain::selectedRowId() const
{
    const QModelIndexList rows = lDownload->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.first().row() >= m_list.count())
        return 0;
    return m_list.at(rows.first().row()).id;
}

void FrmMain::cmdCancel_Click()
{
    if (const quint64 id = selectedRowId())
        downloadQueue()->cancelRow(id);
    cmdDownload->setEnabled(true);
}

// Neither press touches a file on disk or a running transfer.
void FrmMain::cmdRemove_Click()
{
    if (const quint64 id = selectedRowId())
        m_list.removeAt(m_list.rowOfId(id));
    SaveList();
}

void FrmMain::cmdClean_Click()
{
    m_list.removeIf([](const DownloadEntry &e) { return status::isFinished(e.status); });
    SaveList();
}

} // namespace vidrona
