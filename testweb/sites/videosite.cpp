// A site shaped like the big video sites that only yt-dlp reads: its watch
// page names no video, and its media host serves a picture-only MP4 and a
// sound-only M4A (and the same as HLS playlists, and the picture as DASH
// fragments; and a VP9 picture and an Opus sound in WebM), made with the ffmpeg
// program the first time they are asked for. Like those sites it answers
// 403 to an address whose expire= time has passed (or whose signature
// is "revoked") or to a request without
// the site's token header, gives each connection at most 4 MiB/s, and
// slows every answer longer than its chunk
// size (one request for the whole file included).
#include "sitekit.h"
#include <QDateTime>
#include <QDir>
#include <QSet>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace testweb {

namespace {

const QByteArray pages = "www.rivertube.test";
const QByteArray media = "media.rivertube.test";
constexpr qint64 ChunkBytes = 1 << 20;
constexpr qint64 SlowBytesPerSecond = 256 << 10;
constexpr qint64 ConnectionBytesPerSecond = 4 << 20; // so that a fetch can be watched, and cut

bool runFfmpeg(const QString &folder, const QStringList &args)
{
    QProcess ffmpeg;
    ffmpeg.setWorkingDirectory(folder);
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-loglevel", "error", "-y"} + args);
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0;
}

// The folder of the media; empty when ffmpeg is missing.
QString mediaFolder()
{
    static QTemporaryDir dir;
    static bool made = false;
    static bool ok = false;
    if (!made && dir.isValid()) {
        made = true;
        const QString d = dir.path();
        ok = runFfmpeg(d, {"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25:duration=6", "-c:v", "libx264",
                           "-preset", "ultrafast", "-b:v", "12M", "-g", "25", "-an", "video.mp4"})
             && runFfmpeg(d, {"-f", "lavfi", "-i", "sine=frequency=440:duration=6", "-c:a", "aac", "-vn", "audio.m4a"})
             && QDir(d).mkpath("hls")
             && runFfmpeg(d, {"-i", "video.mp4", "-c", "copy", "-f", "hls", "-hls_time", "1", "-hls_playlist_type", "vod",
                              "-hls_segment_filename", "hls/v-%03d.ts", "hls/video.m3u8"})
             && runFfmpeg(d, {"-i", "audio.m4a", "-c", "copy", "-f", "hls", "-hls_time", "1", "-hls_playlist_type", "vod",
                              "-hls_segment_filename", "hls/a-%03d.ts", "hls/audio.m3u8"})
             && QDir(d).mkpath("dash")
             && runFfmpeg(d, {"-i", "video.mp4", "-c", "copy", "-f", "dash", "-seg_duration", "1", "-use_template", "1",
                              "-use_timeline", "0", "-init_seg_name", "init.mp4", "-media_seg_name", "seg-$Number$.m4s",
                              "dash/manifest.mpd"});
    }
    return ok ? dir.path() : QString();
}

// The WebM pair (a VP9 picture, an Opus sound: formats that fit only
// Matroska) is made the first time one of them is asked for.
bool madeWebm(const QString &folder)
{
    static const bool ok = !folder.isEmpty()
                           && runFfmpeg(folder, {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=3", "-c:v",
                                                 "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-b:v", "300k",
                                                 "-an", "video.webm"})
                           && runFfmpeg(folder, {"-f", "lavfi", "-i", "sine=frequency=330:duration=3", "-c:a", "libopus",
                                                 "-vn", "audio.webm"});
    return ok;
}

QByteArray fileBytes(const QString &relative)
{
    const QString folder = mediaFolder();
    if (relative.endsWith(QLatin1String(".webm")) && !madeWebm(folder))
        return QByteArray();
    QFile file(QDir(folder).filePath(relative));
    if (folder.isEmpty() || relative.contains(QLatin1String("..")) || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// A time past, or a signature the site took back.
bool expired(const Request &req)
{
    const QByteArray expire = kit::queryValue(req.query, "expire");
    return (!expire.isEmpty() && expire.toLongLong() < QDateTime::currentSecsSinceEpoch())
           || kit::queryValue(req.query, "sig") == "revoked";
}

// Ranges as such a site answers them; the length asked decides the speed.
Response rangedBytes(const Request &req, const QByteArray &bytes, const QByteArray &type)
{
    const qint64 size = bytes.size();
    const QByteArray range = req.header("Range");
    const int dash = range.indexOf('-');
    qint64 from = 0, last = size - 1;
    Response r = Response::bytes(QByteArray(), type);
    r.headers.append({"ETag", "\"vs-" + QByteArray::number(size) + "\""});
    if (range.startsWith("bytes=") && dash > 0) {
        from = range.mid(6, dash - 6).toLongLong();
        if (!range.endsWith('-'))
            last = qMin(range.mid(dash + 1).toLongLong(), size - 1);
        if (from >= size || last < from)
            return Response::html("<html><body>Range Not Satisfiable</body></html>", 416);
        r.status = 206;
        r.headers.append({"Content-Range", "bytes " + QByteArray::number(from) + '-' + QByteArray::number(last) + '/'
                                               + QByteArray::number(size)});
    }
    r.body = bytes.mid(from, last - from + 1);
    r.bytesPerSecond = r.body.size() > ChunkBytes ? SlowBytesPerSecond : ConnectionBytesPerSecond;
    return r;
}

Response mediaFile(const Request &req)
{
    const QString relative = QString::fromLatin1(req.path.mid(3)); // after "/v/"
    // The token guards every file: playlists and pieces too, so a stream
    // format is saved only when its headers go with each of its requests.
    if (expired(req) || req.header("X-Site-Token") != "t0k3n")
        return Response::html("<html><body>Forbidden</body></html>", 403);
    // An edge that has not got a piece yet: the first ask under each
    // "failonce" key answers "failstatus" (503 unless told), the next ones
    // the file.
    static QSet<QByteArray> failedOnce;
    if (const QByteArray once = kit::queryValue(req.query, "failonce"); !once.isEmpty() && !failedOnce.contains(once)) {
        failedOnce.insert(once);
        const int status = kit::queryValue(req.query, "failstatus").toInt();
        return Response::html("<html><body>Not yet</body></html>", status > 0 ? status : 503);
    }
    const QByteArray bytes = fileBytes(relative);
    if (bytes.isEmpty())
        return Response::notFound();
    if (relative.endsWith(QLatin1String(".m3u8")))
        return Response::text(bytes, "application/vnd.apple.mpegurl");
    const QByteArray type = relative.endsWith(QLatin1String(".ts"))     ? "video/mp2t"
                            : relative.endsWith(QLatin1String(".m4a"))  ? "audio/mp4"
                            : relative.endsWith(QLatin1String(".webm")) ? "video/webm"
                                                                        : "video/mp4";
    return rangedBytes(req, bytes, type);
}

} // namespace

void installVideoSite(Server &server)
{
    server.onPrefix(pages, "/watch", [](const Request &) {
        return kit::page("River at night", "<div id=\"player\"></div><script src=\"/player.js\"></script>");
    });
    server.onPrefix(media, "/v/", mediaFile);
}

} // namespace testweb
