#pragma once
#include "httphead.h"
#include "pagebounds.h"
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkProxy;
class QTcpSocket;

namespace vidrona {

// Bounds of every page fetch besides its size (MaxPageBytes).
inline constexpr int PageIdleTimeoutMs = 30000;  // nothing arrives for this long
inline constexpr int PageTotalTimeoutMs = 60000; // the whole fetch, redirects included
inline constexpr int MaxPageRedirects = 10;

struct PageResult {
    enum Outcome { Fetched, Failed, Cancelled };
    Outcome outcome = Failed;
    int status = 0;       // of the last answer; an error page is Fetched too
    QByteArray reason;    // its reason phrase ("Not Found")
    HttpHead head;        // its whole head
    QUrl url;             // where it came from, redirects followed
    QByteArray body;      // Fetched: the whole body, one byte per character
    bool cut = false;     // Fetched with Ask::PageStart: the body went on past maxBytes
    bool brokeOff = false; // Failed: the server closed the connection before the end
    QString error;        // Failed: what went wrong, for the user
    bool fetched() const { return outcome == Fetched; }
};

// One request for a web page at a time (a GET, or asking for the head of
// an answer only), read with bounds on everything the server sends: the
// head's size and lines, the body's size (also when it comes in chunks),
// the time without data and the time of the whole fetch.
// Only uncompressed bodies are asked for and accepted, so nothing can
// unpack into more than was received. Redirects are followed up to a count
// and only where isRedirectAllowed says so. The system proxy is used.
class PageRequest : public QObject
{
    Q_OBJECT
public:
    struct Limits {
        qint64 maxBytes = MaxPageBytes;
        int idleMs = PageIdleTimeoutMs;
        int totalMs = PageTotalTimeoutMs;
        int maxRedirects = MaxPageRedirects;
    };

    // What is asked, and how much of the final answer is read.
    enum class Ask {
        Page,      // GET; a body past maxBytes fails the fetch
        PageStart, // GET; a body past maxBytes is cut there (PageResult::cut)
        GetHead,   // GET ended once the final head is in: no body is read
        Head,      // HEAD
    };

    explicit PageRequest(QObject *parent = nullptr);
    ~PageRequest() override;

    void setLimits(const Limits &limits) { m_limits = limits; }
    Limits limits() const { return m_limits; }
    // For the fetches started from now on.
    void setAsk(Ask ask) { m_ask = ask; }

    // Starts fetching url, sent with agent as the User-Agent. A fetch still
    // running is dropped without a signal. finished() follows every start,
    // never from inside start() itself.
    void start(const QUrl &url, const QByteArray &agent);
    // Ends the running fetch; finished() follows with Cancelled.
    void cancel();
    bool busy() const { return m_busy; }

    // start(), then runs the event loop until the fetch ended.
    PageResult fetchAndWait(const QUrl &url, const QByteArray &agent);

signals:
    void finished(const vidrona::PageResult &result);

private:
    void connectTo(const QUrl &url);
    void openSocket(const QUrl &url, bool secure);
    QByteArray requestHead(const QUrl &url, const QNetworkProxy *proxy) const;
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    void readHead();
    void beginBody();
    void takeBody(QByteArrayView bytes);
    void overLimit();
    bool followRedirect();
    void complete();
    void fail(const QString &error);
    void end(PageResult::Outcome outcome, const QString &error);
    void deliver();
    void dropSocket();

    enum Phase { Head, Body };
    Limits m_limits;
    Ask m_ask = Ask::Page;
    QPointer<QTcpSocket> m_socket;
    QTimer m_idle;
    QTimer m_total;
    QByteArray m_agent;
    QUrl m_url;
    bool m_busy = false;
    bool m_ended = false;
    int m_redirects = 0;
    int m_generation = 0;
    Phase m_phase = Head;
    QByteArray m_buffer;  // head bytes until the head is complete
    HttpHead m_head;
    qint64 m_length = -1; // announced body length, -1 until the close
    bool m_chunked = false;
    ChunkedBody m_chunks;
    PageResult m_result;
};

} // namespace vidrona

Q_DECLARE_METATYPE(vidrona::PageResult)
