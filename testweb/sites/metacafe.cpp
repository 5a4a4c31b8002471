// Metacafe: video pages (whose data-file the link service reads), tag search,
// home, and the file server.
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
    {"1285389", "subaru_tv_spot", "Subaru TV spot"},
    {"1300117", "rally_jump_in_slow_motion", "Rally jump in slow motion"},
};

QByteArray host()
{
    return vidrona::resolve::hosts::Metacafe.toLatin1();
}

QByteArray fileAddress(const Video &v)
{
    return "http://" + vidrona::resolve::hosts::MetacafeFiles.toLatin1() + "/items/" + v.id + "/" + v.slug + ".flv";
}

QList<kit::Entry> entries()
{
    QList<kit::Entry> out;
    for (const Video &v : videos)
        out.append({v.title, "http://" + host() + "/watch/" + v.id + "/" + v.slug + "/"});
    return out;
}

Response watch(const Request &req)
{
    for (const Video &v : videos)
        if (req.path == "/watch/" + QByteArray(v.id) + "/" + v.slug + "/")
            return kit::page(v.title, "<div id=\"player\" data-file=\"" + fileAddress(v) + "\"></div>");
    return kit::missingVideo();
}

Response file(const Request &req)
{
    for (const Video &v : videos)
        if ("http://" + req.host + req.path == fileAddress(v))
            return kit::video(req.host + req.path);
    return Response::notFound();
}

} // namespace

void installMetacafe(Server &server)
{
    server.on(host(), "/", [](const Request &) { return kit::listPage("Metacafe", entries()); });
    server.onPrefix(host(), "/watch/", watch);
    server.onPrefix(host(), "/tags/", [](const Request &req) {
        return kit::listPage("Metacafe tags: " + req.path.mid(6), entries());
    });
    server.onPrefix(vidrona::resolve::hosts::MetacafeFiles.toLatin1(), "/items/", file);
}

} // namespace testweb
