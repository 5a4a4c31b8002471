#include "driver.h"
#include <algorithm>
#include <chrono>

namespace vidrona::download::engine {

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

bool Driver::wait(int ms)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(ms);
    const auto left = [due] {
        return int(std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count());
    };
    runUntil([&] { return cancelled() || left() <= 0; }, [&] { return left() + 1; });
    return !cancelled();
}

} // namespace vidrona::download::engine
