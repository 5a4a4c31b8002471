// Tvali: a video page naming the player's XML file, the XML naming the
// video file, the files, search and home.
#include "resolve/hosts.h"
#include "sitekit.h"

namespace testweb {

namespace {

struct Video {
    const char *number;
    const char *title;
};
const Video videos[] = {
    {"6181", "Subaru Impreza test drive"},
    {"7340", "Batumi seaside in winter"},
};

const Video *find(const QByteArray &number)
{
    for (const Video &v : videos)
        if (number == v.number)
            return &v;
    return nullptr;
}

QByteArray host()
{
    return vidrona::resolve::hosts::Tvali.toLatin1();
}

QList<kit::Entry> entries()
{
    QList<kit::Entry> out;
    for (const Video &v : videos)
        out.append({v.title, "http://" + host() + "/index.php?action=watch&v=" + v.number});
    return out;
}

Response watch(const QByteArray &number)
{
    const Video *v = find(number);
    if (!v)
        return kit::missingVideo();
    return kit::page(v->title,
                     "<object width=\"480\" height=\"360\">\n"
                     "<param name=\"movie\" value=\"/player/player.swf\">\n"
                     "<param name=\"flashvars\" value=\"xmlFile=http://" + host()
                         + "/player/playlist.php?v=" + v->number + "\">\n</object>");
}

Response index(const Request &req)
{
    const QByteArray action = kit::queryValue(req.query, "action");
    if (action == "watch")
        return watch(kit::queryValue(req.query, "v"));
    if (action == "search")
        return kit::listPage("Tvali search: " + kit::queryValue(req.query, "s"), entries());
    return kit::listPage("Tvali", entries());
}

Response playlist(const Request &req)
{
    const Video *v = find(kit::queryValue(req.query, "v"));
    if (!v)
        return kit::missingVideo();
    return Response::text("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<playlist>\n  <video id=\""
                              + QByteArray(v->number) + "\" path=\"http://" + host() + "/files/"
                              + v->number + ".flv\" title=\"" + kit::escapeHtml(v->title)
                              + "\"/>\n</playlist>\n",
                          "text/xml");
}

Response file(const Request &req)
{
    const QByteArray name = req.path.mid(int(qstrlen("/files/")));
    if (!name.endsWith(".flv") || !find(name.chopped(4)))
        return Response::notFound();
    return kit::video(req.host + req.path);
}

} // namespace

void installTvali(Server &server)
{
    server.on(host(), "/", [](const Request &) { return kit::listPage("Tvali", entries()); });
    server.on(host(), "/index.php", index);
    server.on(host(), "/player/playlist.php", playlist);
    server.onPrefix(host(), "/files/", file);
}

} // namespace testweb
