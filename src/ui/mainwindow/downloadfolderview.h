#pragma once
#include <QString>

class QAbstractItemView;

namespace vidrona {

// Tells where the downloads go: the list's tooltip names the folder, and
// its context menu holds "Open Download Folder" (object name
// actOpenDownloadFolder), which shows the folder in the file manager.
void showDownloadFolder(QAbstractItemView *list, const QString &folder);

} // namespace vidrona
