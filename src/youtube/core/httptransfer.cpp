#include "httptransfer.h"
#include "main/core/redirectpolicy.h"
#include "transfertext.h"
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>

namespace vidrona::youtube {

namespace {
// What the network stack may hold before we drain it into the spool.
constexpr qint64 ReadBuffer = 512 * 1024;
} // namespace

HttpTransfer::HttpTransfer(QObject *parent)
    : QObject(parent), m_nam(new QNetworkAccessManager(this))
{
}

HttpTransfer::~HttpTransfer()
{
    dropReply();
}

bool HttpTransfer::Execute(const QString &url)
{
    if (m_running) {
        m_error = QStringLiteral("Still executing last request.");
        return false;
    }
    release();
    m_error.clear();
    m_headers.clear();
    m_headersIn = false;
    m_cutShort = false;
    m_bodyLimit = 0;
    m_received = 0;
    m_spool = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("vidrona-XXXXXX.part")));
    if (!m_spool->open()) {
        m_error = QStringLiteral("Cannot create a temporary file: ") + m_spool->errorString();
        m_spool.reset();
        return false;
    }
    QNetworkRequest request{QUrl(url)};
    // Bytes as sent, so Content-Length counts what we write.
    request.setRawHeader("Accept-Encoding", "identity");
    askBeforeRedirects(request);
    m_reply = m_nam->get(request);
    m_reply->setReadBufferSize(ReadBuffer);
    guardRedirects(m_reply, [this](const QString &why) {
        m_error = why;
        m_reply->abort(); // finishes the request through onFinished
    });
    m_running = true;
    connect(m_reply, &QNetworkReply::socketStartedConnecting, this, [this] { emit StateChanged(Connecting); });
    connect(m_reply, &QNetworkReply::requestSent, this, [this] { emit StateChanged(RequestSent); });
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpTransfer::onHead);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpTransfer::onData);
    connect(m_reply, &QNetworkReply::finished, this, &HttpTransfer::onFinished);
    return true;
}

void HttpTransfer::onHead()
{
    if (m_headersIn || !m_reply
        || !m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return; // no answer's head (yet)
    m_headersIn = true;
    m_headers = m_reply->rawHeaderPairs();
    m_bodyLimit = parseContentLength(GetHeader("Content-Length")).value_or(0);
    emit StateChanged(Receiving);
}

qint64 HttpTransfer::spoolRoom() const
{
    return qMax<qint64>(0, m_bodyLimit - m_received);
}

void HttpTransfer::onData()
{
    if (!m_reply || !m_spool || !m_reply->isOpen())
        return; // gone, or aborted by us
    onHead();
    const QByteArray data = m_reply->read(spoolRoom());
    if (m_spool->write(data) != data.size()) {
        m_error = QStringLiteral("Cannot write the temporary file: ") + m_spool->errorString();
        m_reply->abort(); // finishes the request through onFinished
        return;
    }
    m_received += data.size();
    if (!data.isEmpty())
        emit arrived(m_received);
    if (m_reply->isRunning() && m_reply->bytesAvailable() > 0 && spoolRoom() == 0) {
        // More than can ever be read: the answer is cut here.
        m_cutShort = true;
        m_reply->abort(); // finishes the request through onFinished
    }
}

void HttpTransfer::onFinished()
{
    if (!m_reply)
        return;
    onHead();
    onData();
    if (m_error.isEmpty() && !m_cutShort && m_reply->error() != QNetworkReply::NoError)
        m_error = m_reply->errorString();
    dropReply();
    m_running = false;
    if (m_spool && !m_spool->flush() && m_error.isEmpty())
        m_error = QStringLiteral("Cannot write the temporary file: ") + m_spool->errorString();
    if (m_spool)
        m_spool->seek(0);
    if (failed()) {
        emit StateChanged(Error);
    } else {
        emit StateChanged(ResponseReceived);
        emit StateChanged(ResponseCompleted);
    }
    emit done();
}

QByteArray HttpTransfer::GetHeader(const QByteArray &name) const
{
    for (const auto &h : m_headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return QByteArray();
}

QByteArray HttpTransfer::GetChunk(qint64 max)
{
    if (!m_spool || m_running || max <= 0)
        return QByteArray();
    return m_spool->read(max);
}

void HttpTransfer::Cancel()
{
    dropReply();
    m_running = false;
}

void HttpTransfer::release()
{
    m_spool.reset(); // removes the file
}

void HttpTransfer::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

} // namespace vidrona::youtube
