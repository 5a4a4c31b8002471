#include "retries.h"

namespace vidrona::retries {

bool isPassing(const net::Failure &f)
{
    switch (f.reason) {
    case net::Reason::CannotConnect:
    case net::Reason::Stalled:
    case net::Reason::BrokeOff:
        return true;
    case net::Reason::HttpError:
        return f.status >= 500 || f.status == 429;
    default:
        return false;
    }
}

std::optional<int> waitMs(const net::Failure &failure, int retry, const QList<int> &delaysMs)
{
    if (!isPassing(failure) || retry >= MaxRetries || retry >= delaysMs.size())
        return std::nullopt;
    if (failure.retryAfterSeconds >= 0)
        return qMin(failure.retryAfterSeconds, MaxRetryAfterSeconds) * 1000;
    return delaysMs.at(retry);
}

} // namespace vidrona::retries
