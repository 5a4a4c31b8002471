#pragma once
#include "net/failure.h"
#include <QtGlobal>

// What a streamed video may be before it is refused: a playlist or
// manifest is read whole, and every piece is kept on disk until the end.
namespace vidrona::download::streams {

inline constexpr qsizetype MaxPlaylistBytes = qsizetype(8) << 20;
inline constexpr int MaxPieces = 50000;
inline constexpr qint64 MaxPieceBytes = qint64(1) << 30;

// Why a stream is not saved.
enum class Refusal {
    None,
    NotAStream, // neither an HLS playlist nor a DASH manifest
    Broken,     // a playlist or manifest that cannot be read
    Live,       // still being written: no end to save
    Drm,        // encrypted in a way only a licensed player may open
    TooLarge,   // past the bounds above
    Empty,      // no piece to fetch
};

// A refusal as the fetch and the check both keep it: a stream past the
// bounds is too large (not tried again), any other is not a video to
// fetch; the cause and its facts are what the window words.
inline net::Failure refusalOf(Refusal refusal, net::Cause cause, int count = 0, const QString &detail = {})
{
    net::Failure f = net::fail(refusal == Refusal::TooLarge ? net::Reason::TooLarge : net::Reason::NotTheVideo,
                               cause, detail);
    f.count = count;
    return f;
}

} // namespace vidrona::download::streams
