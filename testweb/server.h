#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QUrl>
#include <functional>

class QTcpServer;

// The project's local web: one HTTP server on a loopback port that also
// answers as an HTTP proxy, so the program can fetch real site addresses
// (http://www.example.com/...) through it. Every host is served from the
// routes registered here; faults are scripted per response.
namespace testweb {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

struct Request {
    QByteArray method;
    QByteArray host;   // without port
    QByteArray path;   // without query
    QByteArray query;  // without '?'
    QByteArray target; // path + '?' + query as asked
    HeaderList headers;
    QByteArray header(const QByteArray &name) const;
};

struct Response {
    int status = 200;
    HeaderList headers;     // extra headers (Content-Type, Location, ...)
    QByteArray body;
    qint64 patternSize = -1;   // >= 0: body is patternBytes(patternOffset, patternSize), streamed
    qint64 patternOffset = 0;
    bool sendContentLength = true;
    qint64 announcedLength = -1; // Content-Length to announce instead of the real size
    qint64 dropAfter = -1;       // abort the connection after this many body bytes
    bool stallAfterHeaders = false; // send the head, then nothing
    int trickleMs = 0;           // > 0: send trickleBytes every trickleMs
    int trickleBytes = 1;
    bool silent = false;         // read the request, never answer
    bool endlessHeaders = false; // after the status line, header lines without end
    bool chunked = false;        // body in chunks (no Content-Length)
    qint64 fillerHeaders = 0;    // this many extra header lines before the body
    qint64 bytesPerSecond = 0;   // > 0: each connection's body at most this fast

    static Response html(const QByteArray &body, int status = 200);
    static Response text(const QByteArray &body, const QByteArray &type = "text/plain");
    static Response bytes(const QByteArray &body, const QByteArray &type = "application/octet-stream");
    static Response pattern(qint64 size, const QByteArray &type = "video/x-flv");
    static Response redirect(const QByteArray &location, int status = 302);
    static Response notFound();
    // A pattern body of size bytes (version shifts the pattern: another
    // version of the file) with that ETag, answering Range requests the
    // way a server that supports them does: 206 for the bytes asked
    // ("bytes=a-" or "bytes=a-b") when If-Range names this ETag (or is
    // absent), 416 past the end, else the whole body. wholeForBounded: a
    // bounded range gets the whole body (200), as from a server that
    // answers only ranges to the end.
    static Response ranged(const Request &req, qint64 size, const QByteArray &etag, qint64 version = 0,
                           bool wholeForBounded = false);
    // A small gzip body (Content-Encoding: gzip) that unpacks to unpacked zero bytes.
    static Response gzipBomb(qint64 unpacked);
    // body packed with coding ("gzip", "deflate" or "br"), Content-Encoding
    // naming it; an empty body when this build cannot pack with coding.
    static Response packed(const QByteArray &body, const QByteArray &coding);
    static bool canPack(const QByteArray &coding);
};

using Handler = std::function<Response(const Request &)>;

// A handler that answers with the responses in turn, the last one for
// every further request: a fault for the first tries, then success.
Handler inTurn(QList<Response> responses);

class Server : public QObject
{
    Q_OBJECT
public:
    explicit Server(QObject *parent = nullptr);
    ~Server() override;

    bool listen(quint16 port = 0);
    quint16 port() const;
    QUrl proxyUrl() const; // http://127.0.0.1:port

    // Routes: an exact path on a host, a path prefix on a host, or every
    // path of a host. Exact beats prefix beats host; later beats earlier.
    void on(const QByteArray &host, const QByteArray &path, Handler h);
    void onPrefix(const QByteArray &host, const QByteArray &prefix, Handler h);
    void onHost(const QByteArray &host, Handler h);
    // path and path + "-again" redirect to each other for ever.
    void onRedirectLoop(const QByteArray &host, const QByteArray &path);

    // Connections open now, and the most that were open at once since the
    // last resetConnectionPeak().
    int openConnections() const { return m_open; }
    int connectionPeak() const { return m_peak; }
    void resetConnectionPeak() { m_peak = m_open; }

    QList<Request> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

    // The bytes of a generated body: a fixed, non-repeating-looking pattern
    // that tests can recompute for any offset.
    static QByteArray patternBytes(qint64 offset, qint64 length);

    Response respond(const Request &req); // routing, also for tests

private:
    void accept();
    QTcpServer *m_server;
    QHash<QByteArray, Handler> m_exact;   // host + path
    QList<QPair<QByteArray, Handler>> m_prefixes; // host + prefix
    QHash<QByteArray, Handler> m_hosts;
    QList<Request> m_requests;
    int m_open = 0;
    int m_peak = 0;
    friend class Connection;
    void record(const Request &r) { m_requests.append(r); }
    void opened() { m_peak = qMax(m_peak, ++m_open); }
    void closed() { --m_open; }
};

// Registers every simulated site on server (see sites/).
void installSimulatedWeb(Server &server);

} // namespace testweb
