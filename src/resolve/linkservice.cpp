#include "hosts.h"
#include "resolvers.h"

namespace vidrona::resolve {

QString EncodeServiceUrl(const QString &pageUrl)
{
    static const char escaped[] = {':', ';', '&', '=', '/', '\\', '>', '<', '?', '!', '+', '-'};
    QString out = pageUrl;
    for (const char c : escaped) {
        const QString code = QStringLiteral("%%1").arg(int(uchar(c)), 2, 16, QLatin1Char('0')).toUpper();
        out.replace(QLatin1Char(c), code);
    }
    return out;
}

QString ServiceRequest(const QString &pageUrl)
{
    return hosts::LinkService + QStringLiteral("/?url=") + EncodeServiceUrl(pageUrl);
}

bool isUsableFileUrl(const QString &fileUrl)
{
    if (!fileUrl.contains(QLatin1Char('/')))
        return false;
    for (const QChar c : fileUrl)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

} // namespace vidrona::resolve
