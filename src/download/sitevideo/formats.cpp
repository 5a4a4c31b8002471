#include "formats.h"
#include "cookielines.h"
#include "sitesubtitles.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>

// yt-dlp's JSON answer read into plain data.
namespace vidrona::download::sitevideo {

namespace {

// yt-dlp writes numbers as JSON numbers, but null and absent are common.
qint64 integer(const QJsonValue &v, qint64 none = -1)
{
    return v.isDouble() ? qint64(v.toDouble()) : none;
}

HeaderList headersOf(const QJsonObject &object)
{
    HeaderList headers;
    for (auto it = object.begin(); it != object.end() && headers.size() < 64; ++it)
        if (it.value().isString())
            headers.append({it.key().toLatin1(), it.value().toString().toLatin1()});
    return headers;
}

QList<Fragment> fragmentsOf(const QJsonArray &array)
{
    QList<Fragment> fragments;
    for (const QJsonValue &v : array) {
        if (fragments.size() >= MaxFragments)
            break;
        const QJsonObject f = v.toObject();
        fragments.append({f.value(QLatin1String("url")).toString(), f.value(QLatin1String("path")).toString()});
    }
    return fragments;
}

Format formatOf(const QJsonObject &f, const HeaderList &videoHeaders)
{
    Format format;
    format.id = f.value(QLatin1String("format_id")).toString();
    format.url = f.value(QLatin1String("url")).toString();
    format.protocol = f.value(QLatin1String("protocol")).toString();
    format.ext = f.value(QLatin1String("ext")).toString();
    format.vcodec = f.value(QLatin1String("vcodec")).toString();
    format.acodec = f.value(QLatin1String("acodec")).toString();
    format.width = int(integer(f.value(QLatin1String("width")), 0));
    format.height = int(integer(f.value(QLatin1String("height")), 0));
    format.fps = f.value(QLatin1String("fps")).toDouble(0);
    format.language = f.value(QLatin1String("language")).toString().left(32);
    format.tbr = f.value(QLatin1String("tbr")).toDouble(0);
    format.filesize = integer(f.value(QLatin1String("filesize")));
    format.sizeExact = format.filesize >= 0;
    if (!format.sizeExact)
        format.filesize = integer(f.value(QLatin1String("filesize_approx")));
    format.chunkSize = integer(f.value(QLatin1String("downloader_options")).toObject().value(QLatin1String("http_chunk_size")), 0);
    format.hasDrm = f.value(QLatin1String("has_drm")).toBool(false);
    const QJsonValue headers = f.value(QLatin1String("http_headers"));
    format.headers = headers.isObject() ? headersOf(headers.toObject()) : videoHeaders;
    const QString host = QUrl(format.url).host();
    for (qsizetype i = format.headers.size() - 1; i >= 0; --i) {
        if (format.headers[i].first.compare("Cookie", Qt::CaseInsensitive) == 0) // never sent to every host
            addCookieHeader(format.headers.takeAt(i).second, host, format.cookies);
    }
    addCookieField(f.value(QLatin1String("cookies")).toString(), host, format.cookies);
    format.cookies.removeIf([](const QByteArray &line) { return !isCookieSafe(line); });
    format.fragmentBaseUrl = f.value(QLatin1String("fragment_base_url")).toString();
    format.fragments = fragmentsOf(f.value(QLatin1String("fragments")).toArray());
    if (format.protocol.isEmpty()) // yt-dlp leaves it out for a plain file
        format.protocol = format.url.section(QLatin1Char(':'), 0, 0).toLower();
    return format;
}

bool isLive(const QJsonObject &o)
{
    const QString status = o.value(QLatin1String("live_status")).toString();
    return o.value(QLatin1String("is_live")).toBool(false) || status == QLatin1String("is_live")
           || status == QLatin1String("is_upcoming");
}

void readEntries(const QJsonArray &entries, Info &info)
{
    info.entryCount = int(entries.size());
    for (const QJsonValue &v : entries) {
        if (info.entries.size() >= MaxEntries)
            break;
        const QJsonObject e = v.toObject();
        QString url = e.value(QLatin1String("webpage_url")).toString();
        if (url.isEmpty())
            url = e.value(QLatin1String("url")).toString();
        if (!url.isEmpty())
            info.entries.append({url, e.value(QLatin1String("title")).toString()});
    }
}

// A picture a file can carry (JPEG, PNG) by its address's ending.
bool isCoverAddress(const QString &url)
{
    const QString path = QUrl(url).path().toLower();
    return path.endsWith(QLatin1String(".jpg")) || path.endsWith(QLatin1String(".jpeg"))
           || path.endsWith(QLatin1String(".png"));
}

// thumbnail, unless it is of a kind no file carries (WebP) and thumbnails,
// best last, offers a JPEG or PNG.
QString thumbnailOf(const QJsonObject &o)
{
    constexpr int MaxThumbnails = 200;
    const QString best = o.value(QLatin1String("thumbnail")).toString();
    if (isCoverAddress(best))
        return best;
    const QJsonArray all = o.value(QLatin1String("thumbnails")).toArray();
    for (qsizetype i = all.size() - 1; i >= qMax<qsizetype>(0, all.size() - MaxThumbnails); --i)
        if (const QString url = all.at(i).toObject().value(QLatin1String("url")).toString(); isCoverAddress(url))
            return url;
    return best;
}

QString artistOf(const QJsonObject &o)
{
    QStringList names;
    for (const QJsonValue &v : o.value(QLatin1String("artists")).toArray())
        if (v.isString() && names.size() < 20)
            names << v.toString();
    if (!names.isEmpty())
        return names.join(QLatin1String(", "));
    const QString artist = o.value(QLatin1String("artist")).toString();
    return artist.isEmpty() ? o.value(QLatin1String("creator")).toString() : artist;
}

void readAbout(const QJsonObject &o, Info &info)
{
    info.artist = artistOf(o);
    info.uploader = o.value(QLatin1String("uploader")).toString();
    info.uploadDate = o.value(QLatin1String("upload_date")).toString();
    info.description = o.value(QLatin1String("description")).toString();
    info.thumbnail = thumbnailOf(o);
}

} // namespace

std::optional<Info> parseInfo(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (!doc.isObject()) {
        if (error)
            *error = parseError.errorString();
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    Info info;
    info.id = o.value(QLatin1String("id")).toString();
    info.title = o.value(QLatin1String("title")).toString();
    info.extractor = o.value(QLatin1String("extractor")).toString();
    info.webpageUrl = o.value(QLatin1String("webpage_url")).toString();
    info.live = isLive(o);
    info.duration = qMax(0.0, o.value(QLatin1String("duration")).toDouble(0));
    readAbout(o, info);
    info.playlist = o.value(QLatin1String("_type")).toString() == QLatin1String("playlist");
    if (info.playlist)
        readEntries(o.value(QLatin1String("entries")).toArray(), info);
    const HeaderList videoHeaders = headersOf(o.value(QLatin1String("http_headers")).toObject());
    QJsonArray formats = o.value(QLatin1String("formats")).toArray();
    if (formats.isEmpty() && o.contains(QLatin1String("url"))) // a video of one format
        formats.append(o);
    for (const QJsonValue &f : formats) {
        if (info.formats.size() >= MaxFormats)
            break;
        info.formats.append(formatOf(f.toObject(), videoHeaders));
    }
    info.subtitles = readSubtitleFiles(o);
    return info;
}

bool isFetchable(const QString &protocol)
{
    static const QStringList known{"https", "http", "m3u8_native", "m3u8", "http_dash_segments"};
    return known.contains(protocol);
}

bool fitsMp4(const QString &codec, bool video)
{
    static const QStringList pictures{"avc1", "avc3", "h264", "hev1", "hvc1", "h265", "av01"};
    static const QStringList sounds{"mp4a", "aac", "ac-3", "ec-3", "mp3"};
    const QString family = codec.section(QLatin1Char('.'), 0, 0).toLower();
    return (video ? pictures : sounds).contains(family);
}

} // namespace vidrona::download::sitevideo
