// DailyMotion: video pages (whose data-file the link service reads), the
// proxy file host, search, home.
#include "resolve/hosts.h"
#include "sitekit.h"

namespace testweb {

namespace {

struct Video {
    const char *id;
    const char *slug;
    const char *title;
};
const Video videos[] = {
    {"xrdvl", "subaru-wrx_sport", "Subaru WRX sport"},
    {"x2b9k1", "tbilisi-funicular", "Tbilisi funicular"},
};

const QByteArray fileHost = "proxy-12.dailymotion.com";

QByteArray host()
{
    return vidrona::resolve::hosts::DailyMotion.toLatin1();
}

QByteArray filePath(const Video &v)
{
    return "/get/14/320x240/flv/" + QByteArray(v.id) + ".flv";
}

QList<kit::Entry> entries()
{
    QList<kit::Entry> out;
    for (const Video &v : videos)
        out.append({v.title, "http://" + host() + "/video/" + v.id + "_" + v.slug});
    return out;
}

Response watch(const Request &req)
{
    for (const Video &v : videos)
        if (req.path == "/video/" + QByteArray(v.id) + "_" + v.slug)
            return kit::page(v.title, "<div id=\"player\" data-file=\"http://" + fileHost + filePath(v)
                                          + "?key=" + v.id + "7f3a\"></div>");
    return kit::missingVideo();
}

Response file(const Request &req)
{
    for (const Video &v : videos)
        if (req.path == filePath(v))
            return kit::video(req.host + req.path);
    return Response::notFound();
}

} // namespace

void installDailyMotion(Server &server)
{
    server.on(host(), "/", [](const Request &) { return kit::listPage("DailyMotion", entries()); });
    server.onPrefix(host(), "/video/", watch);
    server.onPrefix(host(), "/relevance/search/", [](const Request &req) {
        return kit::listPage("DailyMotion search: " + req.path.mid(18), entries());
    });
    server.onPrefix(fileHost, "/get/", file);
}

} // namespace testweb
