#include "qualitychoice.h"
#include <QStringList>
#include <algorithm>

namespace vidrona::download::streams {

namespace {

// Past any real picture or rate: a word beyond them is no choice.
constexpr int MaxHeight = 8640;
constexpr int MaxKbps = 10000000;

bool withinRate(const Quality &q, const QualityChoice &choice)
{
    return choice.maxKbps <= 0 || q.bitrate <= qint64(choice.maxKbps) * 1000;
}

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
    QByteArray k = key.trimmed().toLower();
    int kbps = 0;
    if (const qsizetype at = k.indexOf('@'); at >= 0) {
        bool ok = false;
        kbps = k.mid(at + 1).toInt(&ok);
        if (!ok || kbps <= 0 || kbps > MaxKbps)
            return {};
        k.truncate(at);
    }
    if (k == "sound")
        return {0, true, kbps};
    if (k == "best")
        return {0, false, kbps};
    bool ok = false;
    const int height = k.toInt(&ok);
    // Any height a picture may have, not only the offered steps: a quality
    // picked from a list is kept by its own height.
    if (ok && height > 0 && height <= MaxHeight && k == QByteArray::number(height))
        return {height, false, kbps};
    return {};
}

QByteArray QualityChoice::key() const
{
    QByteArray k = sound ? QByteArray("sound") : maxHeight > 0 ? QByteArray::number(maxHeight) : QByteArray("best");
    return maxKbps > 0 ? k + '@' + QByteArray::number(maxKbps) : k;
}

QString QualityChoice::label() const
{
    const QString base = sound ? QStringLiteral("sound") : maxHeight > 0 ? QStringLiteral("%1p").arg(maxHeight) : QString();
    if (maxKbps <= 0)
        return base;
    return (base.isEmpty() ? QStringLiteral("best") : base) + QStringLiteral(" %1k").arg(maxKbps);
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
        const bool fits = (choice.maxHeight <= 0 || (q.height > 0 && q.height <= choice.maxHeight)) && withinRate(q, choice);
        if (fits && (best < 0 || better(q, qualities[best])))
            best = i;
    }
    return best >= 0 ? best : smallest;
}

int chooseSound(const QList<Quality> &qualities, const QualityChoice &choice)
{
    int best = -1, lowest = -1;
    for (int i = 0; i < qualities.size(); ++i) {
        const Quality &q = qualities[i];
        if (!q.sound || q.video)
            continue;
        if (lowest < 0 || q.bitrate < qualities[lowest].bitrate)
            lowest = i;
        if (withinRate(q, choice) && (best < 0 || q.bitrate > qualities[best].bitrate))
            best = i;
    }
    return best >= 0 ? best : lowest;
}

QualityChoice choiceFor(const QList<Quality> &qualities, int index)
{
    if (index < 0 || index >= qualities.size())
        return {};
    const Quality &q = qualities[index];
    QualityChoice choice{q.video ? q.height : 0, !q.video};
    const auto takes = [&] { return q.video ? chooseVideo(qualities, choice) : chooseSound(qualities, choice); };
    // Rounded up, so that the bound never leaves out the one it names.
    if (takes() != index && q.bitrate > 0)
        choice.maxKbps = int(qMin<qint64>((q.bitrate + 999) / 1000, MaxKbps));
    return choice;
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

} // namespace vidrona::download::streams

namespace vidrona::download::streams {

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
        if (const int i = chooseSound(qualities, choice); i >= 0)
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
    // A picture takes the best sound with it, whatever bound it has itself.
    const int sound = chooseSound(qualities, choice.sound ? choice : QualityChoice{0, true});
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

} // namespace vidrona::download::streams

namespace vidrona::download::streams {

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
    const QStringList words = stem.mid(open + 2).chopped(1).split(QLatin1Char(' '));
    if (words.size() > 2)
        return {};
    QString key = words.first();
    if (key.endsWith(QLatin1Char('p')))
        key.chop(1);
    else if (key != QLatin1String("sound") && !(key == QLatin1String("best") && words.size() == 2))
        return {};
    if (words.size() == 2) {
        if (!words.last().endsWith(QLatin1Char('k')))
            return {};
        key += QLatin1Char('@') + words.last().chopped(1);
    }
    const QualityChoice choice = QualityChoice::fromKey(key.toLatin1());
    return choice.label() == stem.mid(open + 2).chopped(1) ? choice : QualityChoice{};
}

} // namespace vidrona::download::streams
