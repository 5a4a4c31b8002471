// Google Video: video pages listing the flv, mp4 and avi downloads (the
// link service reads their data-file), the download host, search, home.
#include "resolve/hosts.h"
#include "sitekit.h"

namespace testweb {

namespace {

struct Video {
    const char *docid;
    const char *title;
};
const Video videos[] = {
    {"-3640530513745741819", "Subaru Impreza commercial"},
    {"8123456789012345678", "Gori fortress from above"},
};

const QByteArray downloadHost = "vp.video.google.com";
const char *const formats[] = {"flv", "mp4", "avi"};

QByteArray host()
{
    return vidrona::resolve::hosts::GoogleVideo.toLatin1();
}

QList<kit::Entry> entries()
{
    QList<kit::Entry> out;
    for (const Video &v : videos)
        out.append({v.title, "http://" + host() + "/videoplay?docid=" + v.docid});
    return out;
}

Response watch(const Request &req)
{
    const QByteArray docid = kit::queryValue(req.query, "docid");
    for (const Video &v : videos) {
        if (docid != v.docid)
            continue;
        QByteArray body;
        for (const char *format : formats)
            body += "<div class=\"download\" data-file=\"http://" + downloadHost + "/videodownload?docid="
                    + v.docid + "&amp;format=" + format + "\"></div>\n";
        return kit::page(v.title, body);
    }
    return kit::missingVideo();
}

// Takes &amp; for & in the query, as browsers forgive it.
Response download(const Request &req)
{
    const QByteArray query = QByteArray(req.query).replace("amp;", "");
    const QByteArray docid = kit::queryValue(query, "docid");
    const QByteArray format = kit::queryValue(query, "format");
    for (const Video &v : videos)
        for (const char *f : formats)
            if (docid == v.docid && format == f)
                return kit::video(req.host + req.path + "/" + docid + "." + format);
    return Response::notFound();
}

} // namespace

void installGoogleVideo(Server &server)
{
    server.on(host(), "/", [](const Request &) { return kit::listPage("Google Video", entries()); });
    server.on(host(), "/videoplay", watch);
    server.on(host(), "/videosearch", [](const Request &req) {
        return kit::listPage("Google Video search: " + kit::queryValue(req.query, "q"), entries());
    });
    server.on(downloadHost, "/videodownload", download);
}

} // namespace testweb
