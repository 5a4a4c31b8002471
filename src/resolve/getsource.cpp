#include "getsource.h"

namespace vidrona::resolve {

using net::PageRequest;

QString pastedAddress(const QString &text)
{
    QString out = text;
    out.remove(QLatin1Char('\r')).remove(QLatin1Char('\n')).remove(QLatin1Char('\t'));
    return out.trimmed();
}

QUrl pageAddress(const QString &address)
{
    return QUrl(address, QUrl::TolerantMode);
}

QUrl serviceAddress(const QString &address)
{
    const bool hasScheme = address.contains(QLatin1String("://"));
    return QUrl(hasScheme ? address : QStringLiteral("http://") + address, QUrl::TolerantMode);
}

void FetchPage(PageRequest &request, const QString &address)
{
    request.start(pageAddress(address), FetchPageAgent);
}

void OpenURL(PageRequest &request, const QString &address)
{
    request.start(serviceAddress(address), OpenUrlAgent);
}

} // namespace vidrona::resolve
