#include "pagefetch.h"
#include "net/agents.h"

namespace vidrona::resolve::youtube {

using net::PageRequest;
using net::PageResult;

PageFetch::PageFetch(QObject *parent) : QObject(parent)
{
    connect(&m_request, &PageRequest::finished, this, &PageFetch::onFinished);
}

void PageFetch::OpenURL(const QString &url)
{
    m_aborted = false;
    m_request.setUserNamed(true); // made from the address the user typed
    m_request.start(QUrl(url), net::agent::Program);
}

void PageFetch::abort()
{
    m_aborted = true;
    m_request.cancel();
}

void PageFetch::onFinished(const PageResult &result)
{
    if (m_aborted)
        return;
    if (!result.fetched())
        return emit fetched(false, QByteArray(), result.failure);
    // An error page is no watch page.
    if (result.status >= 400) {
        net::Failure status = net::fail(net::Reason::HttpError, net::Cause::HttpStatus, QString::fromLatin1(result.reason));
        status.status = result.status;
        return emit fetched(false, QByteArray(), status);
    }
    emit fetched(true, result.body, net::Failure());
}

} // namespace vidrona::resolve::youtube
