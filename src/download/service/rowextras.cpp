#include "rowextras.h"
#include "platform/platform.h"
#include "platform/safefile.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vidrona::download::service {

using desktop::RowExtras;

namespace {

const QByteArray Title = "# Netscape HTTP Cookie File\n";
const QByteArray FieldMark = "# field ";
const QByteArray SubtitlesMark = "# subtitles ";
constexpr int MaxSubtitles = 32;

// A language tag as BCP 47 writes one: letters, digits and "-", short.
bool isLanguageTag(const QByteArray &tag)
{
    if (tag.isEmpty() || tag.size() > 35)
        return false;
    for (const char c : tag)
        if (!(QChar::isLetterOrNumber(uchar(c)) || c == '-'))
            return false;
    return true;
}

} // namespace

RowExtrasStore::RowExtrasStore(const QString &listFolder)
    : m_folder(QDir(listFolder).filePath(QStringLiteral("Cookies")))
{
}

QString RowExtrasStore::pathOf(const QString &fileUrl) const
{
    const QByteArray key = QCryptographicHash::hash(fileUrl.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return QDir(m_folder).filePath(QString::fromLatin1(key) + QStringLiteral(".txt"));
}

bool RowExtrasStore::isSafeField(const QByteArray &field)
{
    const qsizetype colon = field.indexOf(':');
    if (colon <= 0 || field.size() > MaxFieldBytes)
        return false;
    for (const char c : field)
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    for (const char c : field.left(colon))
        if (!(QChar::isLetterOrNumber(uchar(c)) || c == '-'))
            return false;
    return true;
}

QByteArray RowExtrasStore::fileOf(const RowExtras &extras)
{
    QByteArray out = Title;
    for (const QByteArray &f : extras.fields)
        if (isSafeField(f))
            out += FieldMark + f + '\n';
    QByteArrayList languages;
    for (const QString &l : extras.subtitles)
        if (isLanguageTag(l.toLatin1()) && languages.size() < MaxSubtitles)
            languages << l.toLatin1();
    if (!languages.isEmpty())
        out += SubtitlesMark + languages.join(',') + '\n';
    out += extras.cookies;
    if (!out.endsWith('\n'))
        out += '\n';
    return out;
}

RowExtras RowExtrasStore::extrasFrom(const QByteArray &file)
{
    RowExtras extras;
    for (const QByteArray &line : file.split('\n')) {
        if (line.startsWith(SubtitlesMark)) {
            for (const QByteArray &tag : line.mid(SubtitlesMark.size()).split(','))
                if (isLanguageTag(tag.trimmed()) && extras.subtitles.size() < MaxSubtitles)
                    extras.subtitles << QString::fromLatin1(tag.trimmed());
        } else if (line.startsWith(FieldMark)) {
            const QByteArray field = line.mid(FieldMark.size());
            if (isSafeField(field) && extras.fields.size() < MaxFields)
                extras.fields << field;
        } else if (!line.isEmpty() && (!line.startsWith('#') || line.startsWith("#HttpOnly_"))) {
            extras.cookies += line + '\n';
        }
    }
    return extras;
}

bool RowExtrasStore::keep(const QString &fileUrl, const RowExtras &extras, QString *error)
{
    if (extras.isEmpty()) {
        forget(fileUrl);
        return true;
    }
    const QString path = pathOf(fileUrl);
    if (!platform::makePrivateFolder(m_folder, error) || !platform::writeFileSafely(path, fileOf(extras), error, nullptr, true))
        return false;
    m_kept.insert(fileUrl, extrasFrom(fileOf(extras)));
    return true;
}

RowExtras RowExtrasStore::extrasOf(const QString &fileUrl)
{
    const auto known = m_kept.constFind(fileUrl);
    if (known != m_kept.constEnd())
        return *known;
    const platform::SmallFile file = platform::readSmallFile(pathOf(fileUrl), MaxFileBytes);
    if (!file.ok())
        return {};
    const RowExtras extras = extrasFrom(file.bytes);
    m_kept.insert(fileUrl, extras);
    return extras;
}

QString RowExtrasStore::cookieFileOf(const QString &fileUrl)
{
    return extrasOf(fileUrl).cookies.isEmpty() ? QString() : pathOf(fileUrl);
}

void RowExtrasStore::forget(const QString &fileUrl)
{
    m_kept.remove(fileUrl);
    QFile::remove(pathOf(fileUrl));
}

} // namespace vidrona::download::service
