// A streamed film of today's web: a page whose og:video is an HLS playlist
// of one-second TS pieces, made with the ffmpeg program the first time it
// is asked for (nothing is stored in the project), and sent slowly enough
// that a fetch of its pieces can be watched.
#include "sitekit.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace testweb {

namespace {

const QByteArray pages = "www.openclips.test";
const QByteArray media = "media.openclips.test";

// The folder of the playlist and its pieces; empty when ffmpeg is missing.
QString streamFolder()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made && dir.isValid()) {
        made = true;
        QProcess ffmpeg;
        ffmpeg.setWorkingDirectory(dir.path());
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {"-loglevel", "error", "-f", "lavfi", "-i", "testsrc2=size=480x270:rate=25:duration=20",
                      "-f", "lavfi", "-i", "sine=frequency=440:duration=20", "-c:v", "libx264", "-g", "25",
                      "-c:a", "aac", "-f", "hls", "-hls_time", "1", "-hls_playlist_type", "vod",
                      "-hls_segment_filename", "harbour-%03d.ts", "harbour.m3u8"});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
            return QString();
    }
    return QFile::exists(dir.filePath(QStringLiteral("harbour.m3u8"))) ? dir.path() : QString();
}

Response streamFile(const Request &req)
{
    const QString folder = streamFolder();
    const QString name = QString::fromLatin1(req.path.mid(req.path.lastIndexOf('/') + 1));
    QFile file(QDir(folder).filePath(name));
    if (folder.isEmpty() || name.contains(QLatin1Char('/')) || !file.open(QIODevice::ReadOnly))
        return Response::notFound();
    if (name.endsWith(QLatin1String(".m3u8")))
        return Response::text(file.readAll(), "application/vnd.apple.mpegurl");
    Response r = Response::bytes(file.readAll(), "video/mp2t");
    r.trickleMs = 100;
    r.trickleBytes = 4 << 10;
    return r;
}

} // namespace

void installStreamClip(Server &server)
{
    server.on(pages, "/harbour-stream.html",
              [](const Request &) {
                  return Response::html(
                      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<title>Harbour at dusk | OpenClips</title>\n"
                      "<meta property=\"og:title\" content=\"Harbour at dusk\">\n"
                      "<meta property=\"og:video\" content=\"http://media.openclips.test/hls/harbour.m3u8\">\n"
                      "</head>\n<body>\n<h1>Harbour at dusk</h1>\n<video id=\"player\"></video>\n</body>\n</html>\n");
              });
    server.onPrefix(media, "/hls/", streamFile);
}

} // namespace testweb
