// The link-resolver service: /?url=<page address> reads that page from the
// simulated web and answers with the download links the page names in its
// data-file attributes, one link per line, each closed by a quote.
#include "resolve/hosts.h"
#include "sitekit.h"
#include <QUrl>

namespace testweb {

namespace {

QList<QByteArray> dataFiles(const QByteArray &page)
{
    static const QByteArray marker = "data-file=\"";
    QList<QByteArray> links;
    for (qsizetype at = page.indexOf(marker); at >= 0; at = page.indexOf(marker, at + 1)) {
        const qsizetype start = at + marker.size();
        const qsizetype end = page.indexOf('"', start);
        if (end < 0)
            break;
        links.append(page.mid(start, end - start));
    }
    return links;
}

Response answer(Server *server, const Request &req)
{
    const QByteArray asked = kit::queryValue(req.query, "url");
    if (asked.isEmpty())
        return kit::page("Video link resolver", "<p>Ask for /?url= followed by a video page's address.</p>");
    const QUrl pageUrl = QUrl::fromEncoded(QByteArray::fromPercentEncoding(asked), QUrl::TolerantMode);
    Request pageReq;
    pageReq.method = "GET";
    pageReq.host = pageUrl.host().toLatin1();
    pageReq.path = pageUrl.path(QUrl::FullyEncoded).toLatin1();
    pageReq.query = pageUrl.query(QUrl::FullyEncoded).toLatin1();
    pageReq.target = pageReq.path + (pageReq.query.isEmpty() ? "" : "?" + pageReq.query);
    const Response page = server->respond(pageReq);
    const QList<QByteArray> links = page.status == 200 ? dataFiles(page.body) : QList<QByteArray>();
    if (links.isEmpty())
        return kit::page("Video link resolver", "<p>No downloadable video was found at that address.</p>");
    QByteArray body = "<p>Links found: " + QByteArray::number(links.size()) + "</p>\n<ol>\n";
    int n = 0;
    for (const QByteArray &link : links)
        body += "<li><a href=\"" + link + "\">Download " + QByteArray::number(++n) + "</a></li>\n";
    return kit::page("Video link resolver", body + "</ol>");
}

} // namespace

void installLinkService(Server &server)
{
    Server *s = &server;
    server.onHost(vidrona::resolve::hosts::LinkService.toLatin1(), [s](const Request &req) { return answer(s, req); });
}

} // namespace testweb
