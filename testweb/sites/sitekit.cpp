#include "sitekit.h"

namespace testweb::kit {

QByteArray escapeHtml(const QByteArray &text)
{
    QByteArray out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

QByteArray queryValue(const QByteArray &query, const QByteArray &key)
{
    for (const QByteArray &pair : query.split('&'))
        if (pair.startsWith(key + '='))
            return pair.mid(key.size() + 1);
    return {};
}

Response page(const QByteArray &title, const QByteArray &body, int status)
{
    return Response::html("<html><head><title>" + title + "</title></head>\n<body>\n<h1>" + title
                              + "</h1>\n" + body + "\n</body></html>\n",
                          status);
}

Response listPage(const QByteArray &title, const QList<Entry> &entries)
{
    QByteArray body = "<ul>\n";
    for (const Entry &e : entries)
        body += "<li><a href=\"" + escapeHtml(e.address) + "\">" + escapeHtml(e.title) + "</a></li>\n";
    body += "</ul>";
    return page(escapeHtml(title), body);
}

QByteArray videoBytes(const QByteArray &name)
{
    // An FLV-like head, the name, then a generated body whose size follows the name.
    QByteArray out("FLV\x01\x05\x00\x00\x00\x09", 9);
    out += name;
    out += Server::patternBytes(name.size(), 30000 + 97 * name.size());
    return out;
}

Response video(const QByteArray &name)
{
    return Response::bytes(videoBytes(name), "video/x-flv");
}

Response missingVideo()
{
    return page("Video not found", "<p>There is no video at this address.</p>", 404);
}

} // namespace testweb::kit
