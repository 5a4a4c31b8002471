// Break: video pages (whose data-file the link service reads), the media
// host with each video as flv and wmv, the search host, home.
#include "resolve/hosts.h"
#include "sitekit.h"

namespace testweb {

namespace {

struct Video {
    const char *slug;
    const char *title;
};
const Video videos[] = {
    {"big-wheel-drifting", "Big wheel drifting"},
    {"snowboard-backflip", "Snowboard backflip"},
};

const QByteArray mediaHost = "media1.break.com";
const QByteArray mediaFolder = "/dnet/media/2008/5/";

QByteArray host()
{
    return vidrona::resolve::hosts::Break.toLatin1();
}

QList<kit::Entry> entries()
{
    QList<kit::Entry> out;
    for (const Video &v : videos)
        out.append({v.title, "http://" + host() + "/index/" + v.slug + ".html"});
    return out;
}

Response watch(const Request &req)
{
    for (const Video &v : videos)
        if (req.path == "/index/" + QByteArray(v.slug) + ".html")
            return kit::page(v.title, "<div id=\"player\" data-file=\"http://" + mediaHost + mediaFolder
                                          + v.slug + ".flv\"></div>");
    return kit::missingVideo();
}

Response file(const Request &req)
{
    for (const Video &v : videos)
        for (const char *ext : {".flv", ".wmv"})
            if (req.path == mediaFolder + v.slug + ext)
                return kit::video(req.host + req.path);
    return Response::notFound();
}

} // namespace

void installBreak(Server &server)
{
    server.on(host(), "/", [](const Request &) { return kit::listPage("Break", entries()); });
    server.onPrefix(host(), "/index/", watch);
    server.on(vidrona::resolve::hosts::BreakSearch.toLatin1(), "/Content/Search/Search.aspx", [](const Request &req) {
        return kit::listPage("Break search: " + kit::queryValue(req.query, "s"), entries());
    });
    server.onPrefix(mediaHost, mediaFolder, file);
}

} // namespace testweb
