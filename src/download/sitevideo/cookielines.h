#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// A format's cookies as lines of a Netscape cookie file, the form libcurl's
// cookie engine reads, so that each is sent only to the hosts it belongs to.
namespace vidrona::download::sitevideo {

// At most this many cookie lines are kept for one format.
inline constexpr int MaxCookies = 200;

// "a=1; b=2" (an older yt-dlp's Cookie header) as lines for host.
void addCookieHeader(const QByteArray &header, const QString &host, QList<QByteArray> &lines);
// "n=v; Domain=.x.test; Path=/; Secure; Expires=123; m=w; ..." (a newer
// yt-dlp's cookies field) as lines; host where a cookie names no domain.
void addCookieField(const QString &field, const QString &host, QList<QByteArray> &lines);
// Whether line is one line of seven fields: a line break or a tab inside
// a value would make other lines of the cookie file.
bool isCookieSafe(const QByteArray &line);

} // namespace vidrona::download::sitevideo
