#include "transfer.h"
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace vidrona {

namespace {
// What the network layer may hold for us before it stops reading the
// socket, and what may wait for the disk: memory stays flat whatever the
// size of the file.
constexpr qint64 ReadBufferBytes = 512 << 10;
constexpr qint64 MaxPendingBytes = 2 << 20;

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}
} // namespace

Transfer::Transfer(QObject *parent) : QObject(parent), m_nam(new QNetworkAccessManager(this))
{
    m_nam->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_stallTimer.setSingleShot(true);
    connect(&m_stallTimer, &QTimer::timeout, this, &Transfer::onStall);
    connect(&m_writer, &FileWriter::drained, this, [this] {
        if (m_state == Receiving)
            readAvailable(false);
    });
    connect(&m_writer, &FileWriter::failed, this, [this](const QString &e) { end(false, e); });
    connect(&m_writer, &FileWriter::committed, this, &Transfer::end);
}

Transfer::~Transfer()
{
    // Silent: nobody hears about a transfer that dies with its owner; the
    // writer discards the unfinished file.
    m_stallTimer.stop();
    dropReply();
}

bool Transfer::start(const QUrl &url, const QString &targetPath)
{
    if (StillExecuting())
        return false;
    m_received = 0;
    m_ended = false;
    setState(Requesting);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        end(false, QStringLiteral("not an http address"));
        return true;
    }
    QString error;
    if (!m_writer.open(targetPath, &error)) {
        end(false, error);
        return true;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(m_maxRedirects);
    // The body is counted against Content-Length, so it must arrive as sent.
    request.setRawHeader("Accept-Encoding", "identity");
    m_reply = m_nam->get(request);
    m_reply->setReadBufferSize(ReadBufferBytes);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &Transfer::onMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &Transfer::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &Transfer::onReplyFinished);
    m_stallTimer.start(m_stallTimeoutMs);
    return true;
}

void Transfer::Cancel()
{
    // Once the body is complete the file is being put in place: too late.
    if (m_state == Requesting || m_state == Receiving)
        end(false, QStringLiteral("cancelled"));
}

void Transfer::setState(State s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged(int(s));
}

void Transfer::onMetaData()
{
    m_stallTimer.start(m_stallTimeoutMs);
    setState(Receiving);
}

void Transfer::onReadyRead()
{
    m_stallTimer.start(m_stallTimeoutMs);
    setState(Receiving);
    readAvailable(false);
}

// Hands what arrived to the writer, up to its limit unless all is asked
// (the end of the body). The body of an error answer is read and dropped:
// it is never written under the video's name.
void Transfer::readAvailable(bool all)
{
    if (!m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    while (m_reply->bytesAvailable() > 0 && (all || m_writer.pending() < MaxPendingBytes)) {
        // readAll hands over the reply's own buffers without a copy; the
        // reply's read buffer bounds its size.
        const QByteArray chunk = m_reply->readAll();
        if (!isSuccess(status))
            continue;
        m_writer.write(chunk);
        m_received += chunk.size();
    }
}

void Transfer::onReplyFinished()
{
    if (!m_reply || m_ended)
        return;
    m_stallTimer.stop();
    if (m_reply->error() != QNetworkReply::NoError) {
        end(false, m_reply->errorString());
        return;
    }
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!isSuccess(status)) {
        end(false, QStringLiteral("HTTP status %1").arg(status));
        return;
    }
    readAvailable(true);
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != m_received) {
        end(false, QStringLiteral("body of %1 bytes, %2 announced")
                       .arg(m_received).arg(length.toLongLong()));
        return;
    }
    dropReply();
    setState(Finishing);
    m_writer.commit(); // committed() ends the transfer
}

void Transfer::onStall()
{
    end(false, QStringLiteral("no data for %1 ms").arg(m_stallTimeoutMs));
}

// Ends the current request once. The result is delivered from the event
// loop, so no caller is re-entered from inside start() or Cancel().
void Transfer::end(bool ok, const QString &reason)
{
    if (m_ended || m_state == Idle)
        return;
    m_ended = true;
    m_stallTimer.stop();
    dropReply();
    if (!ok)
        m_writer.discard(); // an uncommitted file leaves nothing behind
    m_resultOk = ok;
    m_reason = reason;
    setState(Finishing);
    QMetaObject::invokeMethod(this, &Transfer::deliver, Qt::QueuedConnection);
}

void Transfer::deliver()
{
    const bool ok = m_resultOk;
    const QString reason = m_reason;
    setState(Idle);
    emit finished(ok, reason); // last: a listener may start the next fetch
}

void Transfer::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

} // namespace vidrona
