#include "server.h"
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>
#include <zlib.h>
#ifdef TESTWEB_BROTLI
#include <brotli/encode.h>
#endif

namespace testweb {

QByteArray Request::header(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

Response Response::html(const QByteArray &body, int status)
{
    Response r;
    r.status = status;
    r.body = body;
    r.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/html")));
    return r;
}

Response Response::text(const QByteArray &body, const QByteArray &type)
{
    Response r;
    r.body = body;
    r.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray(type)));
    return r;
}

Response Response::bytes(const QByteArray &body, const QByteArray &type)
{
    return text(body, type);
}

Response Response::pattern(qint64 size, const QByteArray &type)
{
    Response r;
    r.patternSize = size;
    r.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray(type)));
    return r;
}

Response Response::redirect(const QByteArray &location, int status)
{
    Response r = html("<html><body>Moved</body></html>", status);
    r.headers.append(qMakePair(QByteArray("Location"), QByteArray(location)));
    return r;
}

Response Response::ranged(const Request &req, qint64 size, const QByteArray &etag, qint64 version,
                          bool wholeForBounded)
{
    Response r = pattern(size, "application/octet-stream");
    r.patternOffset = version;
    r.headers.append(qMakePair(QByteArray("ETag"), etag));
    const QByteArray range = req.header("Range");
    const QByteArray ifRange = req.header("If-Range");
    const int dash = range.indexOf('-');
    const bool bounded = dash >= 0 && !range.endsWith('-');
    if (!range.startsWith("bytes=") || dash < 0 || (!ifRange.isEmpty() && ifRange != etag)
        || (bounded && wholeForBounded))
        return r;
    const qint64 from = range.mid(6, dash - 6).toLongLong();
    const qint64 last = bounded ? qMin(range.mid(dash + 1).toLongLong(), size - 1) : size - 1;
    if (from >= size || last < from) {
        Response none = html("<html><body>Range Not Satisfiable</body></html>", 416);
        none.headers.append(qMakePair(QByteArray("Content-Range"), "bytes */" + QByteArray::number(size)));
        return none;
    }
    r.status = 206;
    r.patternOffset = version + from;
    r.patternSize = last - from + 1;
    r.headers.append(qMakePair(QByteArray("Content-Range"), "bytes " + QByteArray::number(from) + '-'
                                                            + QByteArray::number(last) + '/'
                                                            + QByteArray::number(size)));
    return r;
}

Response Response::notFound()
{
    return html("<html><head><title>404 Not Found</title></head><body>Not Found</body></html>", 404);
}

Response Response::gzipBomb(qint64 unpacked)
{
    QByteArray packed(int(unpacked / 500 + 4096), Qt::Uninitialized);
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    const QByteArray zeros(1 << 20, '\0');
    z.next_out = reinterpret_cast<Bytef *>(packed.data());
    z.avail_out = uInt(packed.size());
    for (qint64 left = unpacked; left > 0; left -= zeros.size()) {
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.data()));
        z.avail_in = uInt(qMin<qint64>(left, zeros.size()));
        deflate(&z, left <= zeros.size() ? Z_FINISH : Z_NO_FLUSH);
    }
    packed.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    Response r = html(packed);
    r.headers.append(qMakePair(QByteArray("Content-Encoding"), QByteArray("gzip")));
    return r;
}

namespace {

// windowBits as zlib takes them: 16 + 15 for gzip, 15 for zlib's own wrapper.
QByteArray zlibPacked(const QByteArray &body, int windowBits)
{
    QByteArray packed(int(body.size() + body.size() / 100 + 4096), Qt::Uninitialized);
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(body.data()));
    z.avail_in = uInt(body.size());
    z.next_out = reinterpret_cast<Bytef *>(packed.data());
    z.avail_out = uInt(packed.size());
    deflate(&z, Z_FINISH);
    packed.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return packed;
}

QByteArray brotliPacked(const QByteArray &body)
{
#ifdef TESTWEB_BROTLI
    size_t size = BrotliEncoderMaxCompressedSize(size_t(body.size()));
    QByteArray packed(qsizetype(size), Qt::Uninitialized);
    if (!BrotliEncoderCompress(5, // quick: these are tests, not a site
                                BROTLI_DEFAULT_WINDOW, BROTLI_MODE_GENERIC,
                               size_t(body.size()), reinterpret_cast<const uint8_t *>(body.constData()), &size,
                               reinterpret_cast<uint8_t *>(packed.data())))
        return {};
    packed.resize(qsizetype(size));
    return packed;
#else
    Q_UNUSED(body);
    return {};
#endif
}

} // namespace

bool Response::canPack(const QByteArray &coding)
{
#ifdef TESTWEB_BROTLI
    const bool br = true;
#else
    const bool br = false;
#endif
    return coding == "gzip" || coding == "deflate" || (coding == "br" && br);
}

Response Response::packed(const QByteArray &body, const QByteArray &coding)
{
    QByteArray bytes;
    if (coding == "gzip")
        bytes = zlibPacked(body, 16 + MAX_WBITS);
    else if (coding == "deflate")
        bytes = zlibPacked(body, MAX_WBITS);
    else if (coding == "br")
        bytes = brotliPacked(body);
    Response r = html(bytes);
    r.headers.append(qMakePair(QByteArray("Content-Encoding"), coding));
    return r;
}

Handler inTurn(QList<Response> responses)
{
    auto next = std::make_shared<qsizetype>(0);
    return [responses = std::move(responses), next](const Request &) {
        if (responses.isEmpty())
            return Response::notFound();
        const qsizetype i = qMin(*next, responses.size() - 1);
        ++*next;
        return responses.at(i);
    };
}

QByteArray Server::patternBytes(qint64 offset, qint64 length)
{
    QByteArray out(length, Qt::Uninitialized);
    char *d = out.data(); // not operator[]: its detach check per byte is slow
    for (qint64 i = 0; i < length; ++i) {
        const quint64 n = quint64(offset + i);
        d[i] = char((n * 2654435761u >> 13) ^ (n >> 8) ^ n);
    }
    return out;
}

// One client connection: reads one request head, sends one response, closes.
class Connection : public QObject
{
public:
    Connection(Server *server, QTcpSocket *socket);
    ~Connection() override { uncount(); }

private:
    void onReadyRead();
    void start(const Request &req);
    void pump();
    void pumpHeaders();
    void trickleTail();
    void writeBody(const QByteArray &chunk);
    void finish();
    QByteArray nextBodyBytes(qint64 max);
    void uncount()
    {
        if (m_counted)
            m_server->closed();
        m_counted = false;
    }

    Server *m_server;
    QTcpSocket *m_socket;
    QByteArray m_head;
    Response m_resp;
    qint64 m_total = 0;   // bytes of body to send
    qint64 m_sent = 0;
    bool m_started = false;
    bool m_inHead = false; // filler header lines still being sent
    bool m_counted = true; // in the server's count of open connections
    QTimer m_trickle;
};

Connection::Connection(Server *server, QTcpSocket *socket)
    : QObject(socket), m_server(server), m_socket(socket)
{
    connect(socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, &Connection::pump);
    connect(socket, &QTcpSocket::disconnected, this, &Connection::uncount);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(&m_trickle, &QTimer::timeout, this, &Connection::pump);
    m_trickle.setTimerType(Qt::PreciseTimer); // a rate that keeps to its figure
    server->opened();
}

static Request parseHead(const QByteArray &head)
{
    Request r;
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    r.method = first.value(0);
    QByteArray target = first.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const int colon = line.indexOf(':');
        if (colon > 0)
            r.headers.append(qMakePair(line.left(colon).trimmed(), line.mid(colon + 1).trimmed()));
    }
    QByteArray host = r.header("Host");
    if (target.startsWith("http://")) { // proxy form
        const QUrl url = QUrl::fromEncoded(target);
        host = url.host().toLatin1();
        const int pathStart = target.indexOf('/', 7);
        target = pathStart < 0 ? QByteArray("/") : target.mid(pathStart);
    }
    const int colon = host.lastIndexOf(':');
    if (colon > 0 && !host.endsWith(']'))
        host = host.left(colon);
    r.host = host.toLower();
    r.target = target;
    const int q = target.indexOf('?');
    r.path = q < 0 ? target : target.left(q);
    r.query = q < 0 ? QByteArray() : target.mid(q + 1);
    return r;
}

void Connection::onReadyRead()
{
    if (m_started) {
        m_socket->readAll();
        return;
    }
    m_head += m_socket->readAll();
    const int end = m_head.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    m_started = true;
    const Request req = parseHead(m_head.left(end));
    m_server->record(req);
    start(req);
}

static QByteArray reasonOf(int status)
{
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 416: return "Range Not Satisfiable";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

void Connection::start(const Request &req)
{
    m_resp = m_server->respond(req);
    if (m_resp.silent)
        return;
    m_total = m_resp.patternSize >= 0 ? m_resp.patternSize : m_resp.body.size();
    if (req.method == "HEAD")
        m_total = 0;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(m_resp.status) + ' '
                      + reasonOf(m_resp.status) + "\r\n";
    if (m_resp.endlessHeaders) {
        m_socket->write(head);
        return pump();
    }
    for (const auto &h : m_resp.headers)
        head += h.first + ": " + h.second + "\r\n";
    if (m_resp.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (m_resp.sendContentLength) {
        const qint64 announced = m_resp.announcedLength >= 0 ? m_resp.announcedLength : m_total;
        head += "Content-Length: " + QByteArray::number(announced) + "\r\n";
    }
    m_socket->write(head);
    if (m_resp.fillerHeaders > 0)
        return pumpHeaders();
    m_socket->write("Connection: close\r\n\r\n");
    if (m_resp.stallAfterHeaders)
        return;
    if (m_resp.bytesPerSecond > 0) { // a slice every 20 ms
        m_resp.trickleMs = 20;
        m_resp.trickleBytes = int(qMax<qint64>(1, m_resp.bytesPerSecond / 50));
    }
    if (m_resp.trickleMs > 0) {
        m_trickle.setInterval(m_resp.trickleMs);
        trickleTail();
        m_trickle.start();
    } else
        pump();
}

// Filler header lines, a bounded amount queued at a time.
void Connection::pumpHeaders()
{
    m_inHead = true;
    const QByteArray line = "X-Filler: " + QByteArray(60, 'h') + "\r\n";
    while (m_socket->bytesToWrite() < 256 * 1024) {
        if (m_resp.fillerHeaders == 0) {
            disconnect(m_socket, &QTcpSocket::bytesWritten, this, &Connection::pumpHeaders);
            m_inHead = false;
            m_socket->write("Connection: close\r\n\r\n");
            return pump();
        }
        --m_resp.fillerHeaders;
        m_socket->write(line);
    }
    connect(m_socket, &QTcpSocket::bytesWritten, this, &Connection::pumpHeaders, Qt::UniqueConnection);
}

QByteArray Connection::nextBodyBytes(qint64 max)
{
    qint64 n = qMin(max, m_total - m_sent);
    if (m_resp.dropAfter >= 0)
        n = qMin(n, m_resp.dropAfter - m_sent);
    if (n <= 0)
        return {};
    return m_resp.patternSize >= 0 ? Server::patternBytes(m_resp.patternOffset + m_sent, n)
                                   : m_resp.body.mid(m_sent, n);
}

void Connection::pump()
{
    if (!m_started || m_inHead || m_resp.stallAfterHeaders || m_resp.silent)
        return;
    if (m_resp.endlessHeaders) {
        // A bounded amount queued at a time, for as long as the client reads.
        while (m_socket->bytesToWrite() < 64 * 1024)
            m_socket->write("X-Filler: " + QByteArray(100, 'h') + "\r\n");
        return;
    }
    const bool trickling = m_resp.trickleMs > 0;
    if (trickling && sender() != &m_trickle)
        return;
    // Keep a bounded amount queued: memory stays flat for any body size.
    while (m_socket->bytesToWrite() < 512 * 1024) {
        const QByteArray chunk = nextBodyBytes(trickling ? m_resp.trickleBytes : 256 * 1024);
        if (chunk.isEmpty())
            break;
        writeBody(chunk);
        m_sent += chunk.size();
        if (trickling) {
            trickleTail();
            break;
        }
    }
    const bool dropped = m_resp.dropAfter >= 0 && m_sent >= m_resp.dropAfter;
    if (dropped) {
        m_trickle.stop();
        m_socket->flush();
        m_socket->abort();
    } else if (m_sent >= m_total && m_socket->bytesToWrite() == 0) {
        if (m_resp.chunked)
            m_socket->write("0\r\n\r\n");
        finish();
    }
}

// A link of the trickle's rate brings a short last slice in its share of
// a step, not in a whole one: its timer runs that share once more.
void Connection::trickleTail()
{
    const qint64 left = m_total - m_sent;
    if (left > 0 && left < m_resp.trickleBytes)
        m_trickle.setInterval(int(qMax<qint64>(1, (m_resp.trickleMs * left + m_resp.trickleBytes / 2)
                                                      / m_resp.trickleBytes)));
}

void Connection::writeBody(const QByteArray &chunk)
{
    if (!m_resp.chunked)
        return void(m_socket->write(chunk));
    m_socket->write(QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n");
}

void Connection::finish()
{
    m_trickle.stop();
    m_started = true;
    m_resp.stallAfterHeaders = true; // nothing more to pump
    m_socket->disconnectFromHost();
}

Server::Server(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &Server::accept);
}

Server::~Server()
{
    // Connections go first, while the counters they update still exist.
    delete m_server;
}

bool Server::listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

quint16 Server::port() const
{
    return m_server->serverPort();
}

QUrl Server::proxyUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

void Server::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection())
        new Connection(this, socket);
}

void Server::on(const QByteArray &host, const QByteArray &path, Handler h)
{
    m_exact.insert(host + path, std::move(h));
}

void Server::onPrefix(const QByteArray &host, const QByteArray &prefix, Handler h)
{
    m_prefixes.prepend({host + prefix, std::move(h)});
}

void Server::onHost(const QByteArray &host, Handler h)
{
    m_hosts.insert(host, std::move(h));
}

void Server::onRedirectLoop(const QByteArray &host, const QByteArray &path)
{
    const QByteArray other = path + "-again";
    on(host, path, [=](const Request &) { return Response::redirect("http://" + host + other); });
    on(host, other, [=](const Request &) { return Response::redirect("http://" + host + path); });
}

Response Server::respond(const Request &req)
{
    const QByteArray key = req.host + req.path;
    if (auto it = m_exact.constFind(key); it != m_exact.constEnd())
        return (*it)(req);
    for (const auto &p : m_prefixes)
        if (key.startsWith(p.first))
            return p.second(req);
    if (auto it = m_hosts.constFind(req.host); it != m_hosts.constEnd())
        return (*it)(req);
    return Response::notFound();
}

} // namespace testweb
