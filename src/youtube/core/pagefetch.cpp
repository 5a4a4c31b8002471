#include "pagefetch.h"
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace vidrona::youtube {

PageFetch::PageFetch(QObject *parent) : QObject(parent), m_nam(new QNetworkAccessManager(this)) {}

PageFetch::~PageFetch()
{
    abort();
}

void PageFetch::OpenURL(const QString &url)
{
    abort();
    m_body.clear();
    m_error.clear();
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Accept-Encoding", "identity");
    m_reply = m_nam->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &PageFetch::onData);
    connect(m_reply, &QNetworkReply::finished, this, &PageFetch::onFinished);
}

void PageFetch::onData()
{
    if (!m_reply)
        return;
    m_body += m_reply->readAll();
    if (m_body.size() > MaxPage && m_error.isEmpty()) {
        m_error = QStringLiteral("The page is larger than %1 bytes.").arg(MaxPage);
        m_reply->abort(); // ends through onFinished
    }
}

void PageFetch::onFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    onData();
    if (m_error.isEmpty() && reply->error() != QNetworkReply::NoError)
        m_error = reply->errorString();
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();
    const QByteArray body = std::exchange(m_body, QByteArray());
    emit fetched(m_error.isEmpty(), body, m_error);
}

void PageFetch::abort()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

} // namespace vidrona::youtube
