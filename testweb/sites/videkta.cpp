// Videkta: video pages, search, and the file tree /flv/<folder>/<number>.flv
// with ten thousand videos to a folder.
#include "resolve/hosts.h"
#include "sitekit.h"

namespace testweb {

namespace {

struct Video {
    qulonglong number;
    const char *title;
};
const Video videos[] = {
    {147629, "Subaru Impreza WRX on ice"},
    {150000, "Rally of Georgia, stage 3"},
    {20001, "Tbilisi at night"},
};

const Video *find(qulonglong number)
{
    for (const Video &v : videos)
        if (v.number == number)
            return &v;
    return nullptr;
}

QByteArray pageAddress(const Video &v)
{
    return "http://" + vidrona::resolve::hosts::Videkta.toLatin1() + "/?video_id=" + QByteArray::number(v.number);
}

QList<kit::Entry> entries()
{
    QList<kit::Entry> out;
    for (const Video &v : videos)
        out.append({v.title, pageAddress(v)});
    return out;
}

Response home(const Request &req)
{
    const QByteArray id = kit::queryValue(req.query, "video_id");
    if (id.isEmpty())
        return kit::listPage("Videkta", entries());
    const Video *v = find(id.toULongLong());
    if (!v)
        return kit::missingVideo();
    const QByteArray folder = QByteArray::number((v->number + 9999) / 10000);
    return kit::page(v->title, "<embed src=\"/player.swf\" flashvars=\"file=/flv/" + folder + "/" + id
                                   + ".flv\" width=\"450\" height=\"370\">");
}

// /flv/<folder>/<number>.flv, served only under the right folder.
Response file(const Request &req)
{
    const QList<QByteArray> parts = req.path.split('/');
    if (parts.size() != 4 || !parts[3].endsWith(".flv"))
        return Response::notFound();
    const QByteArray number = parts[3].chopped(4);
    const Video *v = find(number.toULongLong());
    if (!v || QByteArray::number(v->number) != number
        || parts[2] != QByteArray::number((v->number + 9999) / 10000))
        return Response::notFound();
    return kit::video(req.host + req.path);
}

} // namespace

void installVidekta(Server &server)
{
    const QByteArray host = vidrona::resolve::hosts::Videkta.toLatin1();
    server.on(host, "/", home);
    server.on(host, "/index.php", [](const Request &req) {
        return kit::listPage("Videkta search: " + kit::queryValue(req.query, "srch_str"), entries());
    });
    server.onPrefix(host, "/flv/", file);
}

} // namespace testweb
