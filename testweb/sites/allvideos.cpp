// AllVideos: a video page whose player variable carries the pieces of the
// file address, and the files at /<uid>/<folder>/videos/<piece>.flv.
#include "resolve/hosts.h"
#include "sitekit.h"

namespace testweb {

namespace {

struct Video {
    const char *uid;
    const char *folder;
    const char *piece;
    const char *title;
};
const Video videos[] = {
    {"LNNQPVMSP", "200811", "lnnqpvmsp_subaru", "Subaru Impreza in the mountains"},
    {"QWERTYZZA", "200902", "qwertyzza_kutaisi", "Kutaisi market"},
};

QByteArray host()
{
    return vidrona::resolve::hosts::AllVideos.toLatin1();
}

QList<kit::Entry> entries()
{
    QList<kit::Entry> out;
    for (const Video &v : videos)
        out.append({v.title, "http://" + host() + "/video.php?uid=" + v.uid});
    return out;
}

Response watch(const Request &req)
{
    const QByteArray uid = kit::queryValue(req.query, "uid");
    for (const Video &v : videos) {
        if (uid != v.uid)
            continue;
        // "s" marks the server folder in the player's variable.
        const QByteArray vars = "file=http://" + host() + "/xml.php?uid=" + v.uid + "/s" + v.folder
                                + ":" + v.piece;
        return kit::page(v.title, "<embed src=\"http://" + host()
                                      + "/player.swf\" width=\"400\" height=\"320\" flashvars=\"" + vars
                                      + "\" allowfullscreen=\"true\">");
    }
    return kit::missingVideo();
}

// Every other address of the host: a file, or the home page.
Response other(const Request &req)
{
    for (const Video &v : videos) {
        if (req.path == "/" + QByteArray(v.uid) + "/" + v.folder + "/videos/" + v.piece + ".flv")
            return kit::video(req.host + req.path);
    }
    if (req.path == "/")
        return kit::listPage("AllVideos", entries());
    return Response::notFound();
}

} // namespace

void installAllVideos(Server &server)
{
    server.on(host(), "/video.php", watch);
    server.onHost(host(), other);
}

} // namespace testweb
