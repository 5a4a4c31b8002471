#pragma once
#include "downloadlist.h"
#include "listfile.h"
#include "listnotice.h"
#include <QObject>

namespace vidrona::download {

// What the parts of the main window share: the download list, its file
// "List", the folder of that file and the folder the downloads go to. The
// queue and the resolvers are both handed this one object; neither knows
// the other. It shows no box itself: what the user must hear of (a list
// that cannot be read or saved, a refused address) goes out as notice(),
// in data,
// and its owner decides where it is shown.
class ListStore : public QObject
{
    Q_OBJECT
public:
    // programFolder holds the list file; downloadFolder (empty: the same
    // folder) receives the fetched files.
    ListStore(const QString &programFolder, QObject *parent = nullptr, const QString &downloadFolder = QString());

    DownloadList &list() { return m_list; }
    const DownloadList &list() const { return m_list; }
    QString programFolder() const { return m_folder; }
    QString downloadFolder() const { return m_downloadFolder; }
    // Where the next fetches go; rows already there keep their files.
    void setDownloadFolder(const QString &folder);

    void LoadList();
    void SaveList();
    // Adds fileUrl to the list as a PENDING row and saves the list; a
    // refused address gets the AddRefused notice. True when the row was added.
    bool Download(const QString &fileUrl);
    // The same for a file that comes with a name of its own; a name that
    // cannot be a file name is refused like a bad address.
    bool Download(const QString &fileUrl, const QString &fileName);

signals:
    // After every load and save: the counters shown may have changed.
    void changed();
    void downloadFolderChanged(const QString &folder);
    // What the user must hear of, as data: the window words it.
    void notice(const vidrona::download::ListNotice &notice);

private:
    bool addRow(const QString &fileUrl, const QString &listedName);
    QString freeNameFor(const QString &name) const;

    QString m_folder;
    QString m_downloadFolder;
    DownloadList m_list;
    ListFile m_listFile;
    bool m_saveFailureShown = false;
};

} // namespace vidrona::download
