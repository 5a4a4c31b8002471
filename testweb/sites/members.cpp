// A members' site, as a browser sees it: its login page sets a cookie, and
// its film is served only with that cookie. The watch page also has a
// player that builds its playlist's address in script, so the address
// shows only in the browser's traffic. The playlist and its TS pieces are
// made with the ffmpeg program the first time they are asked for.
#include "sitekit.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace testweb {

namespace {

const QByteArray Host = "members.vidrona.test";
const QByteArray Cookie = "member=ok-7f3a";
constexpr qint64 FilmBytes = 3 << 20;

bool loggedIn(const Request &req)
{
    for (const QByteArray &c : req.header("Cookie").split(';'))
        if (c.trimmed() == Cookie)
            return true;
    return false;
}

QString streamFolder()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made && dir.isValid()) {
        made = true;
        QProcess ffmpeg;
        ffmpeg.setWorkingDirectory(dir.path());
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {"-loglevel", "error", "-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=3",
                      "-c:v", "libx264", "-g", "25", "-f", "hls", "-hls_time", "1", "-hls_playlist_type", "vod",
                      "-hls_segment_filename", "lesson-%03d.ts", "lesson.m3u8"});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
            return QString();
    }
    return QFile::exists(dir.filePath(QStringLiteral("lesson.m3u8"))) ? dir.path() : QString();
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
    return Response::bytes(file.readAll(), "video/mp2t");
}

const char WatchPage[] =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<title>Members' film night</title>\n</head>\n<body>\n<h1>Members' film night</h1>\n"
    "<video id=\"film\" src=\"/private/film.mp4\" preload=\"auto\" controls></video>\n"
    "<video id=\"lesson\"></video>\n"
    "<script>\n"
    "// The player builds its playlist's address and reads it and a piece.\n"
    "const base = '/hls/' + ['les', 'son'].join('');\n"
    "fetch(base + '.m3u8').then(r => r.text()).then(t => {\n"
    "  const piece = t.split('\\n').find(l => l.endsWith('.ts'));\n"
    "  return fetch('/hls/' + piece).then(r => r.arrayBuffer());\n"
    "}).then(() => { document.body.dataset.played = '1'; });\n"
    "</script>\n</body>\n</html>\n";

} // namespace

void installMembers(Server &server)
{
    server.on(Host, "/login", [](const Request &) {
        Response r = Response::html("<!DOCTYPE html><html><head><title>Log in</title></head>"
                                    "<body><p>Welcome back.</p><a href=\"/watch\">Watch</a></body></html>");
        r.headers.append({"Set-Cookie", Cookie + "; Path=/; HttpOnly"});
        return r;
    });
    server.on(Host, "/watch", [](const Request &) { return Response::html(WatchPage); });
    server.on(Host, "/private/film.mp4", [](const Request &req) {
        if (!loggedIn(req))
            return Response::html("<p>Members only.</p>", 403);
        Response r = Response::ranged(req, FilmBytes, "\"film-1\"");
        r.headers[0].second = "video/mp4"; // the type a browser's player is served
        return r;
    });
    // The lesson's playlist and pieces are for members too: a stream row
    // must carry the browser's cookie to every piece.
    server.onPrefix(Host, "/hls/", [](const Request &req) {
        return loggedIn(req) ? streamFile(req) : Response::html("<p>Members only.</p>", 403);
    });
}

} // namespace testweb
