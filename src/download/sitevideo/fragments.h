#pragma once
#include "download/filefetch.h"
#include "formats.h"

namespace vidrona::download::sitevideo {

// A format given as a list of fragments (yt-dlp's http_dash_segments),
// fetched as a stream's pieces are (streams/streamfetch.h): over the row's
// connections, each fragment tried again on its own, kept beside
// job.finalPath until all are there, then joined in order without
// re-encoding (an init section and its fMP4 pieces read as one stream) and
// put in place at job.finalPath or, when something holds that, at the next
// free name (placedAt). Fragments already kept are not fetched again.
FetchResult fetchFragments(const Format &format, const FetchJob &job, FetchShared &shared);
// The folder an earlier version kept a format's fragments in, one file
// each; removed with the format's other leftovers.
QString fragmentsFolder(const QString &finalPath);

// The address of one fragment: its own, or its path under the base.
QUrl fragmentUrl(const Format &format, const Fragment &fragment);

} // namespace vidrona::download::sitevideo
