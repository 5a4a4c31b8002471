// A talk offered in several qualities: a page whose <video> lists one file
// per size (<source size=...>, and a second page with res/label as other
// players write them), and an HLS master with four variants, a sound
// rendition and two subtitle renditions. The media are made with the
// ffmpeg program the first time they are asked for (nothing is stored in
// the project): short, small test pictures of the sizes they claim.
#include "sitekit.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace testweb {

namespace {

const QByteArray pages = "www.ladder.test";
const QByteArray media = "media.ladder.test";
const QList<QPair<int, int>> Sizes{{1920, 1080}, {1280, 720}, {854, 480}, {640, 360}};

bool run(const QString &folder, const QStringList &args)
{
    QProcess ffmpeg;
    ffmpeg.setWorkingDirectory(folder);
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-loglevel", "error", "-y"} + args);
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

QByteArray masterText()
{
    QByteArray m = "#EXTM3U\n#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aud\",NAME=\"English\",LANGUAGE=\"en\",DEFAULT=YES,"
                   "URI=\"sound.m3u8\"\n"
                   "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"subs\",NAME=\"English\",LANGUAGE=\"en\",URI=\"subs-en.m3u8\"\n"
                   "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"subs\",NAME=\"Deutsch\",LANGUAGE=\"de\",URI=\"subs-de.m3u8\"\n";
    for (const auto &[w, h] : Sizes)
        m += QStringLiteral("#EXT-X-STREAM-INF:BANDWIDTH=%1,RESOLUTION=%2x%3,CODECS=\"avc1.640028,mp4a.40.2\","
                            "FRAME-RATE=4,AUDIO=\"aud\",SUBTITLES=\"subs\"\nv%3.m3u8\n")
                 .arg(h * 4000).arg(w).arg(h).toLatin1();
    return m;
}

// Every file of the site, made once; empty when ffmpeg failed.
QString mediaFolder()
{
    static QTemporaryDir dir;
    static bool made = false, ok = false;
    if (made || !dir.isValid())
        return ok ? dir.path() : QString();
    made = true;
    ok = true;
    for (const auto &[w, h] : Sizes) {
        const QString size = QStringLiteral("testsrc=size=%1x%2:rate=4:duration=2").arg(w).arg(h);
        ok = ok && run(dir.path(), {"-f", "lavfi", "-i", size, "-c:v", "libx264", "-preset", "ultrafast",
                                    "-movflags", "+faststart", QStringLiteral("talk-%1.mp4").arg(h)})
             && run(dir.path(), {"-f", "lavfi", "-i", size, "-c:v", "libx264", "-preset", "ultrafast", "-g", "4",
                                 "-f", "hls", "-hls_time", "1", "-hls_playlist_type", "vod",
                                 "-hls_segment_filename", QStringLiteral("v%1-%03d.ts").arg(h),
                                 QStringLiteral("v%1.m3u8").arg(h)});
    }
    ok = ok && run(dir.path(), {"-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-c:a", "aac", "-f", "hls",
                                "-hls_time", "1", "-hls_playlist_type", "vod", "-hls_segment_filename", "sound-%03d.ts",
                                "sound.m3u8"});
    QFile master(dir.filePath(QStringLiteral("master.m3u8")));
    ok = ok && master.open(QIODevice::WriteOnly) && master.write(masterText()) > 0;
    return ok ? dir.path() : QString();
}

Response mediaFile(const Request &req)
{
    const QString folder = mediaFolder();
    const QString name = QString::fromLatin1(req.path.mid(req.path.lastIndexOf('/') + 1));
    QFile file(QDir(folder).filePath(name));
    if (folder.isEmpty() || name.isEmpty() || !file.open(QIODevice::ReadOnly))
        return Response::notFound();
    if (name.endsWith(QLatin1String(".m3u8")))
        return Response::text(file.readAll(), "application/vnd.apple.mpegurl");
    return Response::bytes(file.readAll(), name.endsWith(QLatin1String(".ts")) ? "video/mp2t" : "video/mp4");
}

QByteArray sourcesPage(const char *form)
{
    QByteArray sources;
    for (const auto &[w, h] : Sizes) {
        const QByteArray file = "http://" + media + "/talk-" + QByteArray::number(h) + ".mp4";
        const QByteArray tells = qstrcmp(form, "size") == 0 ? "size=\"" + QByteArray::number(h) + "\""
                                                             : "res=\"" + QByteArray::number(h) + "\" label=\""
                                                                   + QByteArray::number(h) + "p\"";
        sources += "<source src=\"" + file + "\" type=\"video/mp4\" " + tells + ">\n";
    }
    return "<!DOCTYPE html>\n<html><head><title>Talk</title></head><body>\n<video controls>\n" + sources
           + "</video>\n</body></html>\n";
}

} // namespace

void installQualityLadder(Server &server)
{
    server.on(pages, "/talk.html", [](const Request &) { return Response::html(sourcesPage("size")); });
    server.on(pages, "/talk-labels.html", [](const Request &) { return Response::html(sourcesPage("labels")); });
    // The files by their last segment: /talk-720.mp4, /ladder/master.m3u8, ...
    server.onHost(media, mediaFile);
}

} // namespace testweb
