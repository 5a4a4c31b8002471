#pragma once
#include "agents.h"
#include "failure.h"
#include "httphead.h"
#include <QByteArray>
#include <QList>
#include <QUrl>
#include <atomic>
#include <memory>

// The one HTTP client of the program, on libcurl. It owns what every fetch
// shares: the bounds of an answer's head, the time bounds, the redirect
// rule and the refusal of private addresses, the proxy and the agents.
namespace vidrona::net {

class SpeedLimit;

inline constexpr int DefaultIdleMs = 30000;
inline constexpr int DefaultMaxRedirects = 10;

struct Request {
    enum class Method { Get, Head };
    QUrl url;
    Method method = Method::Get;
    QByteArray agent = agent::Browser;
    QList<QByteArray> fields; // more request head fields, "Name: value"
    QString cookieFile; // a Netscape cookie file for libcurl's cookie engine; empty: none
    // The user typed or chose this address, so it may be on their own
    // network; an address a page or a redirect names may not be.
    bool userNamed = false;
    // Asks for gzip, deflate or br and hands over the decoded body. Off,
    // the body comes as sent, so ranges and lengths count its bytes.
    bool compressed = false;
    int idleMs = DefaultIdleMs; // no byte for this long ends the request
    int totalMs = 0;            // the whole request, redirects included; 0: no bound
    int maxRedirects = DefaultMaxRedirects;
    // The body counts against this speed limit (speedlimit.h), which must
    // outlive the request: the files the user fetches, not the pages read
    // to find them. None: not limited.
    SpeedLimit *limit = nullptr;
    // Tests only: names that resolve as given here, "host:port:address"
    // (curl's CURLOPT_RESOLVE), instead of through the system.
    QList<QByteArray> resolveAs;
    // libcurl's receive buffer: larger means fewer writes, smaller less
    // memory for a row of many connections.
    long bufferBytes = 512 << 10;
};

// Called on the thread that performs the request.
class Receiver
{
public:
    virtual ~Receiver() = default;
    // The final answer's head, redirects followed; url is where it came
    // from. false: no body is read, and the request ends without failure.
    virtual bool head(const HttpHead &head, const QUrl &url) = 0;
    // The next piece of its body. false: the request ends here, without failure.
    virtual bool body(const char *data, qsizetype length) = 0;
    // For a receiver that shows the request's course: a connection is
    // being opened, a request went out (each hop).
    // True while the body's bytes have nowhere to go (a full disk queue):
    // the request pauses until its loop is told to resume it.
    virtual bool full() const { return false; }
    virtual void connecting() {}
    virtual void requestSent() {}
};

struct Outcome {
    Failure failure;       // none when the answer was read, or the receiver ended it
    bool headIn = false;   // the receiver got the final head
    bool stopped = false;  // the receiver ended the request
};

class HttpClient
{
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    // Performs request on the calling thread to its end, or until a bound,
    // or until cancel is set (seen within 50 ms, at once after wake()):
    // one request on the program's one loop (loop.h).
    // Redirects are followed here, each judged by the program's rule.
    Outcome perform(const Request &request, Receiver &receiver, const std::atomic<bool> &cancel);
    // Makes a perform() that waits look at its cancel flag now (any thread).
    void wake();
    // Head lines and a cookie file that go with every request performed
    // here: a row's own (a browser's Referer and cookies, a site's headers),
    // so that the playlists and keys of its stream are asked as its file is.
    void setRowExtras(const QList<QByteArray> &fields, const QString &cookieFile);

    // Once per process, before the first client is made on any thread.
    static void initOnce();

private:
    std::unique_ptr<class Loop> m_loop; // its connections kept from request to request
    QList<QByteArray> m_fields;
    QString m_cookieFile;
};

} // namespace vidrona::net
