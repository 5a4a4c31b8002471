#pragma once
// What the rounds of one file fetch (engine/filefetch.cpp) carry from one
// to the next, and where a round's first request stops.
#include "download/filefetch.h"
#include "download/keptbytes.h"
#include "parts.h"
#include <QHash>
#include <optional>

namespace vidrona::download::engine {

// What the rounds of one fetch carry from one to the next.
struct Rounds {
    std::optional<kept::Record> record;
    bool oneConnection = false;
    bool startedOver = false;
    QHash<qint64, int> tries; // one connection cut off, by where its bytes stood
    int retried = 0;
};

// However often one connection is cut off at new places, a row asks again
// at most this often.
constexpr int MaxRetriedRounds = 16;

// Where the first missing bytes end when more spans arrived after them and
// the rest may come over several connections: the first request asks for
// those bytes only, never for any that are there. -1: to the end.
inline qint64 partEnd(const FetchJob &job, const Rounds &rounds)
{
    if (!rounds.record || rounds.oneConnection || job.connections <= 1
        || rounds.record->total < Parts::MinFileBytes)
        return -1;
    const QList<Span> &done = rounds.record->done;
    const qint64 from = kept::firstMissing(done);
    for (const Span &s : done)
        if (s.begin > from)
            return s.begin;
    return -1;
}

} // namespace vidrona::download::engine
