#include "getsource.h"
#include <QCursor>
#include <QGuiApplication>

namespace vidrona {

namespace {

// The hourglass for as long as a fetch is waited for, where there is a screen.
class BusyCursor
{
public:
    BusyCursor() : m_gui(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (m_gui)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        if (m_gui)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    bool m_gui;
};

QString waitForText(const QUrl &url, const char *agent, int timeoutMs)
{
    BusyCursor busy;
    PageRequest request;
    PageRequest::Limits limits;
    limits.idleMs = timeoutMs;
    request.setLimits(limits);
    const PageResult result = request.fetchAndWait(url, agent);
    return result.fetched() ? QString::fromLatin1(result.body) : QString();
}

} // namespace

QUrl pageAddress(const QString &address)
{
    return QUrl(address, QUrl::TolerantMode);
}

QUrl serviceAddress(const QString &address)
{
    const bool hasScheme = address.contains(QLatin1String("://"));
    return QUrl(hasScheme ? address : QStringLiteral("http://") + address, QUrl::TolerantMode);
}

QString FetchPage(const QString &address, int timeoutMs)
{
    return waitForText(pageAddress(address), FetchPageAgent, timeoutMs);
}

QString OpenURL(const QString &address, int timeoutMs)
{
    return waitForText(serviceAddress(address), OpenUrlAgent, timeoutMs);
}

PageResult FetchPage(PageRequest &request, const QString &address)
{
    return request.fetchAndWait(pageAddress(address), FetchPageAgent);
}

PageResult OpenURL(PageRequest &request, const QString &address)
{
    return request.fetchAndWait(serviceAddress(address), OpenUrlAgent);
}

} // namespace vidrona
