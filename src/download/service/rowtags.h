#pragma once
#include "download/media/tags.h"
#include <QHash>
#include <QString>

namespace vidrona::download::service {

// The tags of the rows' files, by file address (the row's key): kept in
// memory and, so that a fetch after a restart writes them too, in one
// small file per row in the folder "Tags" beside the list, never in the
// list itself (its format stays as it is).
class RowTagsStore
{
public:
    static constexpr qint64 MaxFileBytes = 64 << 10;

    explicit RowTagsStore(const QString &listFolder);

    QString folder() const { return m_folder; }
    // Keeps tags for the row of fileUrl; empty tags forget the row's. false
    // (the row then goes untagged) when the file cannot be written.
    bool keep(const QString &fileUrl, const media::Tags &tags);
    // The row's tags, from memory or else from its file; empty when none.
    media::Tags tagsOf(const QString &fileUrl);
    void forget(const QString &fileUrl);
    QString pathOf(const QString &fileUrl) const;

private:
    QString m_folder;
    QHash<QString, media::Tags> m_kept;
};

} // namespace vidrona::download::service
