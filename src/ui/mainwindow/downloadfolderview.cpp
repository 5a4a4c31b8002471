#include "downloadfolderview.h"
#include "desktop/openurl.h"
#include <QAbstractItemView>
#include <QAction>
#include <QDir>

namespace vidrona {

void showDownloadFolder(QAbstractItemView *list, const QString &folder)
{
    const QString shown = QDir::toNativeSeparators(folder);
    list->setToolTip(QStringLiteral("Downloaded videos are saved in %1\n"
                                    "Right-click to open the folder.")
                         .arg(shown));
    auto *open = new QAction(QStringLiteral("Open Download Folder"), list);
    open->setObjectName(QStringLiteral("actOpenDownloadFolder"));
    QObject::connect(open, &QAction::triggered, list, [folder] {
        // Deleted or unplugged since start: made again rather than failing.
        QDir().mkpath(folder);
        OpenFolder(folder);
    });
    list->addAction(open);
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
}

} // namespace vidrona
