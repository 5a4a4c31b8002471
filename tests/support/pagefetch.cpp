// The page fetches of testenv.h, which go through the resolve layer's
// FetchPage and OpenURL: only tests that link that layer call them.
#include "testenv.h"
#include "resolve/getsource.h"
#include <QSignalSpy>

namespace vidrona::test {

using net::PageRequest;
using net::PageResult;
using net::PageTotalTimeoutMs;
using resolve::FetchPage;
using resolve::OpenURL;

PageResult fetchPage(PageRequest &request, const QString &address, bool viaService)
{
    QSignalSpy finished(&request, &PageRequest::finished);
    if (viaService)
        OpenURL(request, address);
    else
        FetchPage(request, address);
    if (!finished.wait(PageTotalTimeoutMs + 5000))
        return PageResult();
    return finished.at(0).at(0).value<PageResult>();
}

PageResult fetchPage(const QString &address, bool viaService, int idleMs)
{
    PageRequest request;
    PageRequest::Limits limits;
    limits.idleMs = idleMs;
    request.setLimits(limits);
    request.setUserNamed(!viaService); // as the window asks: a typed page, the service's answer
    return fetchPage(request, address, viaService);
}

QString fetchPageText(const QString &address, bool viaService, int idleMs)
{
    const PageResult result = fetchPage(address, viaService, idleMs);
    return result.fetched() ? QString::fromLatin1(result.body) : QString();
}

} // namespace vidrona::test
