#pragma once
#include "net/failure.h"
#include <QList>
#include <QString>
#include <optional>

// When a failed fetch is tried again: a refused or reset connection, a
// stall, a body cut short, a 5xx or a 429 are passing troubles; anything
// else (another 4xx, a full disk, a name the disk refuses, a web page
// instead of the video) would only fail again.
namespace vidrona::download::retries {

inline constexpr int MaxRetries = 3;
inline constexpr int MaxRetryAfterSeconds = 60;
// The waits before a whole row (or a file fetched beside the list) is
// tried again, once the engine's own tries of its parts are used up.
inline const QList<int> RowDelaysMs = {1000, 4000, 16000};

bool isPassing(const net::Failure &failure);

// The wait before try number `retry` (0 for the first retry) in ms, from
// delaysMs (1 s, 4 s, 16 s in the program) or the server's Retry-After
// (at most a minute); none when the failure is not passing or the tries
// are used up.
std::optional<int> waitMs(const net::Failure &failure, int retry, const QList<int> &delaysMs);

// A stream's piece is also asked for again after a 404 or a 410: a server
// that spreads the pieces over several machines may not hold one yet.
bool isPassingForPiece(const net::Failure &failure);
std::optional<int> pieceWaitMs(const net::Failure &failure, int retry, const QList<int> &delaysMs);

} // namespace vidrona::download::retries
