#pragma once
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

namespace vidrona::youtube {

// The window's page fetch: one GET whose body is kept as bytes. It runs
// in the background so the window never freezes on a slow site.
class PageFetch : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxPage = 16 * 1024 * 1024; // a watch page is far smaller

    explicit PageFetch(QObject *parent = nullptr);
    ~PageFetch() override;

    void OpenURL(const QString &url);
    bool busy() const { return !m_reply.isNull(); }
    // Stops the fetch; no signal follows.
    void abort();

signals:
    // ok false: error holds the description.
    void fetched(bool ok, const QByteArray &body, const QString &error);

private:
    void onData();
    void onFinished();

    QNetworkAccessManager *m_nam;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    QString m_error;
};

} // namespace vidrona::youtube
