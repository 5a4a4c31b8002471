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

// For as long as a fetch holds the window: the hourglass, and every click
// and key press thrown away (not kept for later, so a press made while the
// page loads does not run once it is in). Painting, timers and sockets go on.
class BusyWindow : public QObject
{
public:
    BusyWindow() : m_gui(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (!m_gui)
            return;
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~BusyWindow() override
    {
        if (!m_gui)
            return;
        QCoreApplication::instance()->removeEventFilter(this);
        QGuiApplication::restoreOverrideCursor();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::Drop:
            return true;
        default:
            return false;
        }
    }

private:
    bool m_gui;
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
    BusyWindow busy;
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
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
