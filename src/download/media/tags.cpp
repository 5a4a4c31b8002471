#include "tags.h"
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace vidrona::download::media {

QString cutUtf8(const QString &text, qsizetype maxBytes)
{
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= maxBytes)
        return text;
    qsizetype cut = qMax<qsizetype>(0, maxBytes);
    // A byte 10xxxxxx continues the character before it: cut before that one.
    while (cut > 0 && (uchar(utf8.at(cut)) & 0xC0) == 0x80)
        --cut;
    return QString::fromUtf8(utf8.left(cut));
}

QString dateOf(const QString &written)
{
    static const QRegularExpression packed(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    static const QRegularExpression dashed(QStringLiteral("^(\\d{4})(-\\d{2}(-\\d{2})?)?(?:$|[T ])"));
    const QString text = written.trimmed();
    if (const QRegularExpressionMatch m = packed.match(text); m.hasMatch())
        return QStringLiteral("%1-%2-%3").arg(m.captured(1), m.captured(2), m.captured(3));
    if (const QRegularExpressionMatch m = dashed.match(text); m.hasMatch())
        return m.captured(1) + m.captured(2);
    return {};
}

Tags bounded(const Tags &tags)
{
    Tags b = tags;
    for (QString *field : {&b.title, &b.artist, &b.address, &b.coverUrl})
        *field = cutUtf8(field->simplified(), MaxTagBytes);
    b.date = dateOf(tags.date);
    b.description = cutUtf8(tags.description.trimmed(), MaxDescriptionBytes);
    return b;
}

QByteArray tagsText(const Tags &tags)
{
    const Tags b = bounded(tags);
    return QJsonDocument(QJsonObject{{"title", b.title},
                                     {"artist", b.artist},
                                     {"date", b.date},
                                     {"description", b.description},
                                     {"address", b.address},
                                     {"cover", b.coverUrl}})
        .toJson(QJsonDocument::Compact);
}

std::optional<Tags> parseTags(const QByteArray &text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(text);
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const auto field = [&o](const char *key) { return o.value(QLatin1String(key)).toString(); };
    return bounded(Tags{field("title"), field("artist"), field("date"), field("description"), field("address"),
                        field("cover"), {}});
}

QByteArray pictureType(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return "image/jpeg";
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return "image/png";
    return {};
}

} // namespace vidrona::download::media
