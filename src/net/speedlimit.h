#pragma once
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <mutex>

namespace vidrona::net {

// One limit for every fetch that shares it (the download service's rows and
// the files fetched beside them): a bucket of bytes that fills at the set
// rate. A fetch that takes more than is there waits (on its own thread)
// until the debt is paid, so the sum of all fetches sharing it keeps to
// the rate over any few seconds, however many run. Whoever owns the fetches
// owns the limit; there is none for the whole program.
class SpeedLimit
{
public:
    // Nanoseconds on a clock that never goes back; tests hand in their own.
    using Clock = std::function<qint64()>;

    // With no clock: the steady clock.
    explicit SpeedLimit(Clock clock = {});

    // Bytes per second; 0 or less: no limit.
    void setRate(qint64 bytesPerSecond);
    qint64 rate() const;

    // Counts n bytes that arrived and waits as long as the rate asks, or
    // until cancel is set or the rate is set anew (its debt is forgiven
    // then). Returns at once without a limit.
    void take(qint64 n, const std::atomic<bool> &cancel);

    // Counts n bytes that arrived and tells how long their debt, if any,
    // takes to pay in ms (0: none); take waits that long.
    qint64 waitMsFor(qint64 n);

private:
    Clock m_clock;
    mutable std::mutex m_mutex;
    qint64 m_rate = 0;
    double m_tokens = 0;  // bytes that may arrive without waiting; below 0: a debt
    qint64 m_lastNs = 0;  // when the bucket was last filled
    std::atomic<quint64> m_setting{0}; // counts the rates set: a wait for an older one ends
};

} // namespace vidrona::net
