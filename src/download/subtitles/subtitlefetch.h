#pragma once
#include "offers.h"
#include "download/filefetch.h"
#include "net/httpclient.h"
#include <atomic>

// Fetching the subtitles a video offers in the languages the user wants.
// A subtitle that cannot be had is no reason to lose the video: it is a
// miss, with why, and the video goes on without it.
namespace vidrona::download::subtitles {

// One subtitle file, and all the pieces of one track together, are read
// up to these bounds.
inline constexpr qsizetype MaxSubtitleBytes = qsizetype(4) << 20;
inline constexpr qsizetype MaxTrackBytes = qsizetype(32) << 20;

struct Haul {
    QList<Track> tracks;          // in the order the languages were asked
    QList<SubtitleMiss> missed;   // the languages without one, and why
};

// For each language, the offer offerFor takes, fetched and read. trusted:
// addresses on the user's own machine or network may be asked (the
// video's own were).
Haul fetchSubtitles(net::HttpClient &client, const QList<Offer> &offers, const QStringList &languages, bool trusted,
                    int idleMs, const std::atomic<bool> &cancel);

} // namespace vidrona::download::subtitles
