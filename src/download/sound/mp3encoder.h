#pragma once
#include "download/media/tags.h"
#include "net/failure.h"
#include <QString>
#include <atomic>
#include <functional>

// Saving a video's sound as MP3: decoded with libavcodec and encoded with
// LAME (libmp3lame through libavcodec) at one of its variable-bitrate
// levels, in one pass, memory flat whatever the length.
namespace vidrona::download::sound {

inline constexpr int BestMp3Quality = 0;  // LAME's V0: the largest
inline constexpr int LeastMp3Quality = 4; // V4: the smallest offered

struct Mp3Result {
    bool ok = false;
    net::Step error; // why not
};

// Encodes the first sound stream of input into output (an .mp3) at
// quality V0 to V4 (brought within that range). progress, when given,
// hears the share done, 0 to 1, as the sound goes by; cancel, when set,
// stops the encode between packets. A failed encode leaves no output.
// tags go into its ID3 tag (tagwriter.h).
Mp3Result encodeMp3(const QString &input, const QString &output, int quality,
                    const std::function<void(double)> &progress = {}, const std::atomic<bool> *cancel = nullptr,
                    const media::Tags &tags = {});

} // namespace vidrona::download::sound
