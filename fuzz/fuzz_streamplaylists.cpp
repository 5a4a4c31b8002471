// The HLS playlist and DASH manifest readers on any bytes: nothing
// crashes, every refusal has its cause, and what is handed out stays
// within the bounds.
#include "download/streams/dashmanifest.h"
#include "download/streams/hlsplaylist.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vidrona::download::streams;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const HlsPlaylist hls = readHlsPlaylist(bytes, QUrl("http://cdn.test/v/index.m3u8"));
    if ((hls.refusal != Refusal::None) == (hls.why.cause == vidrona::net::Cause::None) || hls.media.pieces.size() > MaxPieces)
        std::abort();
    const DashManifest dash = readDashManifest(bytes, QUrl("http://cdn.test/d/stream.mpd"));
    if ((dash.refusal != Refusal::None) == (dash.why.cause == vidrona::net::Cause::None))
        std::abort();
    for (const DashTrack &t : dash.tracks)
        if (t.pieces.size() > MaxPieces)
            std::abort();
    return 0;
}
