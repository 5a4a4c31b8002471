#pragma once
#include "dashmanifest.h"
#include "hlsplaylist.h"
#include "download/subtitles/offers.h"

// The subtitles a streamed video offers, as its master playlist or its
// manifest lists them.
namespace vidrona::download::streams {

// Each SUBTITLES rendition with a playlist of its own: WebVTT pieces.
QList<subtitles::Offer> hlsSubtitleOffers(const HlsMaster &master);
// Each text representation: WebVTT as one file or as pieces; TTML and
// subtitles packed in MP4 pieces are offered as what they are, unread,
// so the row can say why it has none.
QList<subtitles::Offer> dashSubtitleOffers(const DashManifest &manifest);

} // namespace vidrona::download::streams
