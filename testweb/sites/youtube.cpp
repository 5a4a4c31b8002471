// YouTube: watch pages carrying the title, the video id and the token in
// the shapes the YouTube window reads, pages lacking them, and the
// /get_video files in three qualities. Ids of the form kind-N give
// generated files of N bytes (kind "bytes") or scripted faults.
#include "resolve/hosts.h"
#include "sitekit.h"

namespace testweb {

namespace {

QByteArray host()
{
    return vidrona::resolve::hosts::YouTube.toLatin1();
}

struct Video {
    const char *id;
    const char *title;
    const char *args; // the player's arguments; "ID" and "TOKEN" are filled in
    qint64 sizes[3];  // default, fmt=18 (mp4), fmt=6
};

const char *const Usual = R"({"hl": "en", "video_id": "ID", "l": 212, "sk": "Wq3Zr", "fmt_map": "34/0/9/0/115", "t": "TOKEN", "plid": "AARx"})";

const Video videos[] = {
    {"clip1", "My clip", Usual, {150000, 254321, 200000}},
    {"slashes", "a/b:c*d", Usual, {3000, 4000, 3500}},
    {"question", "x?", Usual, {2048, 2048, 2048}},
    {"quoted", "say \"hi\"", Usual, {1000, 1000, 1000}},
    {"lessthan", "A<B", Usual, {1500, 1500, 1500}},
    {"entities", "Tom &amp; Jerry", Usual, {1500, 1500, 1500}},
    {"multiline", "First line\r\nsecond line", Usual, {1500, 1500, 1500}},
    {"fmtfirst", "Format first", R"({"video_id": "ID", "fmt": "5", "t": "TOKEN"})", {1500, 1500, 1500}},
    {"notoken", "No token", R"({"video_id": "ID", "l": 30})", {1500, 1500, 1500}},
    {"noid", "No id", R"({"l": 30, "t": "TOKEN"})", {1500, 1500, 1500}},
};

const Video *find(const QByteArray &id)
{
    for (const Video &v : videos)
        if (id == v.id)
            return &v;
    return nullptr;
}

QByteArray tokenOf(const QByteArray &id)
{
    return "vjVQa1PpcFN" + id.toHex().right(6);
}

// kind-N ids: the kind and the size, or size -1.
qint64 generatedSize(const QByteArray &id, QByteArray *kind)
{
    const int dash = id.lastIndexOf('-');
    bool ok = false;
    const qint64 n = dash > 0 ? id.mid(dash + 1).toLongLong(&ok) : -1;
    *kind = dash > 0 ? id.left(dash) : QByteArray();
    return ok && n >= 0 ? n : -1;
}

QByteArray watchPage(const QByteArray &title, const QByteArray &args, const QByteArray &id)
{
    QByteArray filled = args;
    filled.replace("ID", id).replace("TOKEN", tokenOf(id));
    return "<html><head><title>YouTube - " + title + "</title>\r\n</head><body>\r\n"
           "<div id=\"watch-player\"></div>\r\n<script type=\"text/javascript\">\r\n"
           "var swfArgs = " + filled + ";\r\n</script></body></html>\r\n";
}

Response watch(const Request &req)
{
    const QByteArray id = kit::queryValue(req.query, "v");
    if (id == "notitle")
        return Response::html("<html><head><title>Youtube - Not our title</title></head>"
                              "<body>\"video_id\": \"notitle\", \"t\": \"x\"</body></html>");
    if (id == "dash")
        return Response::html("<html><head><title>YouTube: Wrong dash</title></head>"
                              "<body>\"video_id\": \"dash\", \"t\": \"x\"</body></html>");
    if (id == "stallpage") { // the head of a page, then nothing
        Response r = Response::html("");
        r.announcedLength = 5000;
        r.stallAfterHeaders = true;
        return r;
    }
    if (id == "twice")
        return Response::html(watchPage("First", Usual, "first1") + watchPage("Second", Usual, "second2"));
    if (const Video *v = find(id))
        return Response::html(watchPage(v->title, v->args, id));
    QByteArray kind;
    if (generatedSize(id, &kind) >= 0)
        return Response::html(watchPage("Video " + id, Usual, id));
    return Response::notFound();
}

Response generatedFile(const QByteArray &kind, qint64 size, const QByteArray &type)
{
    Response r = Response::pattern(size, type);
    if (kind == "short") {
        r.patternSize = size / 2;
        r.announcedLength = size;
    } else if (kind == "nolength") {
        r.sendContentLength = false;
    } else if (kind == "badlength") {
        r.sendContentLength = false;
        r.headers.append(qMakePair(QByteArray("Content-Length"), QByteArray("12abc")));
    } else if (kind == "stall") {
        r.stallAfterHeaders = true;
    } else if (kind == "slow") {
        r.trickleMs = 5;
        r.trickleBytes = 4096;
    } else if (kind == "gone") {
        return Response::notFound();
    } else if (kind == "endlesshead") {
        r.endlessHeaders = true;
    }
    return r;
}

Response getVideo(const Request &req)
{
    const QByteArray id = kit::queryValue(req.query, "video_id");
    const QByteArray t = kit::queryValue(req.query, "t");
    if (id.isEmpty() || t != tokenOf(id))
        return kit::page("403 Forbidden", "The token does not belong to this video.", 403);
    const QByteArray fmt = kit::queryValue(req.query, "fmt");
    const int quality = fmt == "18" ? 1 : fmt == "6" ? 2 : 0;
    const QByteArray type = quality == 1 ? "video/mp4" : "video/x-flv";
    if (const Video *v = find(id))
        return Response::pattern(v->sizes[quality], type);
    QByteArray kind;
    const qint64 size = generatedSize(id, &kind);
    if (size < 0)
        return kit::missingVideo();
    return generatedFile(kind, size, type);
}

Response home(const Request &)
{
    QList<kit::Entry> entries;
    for (const Video &v : videos)
        entries.append({v.title, "http://" + host() + "/watch?v=" + v.id});
    return kit::listPage("YouTube - Broadcast Yourself.", entries);
}

} // namespace

void installYouTube(Server &server)
{
    server.on(host(), "/", home);
    server.on(host(), "/watch", watch);
    server.on(host(), "/get_video", getVideo);
}

} // namespace testweb
