#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;

namespace vidrona::youtube {

// The window's file transfer control: one GET at a time whose body is
// spooled to a temporary file while it arrives, then read back in pieces.
// Memory stays flat whatever the size of the body. The spool holds no more
// than the answer's Content-Length: nothing past it is ever read, and an
// answer without a usable one cannot be read at all, so its body is not
// spooled and the request ends as soon as the body starts.
class HttpTransfer : public QObject
{
    Q_OBJECT
public:
    // The state codes of the transfer, as the status texts know them.
    enum State { None = 0, Connecting = 3, RequestSent = 6, Receiving = 7,
                 ResponseReceived = 8, Error = 11, ResponseCompleted = 12 };

    explicit HttpTransfer(QObject *parent = nullptr);
    ~HttpTransfer() override;

    // Starts the request; false (see errorString) when one still runs or
    // the spool cannot be made.
    bool Execute(const QString &url);
    bool StillExecuting() const { return m_running; }
    // The header's value, or the empty text; valid once the head arrived.
    QByteArray GetHeader(const QByteArray &name) const;
    // The next bytes of the spooled body, at most max of them.
    QByteArray GetChunk(qint64 max);
    // Stops the request; no signal follows.
    void Cancel();
    // Drops the spooled body.
    void release();

    bool headersIn() const { return m_headersIn; }
    bool failed() const { return !m_error.isEmpty(); }
    QString errorString() const { return m_error; }
    // The description that comes with the error state, ending with a line end.
    QString stateDescription() const { return m_error + QStringLiteral("\r\n"); }
    qint64 bytesReceived() const { return m_received; }

signals:
    void StateChanged(int state);
    void arrived(qint64 received); // body bytes spooled so far
    void done();                   // the request ended (not after Cancel)

private:
    void onHead();
    void onData();
    void onFinished();
    void dropReply();
    qint64 spoolRoom() const;

    QNetworkAccessManager *m_nam;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QTemporaryFile> m_spool;
    bool m_running = false;
    bool m_headersIn = false;
    bool m_cutShort = false; // ended by us at the spool's bound
    qint64 m_bodyLimit = 0;  // the announced length; 0 without one
    qint64 m_received = 0;
    QString m_error;
    QList<QPair<QByteArray, QByteArray>> m_headers;
};

} // namespace vidrona::youtube
