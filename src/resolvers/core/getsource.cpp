#include "getsource.h"
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace vidrona {

namespace {

// The hourglass for as long as a fetch holds the window.
class BusyCursor
{
public:
    BusyCursor() : m_on(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (m_on)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        if (m_on)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    bool m_on;
};

// An error status still carries a whole body; a broken transfer does not.
bool bodyIsWhole(QNetworkReply::NetworkError error)
{
    return error == QNetworkReply::NoError
           || (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
           || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

QString fetch(const QUrl &url, const QByteArray &agent, int timeoutMs)
{
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, agent);
    request.setTransferTimeout(timeoutMs);
    BusyCursor busy;
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    const QByteArray body = bodyIsWhole(reply->error()) ? reply->readAll() : QByteArray();
    delete reply;
    return QString::fromLatin1(body);
}

} // namespace

QString FetchPage(const QString &address, int timeoutMs)
{
    return fetch(QUrl(address, QUrl::TolerantMode), QByteArrayLiteral("vb wininet"), timeoutMs);
}

QString OpenURL(const QString &address, int timeoutMs)
{
    const bool hasScheme = address.contains(QLatin1String("://"));
    const QString full = hasScheme ? address : QStringLiteral("http://") + address;
    return fetch(QUrl(full, QUrl::TolerantMode), QByteArrayLiteral("Vidrona"), timeoutMs);
}

} // namespace vidrona
