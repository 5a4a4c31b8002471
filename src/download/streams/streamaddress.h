#pragma once
#include <QByteArray>
#include <QUrl>

// Telling a streamed video (an HLS playlist, a DASH manifest) from a plain
// file, by its address before asking, or by the type its answer names.
namespace vidrona::download::streams {

// The path ends in .m3u8 or .mpd, in any case.
bool isStreamAddress(const QUrl &url);

// A Content-Type value naming a playlist or a manifest; parameters and
// case do not matter.
bool isStreamType(const QByteArray &contentType);

} // namespace vidrona::download::streams
