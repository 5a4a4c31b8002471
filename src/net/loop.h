#pragma once
#include "httpclient.h"
#include <QHash>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The one libcurl loop of the program: any number of requests at once
// over one multi handle, driven by the thread that calls step(), as aria2
// drives every connection from one loop. A page fetch is one request on a
// loop of its own (HttpClient::perform); a row of the queue drives all of
// its connections on one loop, so a row costs one thread however many
// connections it opens.
namespace vidrona::net {

class Loop
{
public:
    Loop();
    ~Loop();
    Loop(const Loop &) = delete;
    Loop &operator=(const Loop &) = delete;
    bool ok() const;

    // Called on the loop's thread, inside step(), once the request ended
    // (redirects followed): how it ended.
    using Ended = std::function<void(const Outcome &outcome)>;
    // Starts request; receiver's calls come inside step() too. The id
    // names the request for drop().
    int start(const Request &request, Receiver &receiver, Ended ended);
    // Ends a request without its Ended call (never from inside a callback).
    void drop(int id);
    // Requests whose receiver was full() go on taking their bodies.
    void resumePaused();
    int running() const { return int(m_exchanges.size()); }

    // Moves what the sockets have, waits at most waitMs for more (or for
    // wake()), and delivers the Ended calls of the requests that ended.
    // Once cancel is set, every request ends as cancelled.
    void step(int waitMs);
    // Makes a step() that waits return now (any thread).
    void wake();
    void setCancel(const std::atomic<bool> *cancel) { m_cancel = cancel; }

    struct Exchange;

private:
    void finish(Exchange &x, int code);
    void checkBounds();
    Failure nextHop(Exchange &x);
    void release(Exchange *x);

    void *m_multi = nullptr;
    QHash<int, Exchange *> m_exchanges;
    std::vector<std::pair<Exchange *, Outcome>> m_ended;
    int m_nextId = 1;
    const std::atomic<bool> *m_cancel = nullptr;
};

// The one cancel of a fetch: set from any thread, it wakes every loop
// that watches it, so a waiting loop sees it at once.
class CancelToken
{
public:
    void set();
    bool isSet() const { return m_set; }
    const std::atomic<bool> &flag() const { return m_set; }
    void watch(Loop *loop);
    void unwatch(Loop *loop);

    // For code that reads it as a flag (a piece's fetch, the speed limit).
    operator const std::atomic<bool> &() const { return m_set; }
    explicit operator bool() const { return m_set; }
    bool operator!() const { return !m_set; }
    CancelToken &operator=(bool on)
    {
        if (on)
            set();
        return *this;
    }

    // Passes this cancel on to another token at once, for the lifetime of
    // the guard: a fetch made of fetches each with a token of its own.
    struct PassOn {
        CancelToken &from;
        CancelToken &to;
        PassOn(CancelToken &f, CancelToken &t) : from(f), to(t) { from.passTo(&to); }
        ~PassOn() { from.stopPassing(&to); }
        PassOn(const PassOn &) = delete;
        PassOn &operator=(const PassOn &) = delete;
    };

    // Watches for the lifetime of the guard.
    struct Watch {
        CancelToken &token;
        Loop &loop;
        Watch(CancelToken &t, Loop &l) : token(t), loop(l)
        {
            loop.setCancel(&token.flag());
            token.watch(&loop);
        }
        ~Watch() { token.unwatch(&loop); }
    };

private:
    void passTo(CancelToken *token);
    void stopPassing(CancelToken *token);

    std::atomic<bool> m_set{false};
    std::mutex m_mutex;
    std::vector<Loop *> m_loops;
    std::vector<CancelToken *> m_passedTo;
};

} // namespace vidrona::net
