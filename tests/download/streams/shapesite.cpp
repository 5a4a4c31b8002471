#include "shapesite.h"
#include "support/testenv.h"
#include <QDir>
#include <QFileInfo>

namespace vidrona::test {

namespace {

// A handwritten manifest: templates at a timescale of 1 000 000, one piece
// a second, as ffmpeg cut them.
QString element(const MpdForm &f, const QString &name)
{
    return f.prefixed ? "mpd:" + name : name;
}

QString periodText(const MpdForm &f, const MpdPeriod &p, int n)
{
    const auto e = [&f](const QString &name) { return element(f, name); };
    const QString media = "media=\"chunk-stream$RepresentationID$-$Number%05d$.m4s\"";
    const QString init = "initialization=\"init-stream$RepresentationID$.m4s\"";
    const QString timing = QString("timescale=\"1000000\" duration=\"1000000\" startNumber=\"1\" "
                                   "presentationTimeOffset=\"%1\"").arg(p.offsetMicros);
    // One period takes its length from the manifest's duration.
    QString t = QString("<%1 id=\"%2\"%3>").arg(e("Period")).arg(n).arg(f.periods.size() > 1 ? " duration=\"PT4S\"" : "");
    if (f.inherited) {
        t += QString("<%1>%2/</%1>").arg(e("BaseURL"), p.pack);
        t += QString("<%1 %2 %3/>").arg(e("SegmentTemplate"), timing, media);
        t += QString("<%1 mimeType=\"video/mp4\"><%2 %3/><%4 id=\"0\" bandwidth=\"1400000\" width=\"160\" "
                     "height=\"120\"/></%1>").arg(e("AdaptationSet"), e("SegmentTemplate"), init, e("Representation"));
        t += QString("<%1 mimeType=\"audio/mp4\"><%2 id=\"1\" bandwidth=\"48000\"><%3 %4/></%2></%1>")
                 .arg(e("AdaptationSet"), e("Representation"), e("SegmentTemplate"), init);
    } else {
        t += QString("<%1>packs/%2/</%1>").arg(e("BaseURL"), p.pack);
        for (const QString &kind : {QString("video"), QString("audio")})
            t += QString("<%1 mimeType=\"%2/mp4\"><%3 id=\"%4\" bandwidth=\"1000\"><%5 %6 %7 %8/></%3></%1>")
                     .arg(e("AdaptationSet"), kind, e("Representation"), kind == "video" ? "0" : "1",
                          e("SegmentTemplate"), timing, media, init);
    }
    return t + QString("</%1>").arg(e("Period"));
}

} // namespace

QString ShapeClips::path(const QString &relative) const
{
    return QDir(m_clips.folder()).filePath(relative);
}

bool ShapeClips::dashPack(const QString &name, const QString &source, int offsetSeconds)
{
    const QString into = path("dashshapes/packs/" + name);
    if (QFileInfo::exists(into + "/index.mpd"))
        return true;
    QDir().mkpath(into);
    return runTool("ffmpeg", {"-v", "error", "-i", source, "-c", "copy", "-output_ts_offset",
                              QString::number(offsetSeconds), "-f", "dash", "-seg_duration", "1", "-use_template",
                              "1", "-use_timeline", "0", into + "/index.mpd"});
}

QString ShapeClips::mpd(const QString &name, const MpdForm &f)
{
    QString text = QString("<?xml version=\"1.0\"?>\n<%1 %2=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" "
                           "mediaPresentationDuration=\"%3\">")
                       .arg(element(f, "MPD"), f.prefixed ? "xmlns:mpd" : "xmlns", f.duration);
    if (f.inherited)
        text += QString("<%1>packs/</%1>").arg(element(f, "BaseURL"));
    for (int i = 0; i < f.periods.size(); ++i)
        text += periodText(f, f.periods.at(i), i);
    text += QString("</%1>\n").arg(element(f, "MPD"));
    writeFile(path("dashshapes"), name + ".mpd", text.toUtf8());
    return "dashshapes/" + name + ".mpd";
}

QString ShapeClips::withGaps(const QString &name, const QList<int> &gaps)
{
    const QString top = m_clips.make("ts");
    QByteArray out;
    int piece = 0;
    bool gap = false;
    for (const QByteArray &line : readFile(path(top)).split('\n')) {
        if (line.startsWith("#EXTINF") && (gap = gaps.contains(piece)))
            out += "#EXT-X-GAP\n";
        if (!line.isEmpty() && !line.startsWith('#'))
            out += (gap ? "missing" + QByteArray::number(piece) + ".ts" : line) + '\n', ++piece;
        else
            out += line + '\n';
    }
    writeFile(QFileInfo(path(top)).path(), name + ".m3u8", out);
    return QFileInfo(top).path() + "/" + name + ".m3u8";
}

bool ShapeClips::hls(const QString &into, const QString &source, const QStringList &more)
{
    if (QFileInfo::exists(path(into)))
        return true;
    QDir().mkpath(QFileInfo(path(into)).path());
    return runTool("ffmpeg", QStringList{"-v", "error", "-i", source, "-c", "copy"} + more
                                 + QStringList{"-f", "hls", "-hls_time", "1", "-hls_playlist_type", "vod", path(into)});
}

QString ShapeClips::newInit(const QString &name, const QString &first, const QString &second)
{
    const QStringList fmp4{"-hls_segment_type", "fmp4"};
    if (!hls("newinit/" + first + "/index.m3u8", path(first + ".mp4"), fmp4)
        || !hls("newinit/" + second + "/index.m3u8", path(second + ".mp4"), fmp4))
        return {};
    QByteArray out = "#EXTM3U\n#EXT-X-VERSION:7\n#EXT-X-TARGETDURATION:1\n#EXT-X-PLAYLIST-TYPE:VOD\n";
    for (const QString &part : {first, second}) {
        if (part == second)
            out += "#EXT-X-DISCONTINUITY\n";
        for (QByteArray line : readFile(path("newinit/" + part + "/index.m3u8")).split('\n')) {
            if (line.startsWith("#EXT-X-MAP:URI=\""))
                out += "#EXT-X-MAP:URI=\"" + part.toUtf8() + "/" + line.mid(16) + '\n';
            else if (line.startsWith("#EXTINF"))
                out += line + '\n';
            else if (!line.isEmpty() && !line.startsWith('#'))
                out += part.toUtf8() + "/" + line + '\n';
        }
    }
    writeFile(path("newinit"), name + ".m3u8", out + "#EXT-X-ENDLIST\n");
    return "newinit/" + name + ".m3u8";
}

QString ShapeClips::master(const QString &name, const QString &text)
{
    if (!hls("variants/sound/index.m3u8", m_clips.reference(), {"-vn"})
        || !hls("variants/both/index.m3u8", m_clips.reference(), {}))
        return {};
    writeFile(path("variants"), name + ".m3u8", QString(text).replace("%1", "sound/index.m3u8").replace("%2", "both/index.m3u8").toUtf8());
    return "variants/" + name + ".m3u8";
}

namespace {

// ID3v2 with one PRIV frame: the 90 kHz time of the sound that follows.
QByteArray id3Timestamp(qint64 stamp, int version)
{
    const auto syncsafe = [](qint64 n) {
        QByteArray b(4, '\0');
        for (int i = 3; i >= 0; --i, n >>= 7)
            b[i] = char(n & 0x7f);
        return b;
    };
    QByteArray data = "com.apple.streaming.transportStreamTimestamp";
    data += '\0';
    for (int i = 7; i >= 0; --i)
        data += char((quint64(stamp) >> (8 * i)) & 0xff);
    QByteArray size = syncsafe(data.size());
    if (version == 3)
        size = QByteArray::fromHex(QByteArray::number(qint64(data.size()), 16).rightJustified(8, '0'));
    const QByteArray frame = "PRIV" + size + QByteArray(2, '\0') + data;
    return "ID3" + QByteArray(1, char(version)) + QByteArray(2, '\0') + syncsafe(frame.size()) + frame;
}

// ADTS frames in an .aac piece: each holds 1024 samples.
int adtsFrames(const QByteArray &aac)
{
    int frames = 0;
    for (qsizetype at = 0; at + 7 <= aac.size() && uchar(aac[at]) == 0xff; ++frames)
        at += ((uchar(aac[at + 3]) & 0x03) << 11) | (uchar(aac[at + 4]) << 3) | (uchar(aac[at + 5]) >> 5);
    return frames;
}

} // namespace

QString ShapeClips::packedAudio(int id3Version, double jumpSeconds)
{
    const QString name = QString("packed%1-%2").arg(id3Version).arg(jumpSeconds);
    const QString folder = path(name);
    if (!hls(name + "/v/index.m3u8", m_clips.reference(), {"-an"}) || !QDir().mkpath(folder + "/a")
        || !runTool("ffmpeg", {"-v", "error", "-i", m_clips.reference(), "-vn", "-c:a", "copy", "-f", "segment",
                               "-segment_time", "1", folder + "/a/raw%d.aac"}))
        return {};
    const double videoStart = firstFrameSeconds(folder + "/v/index0.ts");
    qint64 samples = 0;
    QByteArray list = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXT-X-PLAYLIST-TYPE:VOD\n";
    for (int i = 0; QFileInfo::exists(folder + QString("/a/raw%1.aac").arg(i)); ++i) {
        const QByteArray raw = readFile(folder + QString("/a/raw%1.aac").arg(i));
        const double jump = i >= 2 ? jumpSeconds : 0;
        const qint64 stamp = qRound64((videoStart + jump) * 90000) + samples * 90000 / 44100;
        writeFile(folder + "/a", QString("piece%1.aac").arg(i), id3Timestamp(stamp, id3Version) + raw);
        samples += qint64(adtsFrames(raw)) * 1024;
        if (i == 2 && jumpSeconds != 0)
            list += "#EXT-X-DISCONTINUITY\n";
        list += "#EXTINF:" + QByteArray::number(adtsFrames(raw) * 1024 / 44100.0) + ",\npiece" + QByteArray::number(i) + ".aac\n";
    }
    writeFile(folder + "/a", "index.m3u8", list + "#EXT-X-ENDLIST\n");
    writeFile(folder, "master.m3u8", "#EXTM3U\n#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aud\",NAME=\"en\",DEFAULT=YES,"
                                     "URI=\"a/index.m3u8\"\n#EXT-X-STREAM-INF:BANDWIDTH=800000,RESOLUTION=160x120,"
                                     "CODECS=\"avc1.f4000c,mp4a.40.2\",AUDIO=\"aud\"\nv/index.m3u8\n");
    return videoStart > 0.5 ? name + "/master.m3u8" : QString(); // a clock well after zero, as TS pieces have
}

QString ShapeClips::otherEncoding()
{
    const QString out = path("other.mp4");
    if (!QFileInfo::exists(out))
        runTool("ffmpeg", QString("-v error -f lavfi -i testsrc2=size=160x120:rate=10:duration=4 -f lavfi -i "
                                  "sine=frequency=880:duration=4 -c:v libx264 -profile:v baseline -g 5 -qp 20 "
                                  "-pix_fmt yuv420p -c:a aac -b:a 48k").split(' ') << out);
    return out;
}

} // namespace vidrona::test
