#pragma once
#include "net/loop.h"
#include <functional>

namespace vidrona::download::engine {

// The driver of one running row: the row's thread moves every connection
// of the row through one loop (net/loop.h) until the row's work is done.
// Cancel is the row's one token: setting it wakes the loop at once, and
// every request of the row ends as cancelled in the same step. What runs
// after the body (the closing sync, a stream's join) is not driven here:
// it reads the same token (FetchShared::cancel) to stop early.
class Driver
{
public:
    explicit Driver(net::CancelToken &cancel);
    net::Loop &loop() { return m_loop; }
    bool cancelled() const { return m_cancel.isSet(); }

    // Steps the loop until done() holds. tick() runs after every step
    // (starting parts, retries that are due, the record) and tells how long
    // the next step may wait at most, in ms.
    void runUntil(const std::function<bool()> &done, const std::function<int()> &tick = {});
    // Waits ms (a retry's wait) with the loop, so that Cancel ends it at
    // once; false when Cancel came.
    bool wait(int ms);

private:
    net::CancelToken &m_cancel;
    net::Loop m_loop;
    net::CancelToken::Watch m_watch;
};

} // namespace vidrona::download::engine
