#pragma once
#include <QByteArray>
#include <optional>

// Packed audio pieces (.aac, .ac3, .mp3 in HLS) carry no clock of their
// own: each starts with an ID3 tag whose PRIV frame
// "com.apple.streaming.transportStreamTimestamp" says, on the 90 kHz MPEG-TS
// clock, where its sound belongs against the video's TS pieces.
namespace vidrona::streams {

// The timestamp in the ID3 tag at the start of head, in microseconds;
// none when head does not start with such a tag.
std::optional<qint64> packedAudioStartMicros(const QByteArray &head);

// How much of a piece to read for that: an ID3 tag larger is not looked into.
inline constexpr int PackedAudioHeadBytes = 4096;

} // namespace vidrona::streams
