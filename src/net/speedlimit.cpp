#include "speedlimit.h"
#include <chrono>
#include <thread>

namespace vidrona::net {

namespace {

constexpr int SliceMs = 50; // a waiting fetch looks at its cancel flag this often
constexpr double BurstSeconds = 0.25;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

SpeedLimit::SpeedLimit(Clock clock) : m_clock(clock ? std::move(clock) : Clock(nowNs))
{
    m_lastNs = m_clock();
}

void SpeedLimit::setRate(qint64 bytesPerSecond)
{
    std::lock_guard lock(m_mutex);
    m_rate = bytesPerSecond > 0 ? bytesPerSecond : 0;
    m_tokens = 0;
    m_lastNs = m_clock();
    ++m_setting;
}

qint64 SpeedLimit::rate() const
{
    std::lock_guard lock(m_mutex);
    return m_rate;
}

// Fills the bucket for the time gone by, takes n and tells how long the
// debt, if any, takes to pay.
qint64 SpeedLimit::waitMsFor(qint64 n)
{
    std::lock_guard lock(m_mutex);
    if (m_rate <= 0)
        return 0;
    const qint64 now = m_clock();
    m_tokens = std::min(m_tokens + double(now - m_lastNs) * 1e-9 * double(m_rate), BurstSeconds * double(m_rate));
    m_lastNs = now;
    m_tokens -= double(n);
    return m_tokens >= 0 ? 0 : qint64(-m_tokens * 1000.0 / double(m_rate)) + 1;
}

void SpeedLimit::take(qint64 n, const std::atomic<bool> &cancel)
{
    const quint64 setting = m_setting;
    qint64 waitMs = waitMsFor(n);
    while (waitMs > 0 && !cancel && setting == m_setting) {
        const qint64 slice = std::min<qint64>(waitMs, SliceMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(slice));
        waitMs -= slice;
    }
}

} // namespace vidrona::net
