#pragma once
#include "net/pagerequest.h"
#include <QByteArray>
#include <QObject>
#include <QString>

namespace vidrona::resolve::youtube {

using net::PageRequest;
using net::PageResult;

// The window's page fetch: one GET whose body is kept as bytes. It runs
// in the background so the window never freezes on a slow site, within the
// bounds of every page fetch (MaxPageBytes, the idle and total times).
class PageFetch : public QObject
{
    Q_OBJECT
public:
    explicit PageFetch(QObject *parent = nullptr);

    void OpenURL(const QString &url);
    bool busy() const { return m_request.busy() && !m_aborted; }
    // Stops the fetch; no signal follows.
    void abort();

signals:
    // ok false: failure says why (an error status is an HttpError).
    void fetched(bool ok, const QByteArray &body, const net::Failure &failure);

private:
    void onFinished(const PageResult &result);

    PageRequest m_request;
    bool m_aborted = false;
};

} // namespace vidrona::resolve::youtube
