#pragma once
#include "download/sitevideo/formats.h"
#include "resolve/resolver.h"
#include <optional>

// A site's formats, as yt-dlp read them, offered for the user to pick one:
// the pictures tallest first, then the sounds alone, with the subtitle
// languages; and the row the picked line becomes. The window that asks
// shows them as it shows a stream's qualities.
namespace vidrona::resolve::ytdlp {

// What info offers to choose from; settled: the formats the settings'
// choice took, whose line the window highlights.
Offer siteOffer(const download::sitevideo::Info &info, const download::sitevideo::Choice &settled);

// row with line index of its offer taken: the formats fetched for it (the
// picked one, with the best sound beside a picture alone) and a name that
// says the choice ("Talk (720p).mp4"); mp3: sound only is saved as MP3.
// Nothing when row offers no site's formats or the line is not one of them.
std::optional<Found> pickedSiteRow(const Found &row, int index, bool mp3);

} // namespace vidrona::resolve::ytdlp
