#include "formats.h"
#include "sitesubtitles.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>
#include <algorithm>

namespace vidrona::sitevideo {

namespace {

constexpr int MaxCookies = 200;

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

// "a=1; b=2" as cookie-file lines for host.
void addCookieHeader(const QByteArray &header, const QString &host, QList<QByteArray> &lines)
{
    for (const QByteArray &pair : header.split(';')) {
        const int eq = pair.indexOf('=');
        if (eq > 0 && lines.size() < MaxCookies)
            lines.append(host.toLatin1() + "\tFALSE\t/\tFALSE\t0\t" + pair.left(eq).trimmed() + '\t' + pair.mid(eq + 1).trimmed());
    }
}

// "n=v; Domain=.x.test; Path=/; Secure; Expires=123; m=w; ..." as cookie-file lines.
void addCookieField(const QString &field, const QString &host, QList<QByteArray> &lines)
{
    QByteArray name, value, domain = host.toLatin1(), path = "/", secure = "FALSE", expires = "0";
    const auto flush = [&] {
        if (!name.isEmpty() && lines.size() < MaxCookies)
            lines.append(domain + '\t' + (domain.startsWith('.') ? "TRUE" : "FALSE") + '\t' + path + '\t' + secure + '\t'
                         + expires + '\t' + name + '\t' + value);
        name.clear();
        domain = host.toLatin1(), path = "/", secure = "FALSE", expires = "0";
    };
    for (const QString &part : field.split(QLatin1Char(';'))) {
        const QByteArray p = part.trimmed().toLatin1();
        const int eq = p.indexOf('=');
        const QByteArray key = (eq < 0 ? p : p.left(eq)).toLower();
        if (key == "domain")
            domain = p.mid(eq + 1);
        else if (key == "path")
            path = p.mid(eq + 1);
        else if (key == "secure")
            secure = "TRUE";
        else if (key == "expires")
            expires = p.mid(eq + 1);
        else if (eq > 0) {
            flush();
            name = p.left(eq);
            value = p.mid(eq + 1);
        }
    }
    flush();
}

// Line breaks and tabs would make other lines of the cookie file.
bool isCookieSafe(const QByteArray &line)
{
    return !line.contains('\n') && !line.contains('\r') && line.count('\t') == 6;
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

namespace {

enum class Side { Picture, Sound, Both };

// A format that names "none" for one side carries only the other; one
// that names neither (a generic playlist) is taken as a whole video.
Side sideOf(const Format &f)
{
    if (f.acodec == QLatin1String("none") && f.vcodec != QLatin1String("none"))
        return Side::Picture;
    if (f.vcodec == QLatin1String("none") && f.acodec != QLatin1String("none"))
        return Side::Sound;
    return Side::Both;
}

streams::Quality qualityOf(const Format &f, double seconds)
{
    streams::Quality q;
    q.video = sideOf(f) != Side::Sound;
    q.sound = sideOf(f) != Side::Picture;
    q.width = f.width;
    q.height = f.height;
    q.frameRate = f.fps;
    QStringList codecs;
    for (const QString &c : {f.vcodec, f.acodec})
        if (!c.isEmpty() && c != QLatin1String("none"))
            codecs << c;
    q.codecs = codecs.join(QLatin1Char(',')).toLatin1();
    q.bitrate = qint64(f.tbr * 1000);
    q.bytes = f.sizeExact ? f.filesize : -1;
    q.seconds = seconds;
    q.language = f.language;
    return q;
}

// The formats of one side (that fit MP4 when mp4 is set), as qualities,
// with where each lies in formats.
struct Candidates {
    QList<streams::Quality> qualities;
    QList<int> at;
};

Candidates candidates(const QList<Format> &formats, Side side, bool mp4)
{
    Candidates c;
    for (int i = 0; i < formats.size(); ++i) {
        const Format &f = formats[i];
        if (sideOf(f) != side)
            continue;
        if (mp4 && side != Side::Sound && !fitsMp4(f.vcodec, true))
            continue;
        if (mp4 && side != Side::Picture && !fitsMp4(f.acodec, false))
            continue;
        c.qualities.append(qualityOf(f, 0));
        c.at.append(i);
    }
    return c;
}

// The one rule, within one side's candidates; nullptr when there is none.
const Format *pick(const QList<Format> &formats, Side side, bool mp4, const streams::QualityChoice &choice)
{
    const Candidates c = candidates(formats, side, mp4);
    const int i = side == Side::Sound ? streams::chooseSound(c.qualities) : streams::chooseVideo(c.qualities, choice);
    return i >= 0 ? &formats[c.at[i]] : nullptr;
}

Choice made(const QList<Format> &parts, const QString &container)
{
    Choice c;
    c.parts = parts;
    c.container = container;
    return c;
}

Choice refused(const QString &why)
{
    Choice c;
    c.refusal = why;
    return c;
}

QString wholeContainer(const Format &whole)
{
    return whole.ext == QLatin1String("mp4") || whole.protocol.startsWith(QLatin1String("m3u8")) ? QStringLiteral("mp4")
                                                                                                  : whole.ext;
}

// A picture with the best sound beside it, for MP4 when both fit.
Choice withSound(const Format &picture, const QList<Format> &usable)
{
    const bool mp4Picture = fitsMp4(picture.vcodec, true);
    const Format *sound = mp4Picture ? pick(usable, Side::Sound, true, {}) : nullptr;
    if (!sound)
        sound = pick(usable, Side::Sound, false, {});
    if (!sound)
        return made({picture}, picture.ext);
    return made({picture, *sound}, mp4Picture && fitsMp4(sound->acodec, false) ? "mp4" : "mkv");
}

// A pair, else a whole file, by the choice; strict: only one whose picture
// is within the height chosen, so that a small muxed file beats a pair too
// tall for the choice.
std::optional<Choice> pictureChoice(const QList<Format> &usable, const streams::QualityChoice &choice, bool strict)
{
    const auto within = [&](const Format *f) {
        return !strict || choice.maxHeight <= 0 || (f->height > 0 && f->height <= choice.maxHeight);
    };
    for (bool mp4 : {true, false}) {
        const Format *picture = pick(usable, Side::Picture, mp4, choice);
        const Format *sound = pick(usable, Side::Sound, mp4, choice);
        if (picture && sound && within(picture))
            return made({*picture, *sound}, mp4 ? "mp4" : "mkv");
    }
    if (const Format *whole = pick(usable, Side::Both, false, choice); whole && within(whole))
        return made({*whole}, wholeContainer(*whole));
    return std::nullopt;
}

Choice pickFrom(const QList<Format> &usable, const streams::QualityChoice &choice)
{
    if (choice.sound) {
        if (const Format *sound = pick(usable, Side::Sound, false, choice))
            return made({*sound}, sound->ext);
        // No sound alone: the smallest whole video, its picture dropped.
        if (const Format *whole = pick(usable, Side::Both, false, {1, false}))
            return made({*whole}, wholeContainer(*whole));
    }
    // Within the height first; else the smallest the rule gives.
    for (bool strict : {true, false})
        if (std::optional<Choice> c = pictureChoice(usable, choice, strict))
            return *c;
    if (const Format *picture = pick(usable, Side::Picture, false, choice))
        return made({*picture}, picture->ext);
    return refused(QStringLiteral("No video format was found at this address."));
}

// The format the user picked from the list, when it can be fetched.
Choice pickedFrom(const Format &picked, const QList<Format> &usable)
{
    if (sideOf(picked) == Side::Picture)
        return withSound(picked, usable);
    return made({picked}, sideOf(picked) == Side::Sound ? picked.ext : wholeContainer(picked));
}

} // namespace

QList<streams::Quality> qualities(const Info &info)
{
    QList<streams::Quality> out;
    for (const Format &f : info.formats)
        out.append(qualityOf(f, info.duration));
    return out;
}

Choice choose(const Info &info, const Wish &wish)
{
    if (info.live)
        return refused(QStringLiteral("This is a live stream: it has no end to save."));
    QList<Format> usable;
    QString unreadProtocol;
    bool drm = false;
    for (const Format &f : info.formats) {
        if (f.hasDrm)
            drm = true;
        else if (!isFetchable(f.protocol))
            unreadProtocol = f.protocol;
        else if (!f.url.isEmpty())
            usable.append(f);
    }
    if (usable.isEmpty() && drm)
        return refused(QStringLiteral("This video is protected (DRM): only the site's own player may play it."));
    if (usable.isEmpty() && !unreadProtocol.isEmpty())
        return refused(QStringLiteral("This video is offered only over %1, which Vidrona does not fetch.").arg(unreadProtocol));
    const Format *picked = wish.picked >= 0 && wish.picked < info.formats.size() ? &info.formats[wish.picked] : nullptr;
    Choice choice = picked && usable.contains(*picked) ? pickedFrom(*picked, usable) : pickFrom(usable, wish.choice());
    if (choice.ok() && !wish.choice().isBest())
        choice.quality = wish.choice().key();
    choice.subtitles = info.subtitles;
    return choice;
}

namespace {

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
    for (const QJsonValue &p : parts)
        choice.parts.append(formatFromJson(p.toObject()));
    choice.subtitles = subtitleFilesFromJson(doc.object().value(QLatin1String("subtitles")).toArray());
    return choice;
}

} // namespace vidrona::sitevideo
