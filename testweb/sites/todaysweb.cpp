// Today's web: pages that name their video in their markup, each in one of
// the shapes real pages use, and files asked for directly. None of these
// hosts is one of the program's sites.
#include "samples.h"
#include "sitekit.h"
#include <QUrl>

namespace testweb {

namespace {

const QByteArray pages = "www.openclips.test";
const QByteArray media = "media.openclips.test";
const QByteArray noHead = "cdn.streambox.test";   // refuses HEAD
const QByteArray downloads = "dl.sharebox.test";  // names its files in the head

QByteArray typeOf(const QByteArray &path)
{
    if (path.endsWith(".webm"))
        return "video/webm";
    if (path.endsWith(".m4v"))
        return "video/x-m4v";
    return "video/mp4";
}

Response fileAt(const Request &req)
{
    Response r = Response::bytes(kit::videoBytes(req.host + req.path), typeOf(req.path));
    return req.path.contains("decoy") ? Response::notFound() : r;
}

QByteArray article(const QByteArray &title, const QByteArray &head, const QByteArray &body)
{
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + title
           + " | OpenClips</title>\n" + head + "</head>\n<body>\n<h1>" + title + "</h1>\n" + body
           + "\n<p>Filmed by the OpenClips community.</p>\n</body>\n</html>\n";
}

void addPage(Server &server, const QByteArray &path, const QByteArray &html)
{
    server.on(pages, path, [html](const Request &) { return Response::html(html); });
}

void addPages(Server &server)
{
    addPage(server, "/og-video.html",
            article("Harbour at dawn",
                    "<meta property=\"og:type\" content=\"video.other\">\n"
                    "<META content=\"http://media.openclips.test/files/harbour-at-dawn.mp4\"\n"
                    "      PROPERTY='og:video:url'>\n<meta property=\"og:video:type\" content=\"video/mp4\">\n",
                    "<div id=\"player\"></div>"));
    addPage(server, "/twitter-card.html",
            article("Snow on the pass",
                    "<meta name=\"twitter:card\" content=\"player\">\n<meta name=\"twitter:player:stream\" "
                    "content=\"http://media.openclips.test/files/snow-on-the-pass.mp4?quality=720&amp;src=card\">\n",
                    "<div id=\"player\"></div>"));
    addPage(server, "/structured-data.html",
            article("Old town walk",
                    "<script>var preview = '<video src=\"/files/decoy.mp4\"></video>';</script>\n"
                    "<script type=\"application/ld+json\">\n{\"@context\": \"https://schema.org\",\n"
                    " \"@type\": \"VideoObject\", \"name\": \"Old town walk\",\n"
                    " \"contentUrl\": \"http:\\/\\/media.openclips.test\\/files\\/old-town-walk.mp4\"}\n</script>\n",
                    "<!-- <video src=\"/files/decoy-too.mp4\"></video> -->"));
    addPage(server, "/video-element.html",
            article("River ferry", "", "<video controls width=\"640\" src=\"/files/river-ferry.webm\"></video>"));
    addPage(server, "/source-element.html",
            article("Night market", "",
                    "<video controls poster=\"/img/night-market.jpg\">\n"
                    "  <source src=\"http://media.openclips.test/files/night-market.mp4\" type=\"video/mp4\">\n"
                    "  Your browser does not play this video.\n</video>"));
    addPage(server, "/base-href.html",
            article("Lighthouse", "<base href=\"http://media.openclips.test/clips/\">\n",
                    "<video controls><source src='lighthouse.m4v' type='video/mp4'></video>"));
    addPage(server, "/live-stream.html",
            article("Live: the square", "<meta property=\"og:video\" content=\"/live/square.m3u8\">\n",
                    "<video id=\"live\"></video>\n<script>player.load('/live/square.m3u8');</script>"));
    addPage(server, "/no-video.html",
            article("Ten photos of the coast", "", "<img src=\"/img/coast-1.jpg\" alt=\"Coast\">\n"
                                                   "<p>No moving pictures here.</p>"));
}

// The playlist of the live page: pieces come and go, and no end is ever
// written, so it is refused before a row is made.
Response livePlaylist(const Request &)
{
    return Response::text("#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:6\n#EXT-X-MEDIA-SEQUENCE:4120\n"
                          "#EXTINF:6.0,\nsquare-4120.ts\n#EXTINF:6.0,\nsquare-4121.ts\n",
                          "application/vnd.apple.mpegurl");
}

Response headRefused(const Request &req)
{
    if (req.method == "HEAD")
        return Response::html("<html><body>Method Not Allowed</body></html>", 405);
    return Response::bytes(kit::videoBytes(req.host + req.path), "video/webm");
}

Response namedDownload(const Request &req)
{
    if (kit::queryValue(req.query, "id") != "417")
        return Response::notFound();
    Response r = Response::bytes(kit::videoBytes(req.host + req.path));
    r.headers.append(qMakePair(QByteArray("Content-Disposition"), QByteArray("attachment; filename=\"Mountain Lake.mkv\"")));
    return r;
}

} // namespace

const QList<TodayVideo> &todayVideos()
{
    static const QList<TodayVideo> videos = {
        {"og:video", "http://www.openclips.test/og-video.html",
         "http://media.openclips.test/files/harbour-at-dawn.mp4", "harbour-at-dawn.mp4"},
        {"twitter:player:stream", "http://www.openclips.test/twitter-card.html",
         "http://media.openclips.test/files/snow-on-the-pass.mp4?quality=720&src=card", "snow-on-the-pass.mp4"},
        {"JSON-LD VideoObject", "http://www.openclips.test/structured-data.html",
         "http://media.openclips.test/files/old-town-walk.mp4", "old-town-walk.mp4"},
        {"<video src>", "http://www.openclips.test/video-element.html",
         "http://www.openclips.test/files/river-ferry.webm", "river-ferry.webm"},
        {"<source> child", "http://www.openclips.test/source-element.html",
         "http://media.openclips.test/files/night-market.mp4", "night-market.mp4"},
        {"relative address and <base href>", "http://www.openclips.test/base-href.html",
         "http://media.openclips.test/clips/lighthouse.m4v", "lighthouse.m4v"},
        {"direct file with extension", "http://media.openclips.test/files/tram%20in%20the%20rain.mp4?token=5f2c",
         "http://media.openclips.test/files/tram%20in%20the%20rain.mp4?token=5f2c", "tram in the rain.mp4"},
        {"direct file, video type, HEAD refused", "http://cdn.streambox.test/v/8812",
         "http://cdn.streambox.test/v/8812", "8812.webm"},
        {"download with a Content-Disposition name", "http://dl.sharebox.test/download?id=417",
         "http://dl.sharebox.test/download?id=417", "Mountain Lake.mkv"},
    };
    return videos;
}

QString streamedPage()
{
    return QStringLiteral("http://www.openclips.test/live-stream.html");
}

QString pageWithoutVideo()
{
    return QStringLiteral("http://www.openclips.test/no-video.html");
}

// A long film sent slowly, so the progress of a fetch can be watched.
Response slowFilm(const Request &)
{
    Response r = Response::pattern(48 << 20, "video/mp4");
    r.trickleMs = 50;
    r.trickleBytes = 64 << 10;
    return r;
}

void installTodaysWeb(Server &server)
{
    addPages(server);
    server.on(media, "/slow/long-journey.mp4", slowFilm);
    server.on(pages, "/live/square.m3u8", livePlaylist);
    server.onPrefix(pages, "/files/", fileAt);
    server.onPrefix(media, "/files/", fileAt);
    server.onPrefix(media, "/clips/", fileAt);
    server.onHost(noHead, headRefused);
    server.on(downloads, "/download", namedDownload);
}

} // namespace testweb
