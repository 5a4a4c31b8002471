#include "driver.h"
#include <algorithm>

namespace vidrona::engine {

namespace {
// Stalls and deadlines are looked at this often when nothing else wakes
// the loop; cancel and a queue with room again wake it at once.
constexpr int MaxWaitMs = 100;
} // namespace

Driver::Driver(net::CancelToken &cancel) : m_cancel(cancel), m_watch(cancel, m_loop) {}

void Driver::runUntil(const std::function<bool()> &done, const std::function<int()> &tick)
{
    int waitMs = 0;
    while (!done()) {
        m_loop.step(waitMs);
        waitMs = tick ? std::clamp(tick(), 0, MaxWaitMs) : MaxWaitMs;
    }
}

} // namespace vidrona::engine
