#pragma once
#include <QString>

class QTreeView;

namespace vidrona::desktop {
class MessageService;
}
namespace vidrona::download {
class ListStore;
}

namespace vidrona::ui::mainwindow {

using desktop::MessageService;
using download::ListStore;

// Tells where the downloads go and opens what was downloaded: the list's
// tooltip names the folder; its context menu holds "Open File"
// (openFileAction), "Open Containing Folder" (openContainingFolderAction) and
// "Open Download Folder" (openDownloadFolderAction). Double-click or Enter on
// a COMPLETED row opens its file with the desktop's default program; a
// file that is gone is said to be gone, and nothing changes.
void showDownloadFolder(QTreeView *list, ListStore &store, MessageService &messages);

} // namespace vidrona::ui::mainwindow
