#pragma once
#include "httphead.h"
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <curl/curl.h>
#include <atomic>
#include <chrono>
#include <memory>

// What the YouTube window's own libcurl transfer still uses until it goes
// through net/httpclient.h like every other fetch: the same proxy, agent
// and head bounds, and a run loop that can be stopped from outside.
namespace vidrona::curlsession {

// The bounds every answer's head is read with.
inline constexpr int MaxHeaderLines = MaxHeadLines;
inline constexpr qint64 MaxHeaderBytes = MaxHeadBytes;

// The proxy the rest of the program uses for target, as curl spells it;
// empty for none (which also overrides curl's own reading of http_proxy).
QByteArray proxyFor(const QUrl &target);

// CURL and CURLM are the same type to the compiler: one deleter each.
struct EasyDeleter {
    void operator()(CURL *e) const { curl_easy_cleanup(e); }
};
struct MultiDeleter {
    void operator()(CURLM *m) const { curl_multi_cleanup(m); }
};
struct ListDeleter {
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};

// One connection's worth of state for all requests of a fetch, so a
// redirect or a second request may reuse the connection.
struct Session {
    std::unique_ptr<CURL, EasyDeleter> easy{curl_easy_init()};
    std::unique_ptr<CURLM, MultiDeleter> multi{curl_multi_init()};
    char error[CURL_ERROR_SIZE] = {};
    bool ok() const { return easy && multi; }
    // The text of a failed run.
    QString errorText(CURLcode result) const;
};

// Resets the handle and sets what every request of the program asks: url
// through the program's proxy, http and https only, no redirect followed
// by curl (the caller judges each one), and a large receive buffer (few
// writes to the disk per second at full speed).
void prepare(Session &s, const QUrl &url);

// Counts an answer's head as it arrives; false once it is too large.
struct HeadBounds {
    int lines = 0;
    qint64 bytes = 0;
    bool take(size_t length)
    {
        bytes += qint64(length);
        return ++lines <= MaxHeaderLines && bytes <= MaxHeaderBytes;
    }
};

// What one line of an answer's head is.
enum class HeadLine { TooLarge, Status, Field, End };
// Counts a line of the head as curl hands it over against bounds and
// says what it is; line receives it without its line end.
HeadLine readHeadLine(HeadBounds &bounds, const char *data, size_t length, QByteArray *line);

using Clock = std::chrono::steady_clock;

// What ends a request before its end: a cancel from the owner, or no
// byte since lastByte for stallMs.
struct Watch {
    const std::atomic<bool> &cancel;
    const Clock::time_point &lastByte;
    int stallMs;
};
enum class Stopped { No, Cancelled, Stalled };

// Runs the prepared request until it ends or watch stops it (checked at
// least every 50 ms); then the request is dropped.
CURLcode run(Session &s, const Watch &watch, Stopped *stopped);

// Wakes a run() that waits, so it checks its watch at once (any thread).
void wake(Session &s);

// Once per process, before the first transfer thread starts.
void initOnce();

} // namespace vidrona::curlsession
