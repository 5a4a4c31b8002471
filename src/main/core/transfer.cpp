#include "transfer.h"
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

namespace vidrona {

namespace {
// What the network layer may hold for us before it stops reading the
// socket: keeps memory flat however large the file.
constexpr qint64 ReadBufferBytes = 1 << 20;
constexpr qint64 ChunkBytes = 256 * 1024;

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
}

Transfer::~Transfer()
{
    // Silent: nobody hears about a transfer that dies with its owner, and the
    // unfinished file is discarded with the QSaveFile.
    m_stallTimer.stop();
    dropReply();
}

bool Transfer::start(const QUrl &url, const QString &targetPath)
{
    if (StillExecuting())
        return false;
    m_received = 0;
    setState(Requesting);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        end(false, QStringLiteral("not an http address"));
        return true;
    }
    m_file = std::make_unique<QSaveFile>(targetPath);
    if (!m_file->open(QIODevice::WriteOnly)) {
        end(false, m_file->errorString());
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
    if (!writeAvailable())
        end(false, m_file ? m_file->errorString() : QString());
}

// Moves what arrived into the file. The body of an error answer is read
// and dropped: it is never written under the video's name.
bool Transfer::writeAvailable()
{
    if (!m_reply || !m_file)
        return false;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    while (m_reply->bytesAvailable() > 0) {
        const QByteArray chunk = m_reply->read(ChunkBytes);
        if (!isSuccess(status))
            continue;
        if (m_file->write(chunk) != chunk.size())
            return false;
        m_received += chunk.size();
    }
    return true;
}

void Transfer::onReplyFinished()
{
    if (!m_reply || m_state == Finishing)
        return;
    if (!writeAvailable() && m_reply->error() == QNetworkReply::NoError) {
        end(false, m_file->errorString());
        return;
    }
    if (m_reply->error() != QNetworkReply::NoError) {
        end(false, m_reply->errorString());
        return;
    }
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!isSuccess(status)) {
        end(false, QStringLiteral("HTTP status %1").arg(status));
        return;
    }
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != m_received) {
        end(false, QStringLiteral("body of %1 bytes, %2 announced")
                       .arg(m_received).arg(length.toLongLong()));
        return;
    }
    if (!m_file->commit()) {
        end(false, m_file->errorString());
        return;
    }
    end(true, QString());
}

void Transfer::onStall()
{
    end(false, QStringLiteral("no data for %1 ms").arg(m_stallTimeoutMs));
}

// Ends the current request once. The result is delivered from the event
// loop, so no caller is re-entered from inside start() or Cancel().
void Transfer::end(bool ok, const QString &reason)
{
    if (m_state == Finishing || m_state == Idle)
        return;
    m_stallTimer.stop();
    dropReply();
    if (m_file && !ok)
        m_file->cancelWriting();
    m_file.reset(); // an uncommitted QSaveFile leaves no file behind
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
