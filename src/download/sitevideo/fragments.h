#pragma once
#include "download/filefetch.h"
#include "formats.h"

namespace vidrona::download::sitevideo {

// A format given as a list of fragments (yt-dlp's http_dash_segments):
// each fragment fetched as it is named, several at once, kept in a folder
// beside job.finalPath (fragmentsFolder) until all are there, then joined
// in order without re-encoding (an init section and its fMP4 pieces read
// as one stream) into a file in that folder, named by placedAt; the
// caller moves it and removes the folder. Fragments already there are
// not fetched again.
FetchResult fetchFragments(const Format &format, const FetchJob &job, FetchShared &shared);
QString fragmentsFolder(const QString &finalPath);

// The address of one fragment: its own, or its path under the base.
QUrl fragmentUrl(const Format &format, const Fragment &fragment);

} // namespace vidrona::download::sitevideo
