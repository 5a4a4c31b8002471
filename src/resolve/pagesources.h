#pragma once
#include "download/streams/qualitychoice.h"
#include "htmlscan.h"

// The size a page says one of its video's several files has: the
// attributes players read to offer a choice (size="720", res="1080",
// label="720p", data-quality="480p", "1280x720"), and the codecs of its
// type. A pure function of the tag.
namespace vidrona::resolve {

// The quality a <source> (or a link to a file) tells; height 0 when it
// tells none.
download::streams::Quality sourceQuality(const html::Tag &tag);
// The same for a link (<a href>) to a media file, which may also tell its
// size in its file name ("talk_720p.mp4", "talk-1280x720.webm"); height 0
// when it tells none or href is no media file.
download::streams::Quality linkQuality(const html::Tag &tag, const QString &href);

} // namespace vidrona::resolve
