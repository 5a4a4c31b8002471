#include "folders.h"
#include "platform/platform.h"
#include <QDir>
#include <QStandardPaths>

namespace vidrona::desktop {

Folders chooseFolders(const QString &programFolder)
{
    if (platform::canWriteFolder(programFolder) && !platform::isInstalledCopy(programFolder))
        return {programFolder, programFolder, true};

    Folders folders;
    folders.list = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (downloads.isEmpty())
        downloads = QDir::homePath();
    folders.downloads = QDir(downloads).filePath(QStringLiteral("Vidrona"));
    // A folder that cannot be made shows up later, as a list that is not
    // saved or a file that fails; both say so to the user.
    QDir().mkpath(folders.list);
    QDir().mkpath(folders.downloads);
    return folders;
}

} // namespace vidrona::desktop
