#pragma once
#include "download/filefetch.h"
#include <QUrl>

// Sound only from a page's single video file: the file is fetched whole
// (a file has no sound of its own to ask for), then its sound alone is
// kept without re-encoding, as a site's format or a stream's is.
namespace vidrona::download::sound {

// Whether address names one plain MP4 file, the kind whose sound a row
// may keep: only where the file is surely a video with sound is sound
// only offered, so that no other file is ever taken apart.
bool isSingleMp4(const QUrl &address);

// job's file fetched beside job.finalPath (its bytes kept for the next try
// on failure), then its sound put in place under job.finalPath with the
// extension of its kind ("Talk (sound).opus"), or encoded as MP3 when
// job.finalPath ends in ".mp3".
FetchResult fetchSoundOfFile(const FetchJob &job, FetchShared &shared);

} // namespace vidrona::download::sound
