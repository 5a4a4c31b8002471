#include "rowtags.h"
#include "platform/safefile.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace vidrona::download::service {

RowTagsStore::RowTagsStore(const QString &listFolder)
    : m_folder(QDir(listFolder).filePath(QStringLiteral("Tags")))
{
}

QString RowTagsStore::pathOf(const QString &fileUrl) const
{
    const QByteArray key = QCryptographicHash::hash(fileUrl.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return QDir(m_folder).filePath(QString::fromLatin1(key) + QStringLiteral(".json"));
}

bool RowTagsStore::keep(const QString &fileUrl, const media::Tags &tags)
{
    if (tags.isEmpty()) {
        forget(fileUrl);
        return true;
    }
    const QByteArray text = media::tagsText(tags);
    if (!QDir().mkpath(m_folder) || !platform::writeFileSafely(pathOf(fileUrl), text))
        return false;
    m_kept.insert(fileUrl, media::parseTags(text).value_or(media::Tags()));
    return true;
}

media::Tags RowTagsStore::tagsOf(const QString &fileUrl)
{
    const auto known = m_kept.constFind(fileUrl);
    if (known != m_kept.constEnd())
        return *known;
    const platform::SmallFile file = platform::readSmallFile(pathOf(fileUrl), MaxFileBytes);
    const media::Tags tags = file.ok() ? media::parseTags(file.bytes).value_or(media::Tags()) : media::Tags();
    m_kept.insert(fileUrl, tags);
    return tags;
}

void RowTagsStore::forget(const QString &fileUrl)
{
    m_kept.remove(fileUrl);
    QFile::remove(pathOf(fileUrl));
}

} // namespace vidrona::download::service
