#pragma once
#include "failure.h"
#include "httphead.h"
#include "pagebounds.h"
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>

namespace vidrona::net {

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
    QByteArray body;      // Fetched: the whole body (decoded), one byte per character
    bool cut = false;     // Fetched with Ask::PageStart: the body went on past maxBytes
    net::Failure failure; // Failed, Cancelled: why, as the window words it
    bool fetched() const { return outcome == Fetched; }
};

// One request for a web page at a time (a GET, or asking for the head of
// an answer only) through the program's HTTP client, on a thread of its
// own, so the window never waits for the network. Compressed pages are
// asked for and unpacked, and the unpacked page is what maxBytes bounds.
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
    // Does not wait for a fetch still running: it is told to stop and ends
    // on its own thread.
    ~PageRequest() override;

    void setLimits(const Limits &limits) { m_limits = limits; }
    Limits limits() const { return m_limits; }
    // For the fetches started from now on.
    void setAsk(Ask ask) { m_ask = ask; }
    // For the fetches started from now on: true when the user typed or
    // chose the address, which may then be on their own network. Addresses
    // a page names (the default) never lead into a private network.
    void setUserNamed(bool userNamed) { m_userNamed = userNamed; }
    // For the fetches started from now on: more head lines, and a cookie
    // file (see Request::cookieFile), as a browser handed them over.
    void setExtras(const QList<QByteArray> &fields, const QString &cookieFile)
    {
        m_fields = fields;
        m_cookieFile = cookieFile;
    }

    // Starts fetching url, sent with agent as the User-Agent. A fetch still
    // running is dropped without a signal. finished() follows every start,
    // never from inside start() itself.
    void start(const QUrl &url, const QByteArray &agent);
    // Ends the running fetch; finished() follows with Cancelled at once.
    void cancel();
    bool busy() const { return m_busy; }

    struct Job; // one fetch, shared with its thread
signals:
    void finished(const vidrona::net::PageResult &result);

private:
    void drop();
    void deliver(const PageResult &result);

    Limits m_limits;
    Ask m_ask = Ask::Page;
    bool m_userNamed = false;
    QList<QByteArray> m_fields;
    QString m_cookieFile;
    bool m_busy = false;
    std::shared_ptr<Job> m_job;
};

} // namespace vidrona::net

Q_DECLARE_METATYPE(vidrona::net::PageResult)
