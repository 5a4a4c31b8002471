#include "downloadfolderview.h"
#include "desktop/openurl.h"
#include "download/liststore.h"
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QTreeView>

namespace vidrona::ui::mainwindow {

using desktop::MessageService;
using desktop::MsgInformation;
using desktop::OpenFile;
using desktop::OpenFolder;
using download::DownloadEntry;
using download::ListStore;
using download::Status;

namespace {

// The file of the selected row, when that row is COMPLETED.
QString completedFileOf(QTreeView *list, ListStore &store, const QString &folder)
{
    const QModelIndex current = list->currentIndex();
    if (!current.isValid() || current.row() >= store.list().count())
        return QString();
    const DownloadEntry &e = store.list().at(current.row());
    return e.status == Status::Completed ? QDir(folder).filePath(e.fileName) : QString();
}

// False (with a word to the user) when the file is no longer there.
bool stillThere(const QString &path, MessageService &messages)
{
    if (QFileInfo(path).isFile())
        return true;
    messages.show(QStringLiteral("%1 is no longer in the download folder.").arg(QFileInfo(path).fileName()),
                  QString(), MsgInformation);
    return false;
}

QAction *addAction(QTreeView *list, const QString &text, const char *name)
{
    auto *action = new QAction(text, list);
    action->setObjectName(QString::fromLatin1(name));
    list->addAction(action);
    return action;
}

void showFolderTip(QTreeView *list, const QString &folder)
{
    list->setToolTip(QStringLiteral("Downloaded videos are saved in %1\n"
                                    "Right-click to open the folder.")
                         .arg(QDir::toNativeSeparators(folder)));
}

} // namespace

void showDownloadFolder(QTreeView *list, ListStore &store, MessageService &messages)
{
    showFolderTip(list, store.downloadFolder());
    QObject::connect(&store, &ListStore::downloadFolderChanged, list,
                     [list](const QString &folder) { showFolderTip(list, folder); });
    const auto openFile = [list, &store, &messages] {
        const QString path = completedFileOf(list, store, store.downloadFolder());
        if (!path.isEmpty() && stillThere(path, messages))
            OpenFile(path);
    };
    QAction *file = addAction(list, QStringLiteral("Open File"), "openFileAction");
    QAction *containing = addAction(list, QStringLiteral("Open Containing Folder"), "openContainingFolderAction");
    QAction *downloads = addAction(list, QStringLiteral("Open Download Folder"), "openDownloadFolderAction");
    QObject::connect(file, &QAction::triggered, list, openFile);
    QObject::connect(list, &QAbstractItemView::activated, list, openFile);
    QObject::connect(containing, &QAction::triggered, list, [list, &store, &messages] {
        const QString path = completedFileOf(list, store, store.downloadFolder());
        if (!path.isEmpty() && stillThere(path, messages))
            OpenFolder(QFileInfo(path).absolutePath());
    });
    QObject::connect(downloads, &QAction::triggered, list, [&store] {
        const QString folder = store.downloadFolder();
        // Deleted or unplugged since start: made again rather than failing.
        QDir().mkpath(folder);
        OpenFolder(folder);
    });
    // The two file entries only where there is a finished file to open.
    const auto update = [=, &store] {
        const bool completed = !completedFileOf(list, store, store.downloadFolder()).isEmpty();
        file->setEnabled(completed);
        containing->setEnabled(completed);
    };
    QObject::connect(list->selectionModel(), &QItemSelectionModel::currentChanged, list, update);
    QObject::connect(&store.list(), &QAbstractItemModel::dataChanged, list, update);
    update();
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
}

} // namespace vidrona::ui::mainwindow
