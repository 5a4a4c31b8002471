#pragma once
#include "download/filefetch.h"
#include "streamplan.h"
#include <QUrl>

namespace vidrona::download::streams {

// Fetches the streamed video at job.url (an HLS playlist or a DASH
// manifest) into job.finalPath as one MP4, on the calling thread, with
// job.connections pieces at a time. The pieces wait in a hidden folder
// beside the final name (piecefolder.h), so a later fetch of the same
// unchanged playlist asks only for the missing ones; the final name
// receives the joined file only, never replacing what holds it.
// A refused stream (live, DRM, past the bounds) writes nothing.
// playlist: the text of job.url when a plain fetch already read it, and
// from: the address that answered with it.
FetchResult runStreamFetch(const FetchJob &job, FetchShared &shared, const std::optional<QByteArray> &playlist = {},
                           const QUrl &from = {});

// The same for a plan made elsewhere (a site's own list of pieces): its
// pieces fetched, kept and taken up alike, joined in order as they are,
// best quality, no subtitles.
FetchResult runPlannedStream(const FetchJob &job, FetchShared &shared, const StreamPlan &plan);

} // namespace vidrona::download::streams
