#include "liststore.h"
#include "entrystatus.h"
#include "filenames.h"
#include "platform/platform.h"
#include <QDir>
#include <QSet>

namespace vidrona::download {

ListStore::ListStore(const QString &programFolder, QObject *parent, const QString &downloadFolder)
    : QObject(parent)
    , m_folder(programFolder)
    , m_downloadFolder(downloadFolder.isEmpty() ? programFolder : downloadFolder)
    , m_list(this)
    , m_listFile(programFolder)
{
}

void ListStore::LoadList()
{
    m_listFile.load(m_list);
    // Rows not shown, or a file left alone: the user hears of it once, now.
    if (const std::optional<ListNotice> told = m_listFile.loadNotice())
        emit notice(*told);
    // A list that cannot be saved was just reported: saves stay quiet.
    m_saveFailureShown = m_listFile.unreadable();
    emit changed();
}

void ListStore::SaveList()
{
    QString error;
    if (m_listFile.save(m_list, &error)) {
        m_saveFailureShown = false;
    } else if (!m_saveFailureShown) {
        // Said once until a save succeeds again.
        m_saveFailureShown = true;
        emit notice(m_listFile.saveFailureNotice(error));
    }
    emit changed();
}

bool ListStore::Download(const QString &fileUrl)
{
    return addRow(fileUrl, listedNameOf(fileUrl));
}

bool ListStore::Download(const QString &fileUrl, const QString &fileName)
{
    return addRow(fileUrl, platform::isValidFileName(fileName) ? fileName : QString());
}

// Two rows never share a file, and no row takes the name of a file that
// is already in the download folder: the later one gets "name (2).ext".
// A name that cannot be a file name stays as it is, to fail when fetched.
QString ListStore::freeNameFor(const QString &name) const
{
    if (!platform::isValidFileName(name))
        return name;
    QSet<QString> held;
    for (const DownloadEntry &e : m_list.entries())
        held.insert(platform::nameKey(e.fileName));
    return nextFreeName(m_downloadFolder, name,
                        [&held](const QString &candidate) { return held.contains(platform::nameKey(candidate)); });
}

bool ListStore::addRow(const QString &fileUrl, const QString &listedName)
{
    const QString name = m_list.containsUrl(fileUrl) ? listedName : freeNameFor(listedName);
    // Refused: no name (no "/" in the address, or a name no file can
    // have), a control character (it would split the row in the list
    // file), an address already listed, or a full list.
    if (name.isEmpty() || !isListableUrl(fileUrl)
        || m_list.append(name, fileUrl, Status::Pending) == 0) {
        emit notice(ListNotice{ListNotice::Kind::AddRefused, QDir::toNativeSeparators(m_listFile.path())});
        return false;
    }
    SaveList();
    return true;
}

void ListStore::setDownloadFolder(const QString &folder)
{
    if (folder.isEmpty() || folder == m_downloadFolder)
        return;
    m_downloadFolder = folder;
    emit downloadFolderChanged(folder);
}

} // namespace vidrona::download
