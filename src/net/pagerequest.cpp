#include "pagerequest.h"
#include "addressrule.h"
#include <QEventLoop>
#include <QNetworkProxyFactory>
#include <QSslSocket>
#include <QTcpSocket>

namespace vidrona {

namespace {

constexpr qint64 ReadPiece = 256 * 1024;
constexpr int MaxInterimAnswers = 10; // "100 Continue" and the like

QString sizeText(qint64 bytes)
{
    return bytes % (1024 * 1024) == 0 ? QStringLiteral("%1 MB").arg(bytes / (1024 * 1024))
                                      : QStringLiteral("%1 bytes").arg(bytes);
}

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

QNetworkProxy proxyFor(const QUrl &url)
{
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    return proxies.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy) : proxies.first();
}

bool isHttpProxy(const QNetworkProxy &proxy)
{
    return proxy.type() == QNetworkProxy::HttpProxy || proxy.type() == QNetworkProxy::HttpCachingProxy;
}

} // namespace

PageRequest::PageRequest(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<vidrona::PageResult>();
    m_idle.setSingleShot(true);
    m_total.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("Nothing arrived for %1 seconds.").arg(m_limits.idleMs / 1000.0));
    });
    connect(&m_total, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("The page did not arrive within %1 seconds.").arg(m_limits.totalMs / 1000.0));
    });
}

PageRequest::~PageRequest()
{
    ++m_generation; // a result still queued is never delivered
    dropSocket();
}

void PageRequest::start(const QUrl &url, const QByteArray &agent)
{
    dropSocket();
    ++m_generation;
    m_busy = true;
    m_ended = false;
    m_redirects = 0;
    m_agent = agent;
    m_result = PageResult();
    m_total.start(m_limits.totalMs);
    connectTo(url);
}

void PageRequest::cancel()
{
    if (m_busy)
        end(PageResult::Cancelled, QStringLiteral("Cancelled."));
}

PageResult PageRequest::fetchAndWait(const QUrl &url, const QByteArray &agent)
{
    // Ended early (the request deleted, the application quitting): cancelled.
    PageResult out;
    out.outcome = PageResult::Cancelled;
    out.error = QStringLiteral("Cancelled.");
    QEventLoop loop;
    QPointer<PageRequest> self(this);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    const auto got = connect(this, &PageRequest::finished, &loop, [&](const PageResult &r) {
        out = r;
        loop.quit();
    });
    start(url, agent);
    loop.exec();
    if (self) {
        disconnect(got);
        cancel();
    }
    return out;
}

void PageRequest::connectTo(const QUrl &url)
{
    m_url = url;
    m_phase = Head;
    m_buffer.clear();
    m_head = HttpHead();
    m_length = -1;
    m_chunked = false;
    m_chunks = ChunkedBody();
    m_result.body.clear();
    const QString scheme = url.scheme().toLower();
    const bool secure = scheme == QLatin1String("https");
    if (!url.isValid() || url.host().isEmpty() || (!secure && scheme != QLatin1String("http")))
        return fail(QStringLiteral("Not a web address."));
    if (secure && !QSslSocket::supportsSsl())
        return fail(QStringLiteral("Secure pages cannot be read on this system."));
    openSocket(url, secure);
}

// Plain pages go to an HTTP proxy as a whole address; secure ones through
// a tunnel the socket opens itself.
void PageRequest::openSocket(const QUrl &url, bool secure)
{
    const QNetworkProxy found = proxyFor(url);
    const bool viaHttpProxy = !secure && isHttpProxy(found);
    QNetworkProxy socketProxy(QNetworkProxy::NoProxy);
    if (found.type() == QNetworkProxy::Socks5Proxy || (secure && isHttpProxy(found))) {
        socketProxy = found;
        if (secure && isHttpProxy(found))
            socketProxy.setType(QNetworkProxy::HttpProxy);
    }
    m_socket = secure ? new QSslSocket(this) : new QTcpSocket(this);
    m_socket->setProxy(socketProxy);
    m_socket->setReadBufferSize(ReadPiece);
    const QByteArray head = requestHead(url, viaHttpProxy ? &found : nullptr);
    const auto send = [this, head] {
        m_idle.start(m_limits.idleMs);
        m_socket->write(head);
    };
    connect(m_socket, &QTcpSocket::readyRead, this, &PageRequest::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &PageRequest::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &PageRequest::onSocketError);
    m_idle.start(m_limits.idleMs);
    const quint16 port = quint16(url.port(secure ? 443 : 80));
    if (auto *ssl = qobject_cast<QSslSocket *>(m_socket.data())) {
        connect(ssl, &QSslSocket::encrypted, this, send);
        ssl->connectToHostEncrypted(url.host(), port);
        return;
    }
    connect(m_socket, &QTcpSocket::connected, this, send);
    if (viaHttpProxy)
        m_socket->connectToHost(found.hostName(), found.port());
    else
        m_socket->connectToHost(url.host(), port);
}

QByteArray PageRequest::requestHead(const QUrl &url, const QNetworkProxy *proxy) const
{
    QByteArray target = proxy ? url.toEncoded(QUrl::RemoveUserInfo | QUrl::RemoveFragment)
                                 : url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    QByteArray host = QUrl::toAce(url.host());
    if (url.host().contains(QLatin1Char(':')))
        host = '[' + url.host().toLatin1() + ']';
    if (url.port() >= 0)
        host += ':' + QByteArray::number(url.port());
    QByteArray head = (m_ask == Ask::Head ? "HEAD " : "GET ") + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    if (!m_agent.isEmpty())
        head += "User-Agent: " + m_agent + "\r\n";
    if (proxy && !proxy->user().isEmpty())
        head += "Proxy-Authorization: Basic "
                + (proxy->user() + QLatin1Char(':') + proxy->password()).toUtf8().toBase64() + "\r\n";
    return head + "Accept: */*\r\nAccept-Encoding: identity\r\nConnection: close\r\n\r\n";
}

void PageRequest::onReadyRead()
{
    while (m_socket && !m_ended && m_socket->bytesAvailable() > 0) {
        m_idle.start(m_limits.idleMs);
        if (m_phase == Head) {
            m_buffer += m_socket->read(MaxHeadBytes - m_buffer.size());
            readHead();
        } else {
            takeBody(m_socket->read(ReadPiece));
        }
    }
}

// Reads the head once it is whole; interim answers (1xx) are skipped.
void PageRequest::readHead()
{
    for (int interim = 0; interim <= MaxInterimAnswers; ++interim) {
        qsizetype used = 0;
        const HeadState state = readHttpHead(m_buffer, m_head, &used);
        if (state == HeadState::Incomplete)
            return;
        if (state == HeadState::Invalid)
            return fail(QStringLiteral("The server's answer has no valid header, or one larger than %1 KB "
                                       "or of more than %2 lines.").arg(MaxHeadBytes / 1024).arg(MaxHeadLines));
        m_buffer.remove(0, used);
        if (m_head.status >= 200 || m_head.status == 101) {
            m_phase = Body;
            const QByteArray rest = std::exchange(m_buffer, QByteArray());
            beginBody();
            if (!m_ended && m_phase == Body && !rest.isEmpty())
                takeBody(rest);
            return;
        }
    }
    fail(QStringLiteral("The server's answer did not begin."));
}

void PageRequest::beginBody()
{
    m_result.status = m_head.status;
    m_result.reason = m_head.reason;
    m_result.head = m_head;
    m_result.url = m_url;
    if (isRedirectStatus(m_head.status) && m_head.has("Location") && followRedirect())
        return;
    if (m_ask == Ask::Head || m_ask == Ask::GetHead)
        return complete(); // a HEAD answer has no body; the other one is not wanted
    const QByteArray coding = m_head.value("Content-Encoding").trimmed().toLower();
    const QByteArray framing = m_head.value("Transfer-Encoding").trimmed().toLower();
    if (!coding.isEmpty() && coding != "identity")
        return fail(QStringLiteral("The page came compressed (%1); only plain pages are read.")
                        .arg(QString::fromLatin1(coding)));
    m_chunked = framing == "chunked";
    if (!m_chunked && !framing.isEmpty() && framing != "identity")
        return fail(QStringLiteral("The page came compressed (%1); only plain pages are read.")
                        .arg(QString::fromLatin1(framing)));
    if (!m_chunked && m_head.has("Content-Length")) {
        bool ok = false;
        m_length = m_head.value("Content-Length").trimmed().toLongLong(&ok);
        if (!ok || m_length < 0)
            return fail(QStringLiteral("The server's answer has a broken header."));
    }
    if (m_head.status == 204 || m_head.status == 304)
        m_length = 0;
    if (m_length > m_limits.maxBytes && m_ask != Ask::PageStart)
        return fail(QStringLiteral("The page is larger than %1.").arg(sizeText(m_limits.maxBytes)));
    if (m_length == 0)
        complete();
}

void PageRequest::takeBody(QByteArrayView bytes)
{
    QByteArray &body = m_result.body;
    bool whole = false;
    if (m_chunked) {
        const ChunkedBody::State state = m_chunks.feed(bytes, body);
        if (state == ChunkedBody::Invalid)
            return fail(QStringLiteral("The page arrived broken."));
        whole = state == ChunkedBody::Done;
    } else if (m_length >= 0) {
        body += bytes.first(qMin<qint64>(bytes.size(), m_length - body.size()));
        whole = body.size() == m_length;
    } else {
        body += bytes;
    }
    if (body.size() > m_limits.maxBytes)
        overLimit();
    else if (whole)
        complete();
}

// The start of the page is all some readers need: the rest is not read.
void PageRequest::overLimit()
{
    if (m_ask != Ask::PageStart)
        return fail(QStringLiteral("The page is larger than %1.").arg(sizeText(m_limits.maxBytes)));
    m_result.body.truncate(m_limits.maxBytes);
    m_result.cut = true;
    complete();
}

// True when the answer was a redirect that has been dealt with.
bool PageRequest::followRedirect()
{
    const QUrl target = m_url.resolved(QUrl(QString::fromLatin1(m_head.value("Location")), QUrl::TolerantMode));
    if (!isRedirectAllowed(m_url, target)) {
        fail(redirectRefusedText(target));
        return true;
    }
    if (++m_redirects > m_limits.maxRedirects) {
        fail(QStringLiteral("The page redirects more than %1 times.").arg(m_limits.maxRedirects));
        return true;
    }
    dropSocket();
    connectTo(target);
    return true;
}

void PageRequest::onDisconnected()
{
    onReadyRead(); // what came before the close
    if (m_ended)
        return;
    if (m_phase == Body && !m_chunked && m_length < 0)
        return complete(); // the close ends a body of unannounced length
    m_result.brokeOff = true;
    fail(QStringLiteral("The connection broke off before the page was complete."));
}

void PageRequest::onSocketError()
{
    if (!m_socket || m_ended)
        return;
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        onDisconnected();
    else
        fail(m_socket->errorString());
}

void PageRequest::complete()
{
    end(PageResult::Fetched, QString());
}

void PageRequest::fail(const QString &error)
{
    end(PageResult::Failed, error);
}

// Ends the fetch once; the result is delivered from the event loop.
void PageRequest::end(PageResult::Outcome outcome, const QString &error)
{
    if (m_ended || !m_busy)
        return;
    m_ended = true;
    m_idle.stop();
    m_total.stop();
    dropSocket();
    m_result.outcome = outcome;
    m_result.error = error;
    if (outcome != PageResult::Fetched)
        m_result.body = QByteArray(); // gives the memory back
    QMetaObject::invokeMethod(this, [this, generation = m_generation] {
        if (generation == m_generation)
            deliver();
    }, Qt::QueuedConnection);
}

void PageRequest::deliver()
{
    m_busy = false;
    const PageResult result = std::exchange(m_result, PageResult());
    emit finished(result);
}

void PageRequest::dropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
}

} // namespace vidrona
