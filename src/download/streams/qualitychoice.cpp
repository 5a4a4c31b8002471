#include "qualitychoice.h"
#include <QLocale>
#include <QStringList>
#include <algorithm>

namespace vidrona::streams {

namespace {

// The heights the settings offer, tallest first.
constexpr int Heights[] = {2160, 1440, 1080, 720, 480};

bool isSoundCodec(const QByteArray &codec)
{
    static const char *const sound[] = {"mp4a", "opus", "vorbis", "flac", "ac-3", "ec-3", "ac-4", "mp3", "alac", "dts"};
    for (const char *s : sound)
        if (codec.startsWith(s))
            return true;
    return false;
}

bool isTextCodec(const QByteArray &codec)
{
    return codec.startsWith("wvtt") || codec.startsWith("stpp") || codec.startsWith("tx3g");
}

// What a CODECS list holds; nothing known when it is empty.
void readCodecs(Quality &q)
{
    if (q.codecs.trimmed().isEmpty())
        return;
    q.video = q.sound = false;
    for (QByteArray c : q.codecs.split(',')) {
        c = c.trimmed().toLower();
        if (isSoundCodec(c))
            q.sound = true;
        else if (!c.isEmpty() && !isTextCodec(c))
            q.video = true;
    }
}

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

qint64 Quality::size(bool *about) const
{
    if (about)
        *about = bytes < 0;
    if (bytes >= 0)
        return bytes;
    return bitrate > 0 && seconds > 0 ? qint64(double(bitrate) * seconds / 8) : -1;
}

QualityChoice QualityChoice::fromKey(const QByteArray &key)
{
    const QByteArray k = key.trimmed().toLower();
    if (k == "sound")
        return {0, true};
    for (int h : Heights)
        if (k == QByteArray::number(h))
            return {h, false};
    return {};
}

QByteArray QualityChoice::key() const
{
    return sound ? QByteArray("sound") : maxHeight > 0 ? QByteArray::number(maxHeight) : QByteArray("best");
}

QString QualityChoice::label() const
{
    return sound ? QStringLiteral("sound") : maxHeight > 0 ? QStringLiteral("%1p").arg(maxHeight) : QString();
}

int chooseVideo(const QList<Quality> &qualities, const QualityChoice &choice)
{
    const auto better = [](const Quality &a, const Quality &b) {
        if (a.bitrate != b.bitrate)
            return a.bitrate > b.bitrate;
        return qint64(a.width) * a.height > qint64(b.width) * b.height;
    };
    int best = -1, smallest = -1;
    for (int i = 0; i < qualities.size(); ++i) {
        const Quality &q = qualities[i];
        if (!q.video)
            continue;
        if (smallest < 0 || q.height < qualities[smallest].height
            || (q.height == qualities[smallest].height && q.bitrate < qualities[smallest].bitrate))
            smallest = i;
        const bool fits = choice.maxHeight <= 0 || (q.height > 0 && q.height <= choice.maxHeight);
        if (fits && (best < 0 || better(q, qualities[best])))
            best = i;
    }
    return best >= 0 ? best : smallest;
}

int chooseSound(const QList<Quality> &qualities)
{
    int best = -1;
    for (int i = 0; i < qualities.size(); ++i)
        if (qualities[i].sound && !qualities[i].video && (best < 0 || qualities[i].bitrate > qualities[best].bitrate))
            best = i;
    return best;
}

QString describeQuality(const Quality &q)
{
    QStringList parts;
    if (q.width > 0 && q.height > 0)
        parts << QStringLiteral("%1×%2").arg(q.width).arg(q.height);
    else if (!q.video && q.sound)
        parts << QStringLiteral("sound only");
    if (q.frameRate > 0)
        parts << QStringLiteral("%1 fps").arg(QLocale::c().toString(q.frameRate, 'g', 4));
    if (!q.codecs.isEmpty())
        parts << QString::fromLatin1(q.codecs);
    if (q.bitrate > 0)
        parts << (q.bitrate >= 1000000 ? QStringLiteral("%1 Mb/s").arg(QLocale::c().toString(q.bitrate / 1e6, 'f', 1))
                                       : QStringLiteral("%1 kb/s").arg(q.bitrate / 1000));
    bool about = false;
    if (const qint64 bytes = q.size(&about); bytes >= 0)
        parts << (about ? QStringLiteral("about ") : QString()) + sizeText(bytes);
    return parts.join(QStringLiteral(", "));
}

QList<Quality> hlsQualities(const HlsMaster &master, double seconds)
{
    QList<Quality> out;
    for (const HlsVariant &v : master.variants) {
        Quality q;
        q.width = v.width;
        q.height = v.height;
        q.frameRate = v.frameRate;
        q.codecs = v.codecs;
        q.bitrate = v.bandwidth;
        q.seconds = seconds;
        readCodecs(q);
        if (v.soundOnly()) // the playlist reader's own rule: never taken as a picture
            q.video = false, q.sound = true;
        if (q.codecs.isEmpty() && q.height > 0)
            q.sound = v.audioGroup.isEmpty(); // a picture's size; its sound, unless it comes apart
        out << q;
    }
    return out;
}

QList<Quality> dashQualities(const DashManifest &manifest)
{
    QList<Quality> out;
    for (const DashTrack &t : manifest.tracks) {
        Quality q;
        q.video = t.kind == "video";
        q.sound = t.kind == "audio";
        q.width = t.width;
        q.height = t.height;
        q.frameRate = t.frameRate;
        q.codecs = t.codecs;
        q.bitrate = t.bandwidth;
        q.seconds = manifest.seconds;
        q.language = t.language;
        out << q;
    }
    return out;
}

} // namespace vidrona::streams

namespace vidrona::streams {

namespace {

// The sound renditions with a playlist of their own: the default first.
std::optional<QUrl> soundRendition(const HlsMaster &master)
{
    std::optional<QUrl> first;
    for (const HlsRendition &r : master.renditions) {
        if (r.type != "AUDIO" || r.url.isEmpty())
            continue;
        if (r.isDefault)
            return r.url;
        if (!first)
            first = r.url;
    }
    return first;
}

} // namespace

QList<QUrl> hlsChoice(const HlsMaster &master, const QualityChoice &choice)
{
    const QList<Quality> qualities = hlsQualities(master);
    if (choice.sound) {
        if (const std::optional<QUrl> audio = soundRendition(master))
            return {*audio};
        if (const int i = chooseSound(qualities); i >= 0)
            return {master.variants.at(i).url};
    }
    int i = chooseVideo(qualities, choice.sound ? QualityChoice{1, false} : choice);
    if (i < 0) // no variant says it holds a picture: the best of them all
        i = int(std::max_element(qualities.begin(), qualities.end(),
                                 [](const Quality &a, const Quality &b) { return a.bitrate < b.bitrate; })
                - qualities.begin());
    const HlsVariant &variant = master.variants.at(i);
    QList<QUrl> urls{variant.url};
    if (const std::optional<QUrl> audio = audioFor(master, variant))
        urls << *audio;
    return urls;
}

QList<DashTrack> dashChoice(const DashManifest &manifest, const QualityChoice &choice)
{
    const QList<Quality> qualities = dashQualities(manifest);
    const int sound = chooseSound(qualities);
    if (choice.sound && sound >= 0)
        return {manifest.tracks.at(sound)};
    const int video = chooseVideo(qualities, choice.sound ? QualityChoice{1, false} : choice);
    QList<DashTrack> out;
    if (video >= 0)
        out << manifest.tracks.at(video);
    if (sound >= 0)
        out << manifest.tracks.at(sound);
    return out;
}

} // namespace vidrona::streams

namespace vidrona::streams {

QString nameWithChoice(const QString &name, const QualityChoice &choice, bool mp3)
{
    if (choice.isBest())
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = choice.sound ? QString::fromLatin1(mp3 ? ".mp3" : ".m4a") : dot > 0 ? name.mid(dot) : QString();
    return QStringLiteral("%1 (%2)%3").arg(stem, choice.label(), extension);
}

QualityChoice choiceInName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    if (!stem.endsWith(QLatin1Char(')')))
        return {};
    const qsizetype open = stem.lastIndexOf(QStringLiteral(" ("));
    if (open < 0)
        return {};
    QString label = stem.mid(open + 2).chopped(1);
    if (label.endsWith(QLatin1Char('p')))
        label.chop(1);
    else if (label != QLatin1String("sound"))
        return {};
    const QualityChoice choice = QualityChoice::fromKey(label.toLatin1());
    return choice.key() == label.toLatin1() ? choice : QualityChoice{};
}

} // namespace vidrona::streams
