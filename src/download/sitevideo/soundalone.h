#pragma once
#include "download/filefetch.h"

// Sound only from a site's format: its sound alone, copied without
// re-encoding into the container its codec is known by, or encoded as MP3
// when the row's name asks for one: the same end as a stream's sound only.
namespace vidrona::download::sitevideo {

// fetched (a whole format, kept for the next try on failure) into
// job.finalPath with the extension of its sound ("Talk (sound).opus"), or
// into job.finalPath itself when that ends in ".mp3"; never replacing
// what holds a name (the next free one is taken, job.takenNames counted).
FetchResult placeSoundAlone(const QString &fetched, const FetchJob &job, FetchShared &shared);

} // namespace vidrona::download::sitevideo
