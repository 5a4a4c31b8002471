#include "liststore.h"
#include "entrystatus.h"
#include "filenames.h"
#include "platform.h"

namespace vidrona {

ListStore::ListStore(const QString &programFolder, MessageService *messages, QObject *parent,
                     const QString &downloadFolder)
    : QObject(parent)
    , m_folder(programFolder)
    , m_downloadFolder(downloadFolder.isEmpty() ? programFolder : downloadFolder)
    , m_messages(messages)
    , m_list(this)
    , m_listFile(programFolder)
{
}

void ListStore::LoadList()
{
    m_listFile.load(m_list);
    emit changed();
}

void ListStore::SaveList()
{
    QString error;
    if (m_listFile.save(m_list, &error)) {
        m_saveFailureShown = false;
    } else if (!m_saveFailureShown) {
        // Said once until a save succeeds again; the old list stays on disk.
        m_saveFailureShown = true;
        m_messages->show(QStringLiteral("The download list could not be saved to %1 (%2). "
                                        "The list on disk is the one saved before.")
                             .arg(m_listFile.path(), error),
                         QString(), MsgInformation);
    }
    emit changed();
}

QString ListStore::addErrorText()
{
    return QStringLiteral("Please enter a valid file location.\r\n\r\n"
                          "NOTE : make sure you only enter the file once, it cannot be added twice or more");
}

bool ListStore::Download(const QString &fileUrl)
{
    return addRow(fileUrl, listedNameOf(fileUrl));
}

bool ListStore::Download(const QString &fileUrl, const QString &fileName)
{
    return addRow(fileUrl, platform::isValidFileName(fileName) ? fileName : QString());
}

bool ListStore::addRow(const QString &fileUrl, const QString &name)
{
    // Refused: no name (no "/" in the address, or a name no file can
    // have), a control character (it would split the row in the list
    // file), an address already listed, or a full list.
    if (name.isEmpty() || !isListableUrl(fileUrl)
        || m_list.append(name, fileUrl, status::Pending) == 0) {
        m_messages->show(addErrorText(), QStringLiteral("Error"), MsgCritical);
        return false;
    }
    SaveList();
    return true;
}

} // namespace vidrona
