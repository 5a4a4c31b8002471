#include "retries.h"

namespace vidrona::download::retries {

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

namespace {
std::optional<int> waitIf(bool passing, const net::Failure &failure, int retry, const QList<int> &delaysMs)
{
    if (!passing || retry >= MaxRetries || retry >= delaysMs.size())
        return std::nullopt;
    if (failure.retryAfterSeconds >= 0)
        return qMin(failure.retryAfterSeconds, MaxRetryAfterSeconds) * 1000;
    return delaysMs.at(retry);
}

} // namespace

std::optional<int> waitMs(const net::Failure &failure, int retry, const QList<int> &delaysMs)
{
    return waitIf(isPassing(failure), failure, retry, delaysMs);
}

bool isPassingForPiece(const net::Failure &f)
{
    return isPassing(f) || (f.reason == net::Reason::HttpError && (f.status == 404 || f.status == 410));
}

std::optional<int> pieceWaitMs(const net::Failure &failure, int retry, const QList<int> &delaysMs)
{
    return waitIf(isPassingForPiece(failure), failure, retry, delaysMs);
}

} // namespace vidrona::download::retries
