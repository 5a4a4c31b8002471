#include "formats.h"
#include "cookielines.h"
#include "sitesubtitles.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// The formats chosen for a row as the record beside it keeps them.
namespace vidrona::download::sitevideo {

namespace {

constexpr int MaxPickedId = 128; // yt-dlp's format ids are short ("137", "hls-720p")

qint64 integer(const QJsonValue &v, qint64 none = -1)
{
    return v.isDouble() ? qint64(v.toDouble()) : none;
}

QJsonArray cookieArray(const QList<QByteArray> &lines)
{
    QJsonArray array;
    for (const QByteArray &line : lines)
        array.append(QString::fromLatin1(line));
    return array;
}

QJsonObject formatJson(const Format &f)
{
    QJsonArray headers;
    for (const auto &[name, value] : f.headers)
        headers.append(QJsonArray{QString::fromLatin1(name), QString::fromLatin1(value)});
    QJsonArray fragments;
    for (const Fragment &fr : f.fragments)
        fragments.append(QJsonArray{fr.url, fr.path});
    return {{"id", f.id}, {"url", f.url}, {"protocol", f.protocol}, {"ext", f.ext}, {"vcodec", f.vcodec},
            {"acodec", f.acodec}, {"width", f.width}, {"height", f.height}, {"fps", f.fps},
            {"language", f.language}, {"tbr", f.tbr}, {"filesize", double(f.filesize)},
            {"sizeExact", f.sizeExact}, {"chunkSize", double(f.chunkSize)}, {"headers", headers},
            {"fragmentBaseUrl", f.fragmentBaseUrl}, {"fragments", fragments}, {"cookies", cookieArray(f.cookies)}};
}

Format formatFromJson(const QJsonObject &o)
{
    Format f;
    f.id = o.value(QLatin1String("id")).toString();
    f.url = o.value(QLatin1String("url")).toString();
    f.protocol = o.value(QLatin1String("protocol")).toString();
    f.ext = o.value(QLatin1String("ext")).toString();
    f.vcodec = o.value(QLatin1String("vcodec")).toString();
    f.acodec = o.value(QLatin1String("acodec")).toString();
    f.width = o.value(QLatin1String("width")).toInt();
    f.height = o.value(QLatin1String("height")).toInt();
    f.fps = o.value(QLatin1String("fps")).toDouble();
    f.language = o.value(QLatin1String("language")).toString();
    f.tbr = o.value(QLatin1String("tbr")).toDouble();
    f.filesize = integer(o.value(QLatin1String("filesize")));
    f.sizeExact = o.value(QLatin1String("sizeExact")).toBool();
    f.chunkSize = integer(o.value(QLatin1String("chunkSize")), 0);
    for (const QJsonValue &h : o.value(QLatin1String("headers")).toArray())
        f.headers.append({h.toArray().at(0).toString().toLatin1(), h.toArray().at(1).toString().toLatin1()});
    f.fragmentBaseUrl = o.value(QLatin1String("fragmentBaseUrl")).toString();
    for (const QJsonValue &fr : o.value(QLatin1String("fragments")).toArray())
        f.fragments.append({fr.toArray().at(0).toString(), fr.toArray().at(1).toString()});
    for (const QJsonValue &c : o.value(QLatin1String("cookies")).toArray())
        if (isCookieSafe(c.toString().toLatin1()))
            f.cookies.append(c.toString().toLatin1());
    return f;
}

} // namespace

QByteArray choiceText(const Choice &choice)
{
    QJsonArray parts;
    for (const Format &f : choice.parts)
        parts.append(formatJson(f));
    QJsonObject o{{"container", choice.container}, {"parts", parts}, {"unread", choice.unread},
                  {"subtitles", subtitleFilesJson(choice.subtitles)}};
    if (!choice.quality.isEmpty())
        o.insert(QLatin1String("quality"), QString::fromLatin1(choice.quality));
    if (!choice.picked.isEmpty())
        o.insert(QLatin1String("picked"), choice.picked);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<Choice> parseChoice(const QByteArray &text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(text);
    const QJsonArray parts = doc.object().value(QLatin1String("parts")).toArray();
    const bool unread = doc.object().value(QLatin1String("unread")).toBool();
    if (!doc.isObject() || (parts.isEmpty() && !unread) || parts.size() > 2)
        return std::nullopt;
    Choice choice;
    choice.unread = unread && parts.isEmpty();
    choice.container = doc.object().value(QLatin1String("container")).toString();
    choice.quality = doc.object().value(QLatin1String("quality")).toString().toLatin1().left(16);
    choice.picked = doc.object().value(QLatin1String("picked")).toString().left(MaxPickedId);
    for (const QJsonValue &p : parts)
        choice.parts.append(formatFromJson(p.toObject()));
    choice.subtitles = subtitleFilesFromJson(doc.object().value(QLatin1String("subtitles")).toArray());
    return choice;
}

} // namespace vidrona::download::sitevideo
