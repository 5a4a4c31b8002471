#pragma once
#include "mp4joiner.h"
#include <QByteArray>
#include <QList>
#include <optional>

// Packed audio pieces (.aac, .ac3, .mp3 in HLS) carry no clock of their
// own: each starts with an ID3 tag whose PRIV frame
// "com.apple.streaming.transportStreamTimestamp" says, on the 90 kHz MPEG-TS
// clock, where its sound belongs against the video's TS pieces.
namespace vidrona::download::streams {

// The timestamp in the ID3 tag at the start of head, in microseconds;
// none when head does not start with such a tag.
std::optional<qint64> packedAudioStartMicros(const QByteArray &head);

// How much of a piece to read for that: an ID3 tag larger is not looked into.
inline constexpr int PackedAudioHeadBytes = 4096;

// Where each packed audio piece says its sound belongs, by where its sound
// starts among the bytes of the pieces' packets read one after another
// (the tags are no packets: a demuxer skips them, and does not count them
// in a packet's position either). A packager that leaves a break between
// two pieces (a discontinuity) says so only there, the sound itself
// carrying on as if without one.
class PackedAudioClock
{
public:
    // Reads the tag at the start of every piece; none when the first piece
    // has no timestamp.
    static std::optional<PackedAudioClock> read(const QList<JoinPiece> &pieces);
    // Where the first piece's sound starts, in microseconds.
    qint64 firstMicros() const { return m_micros.first().value_or(0); }
    // The time of the piece whose sound holds byte at (the bytes of the
    // packets before it), the first time a byte of a later piece than
    // before is asked about and that piece has a timestamp; none otherwise.
    std::optional<qint64> enteredAt(qint64 at);

private:
    QList<qint64> m_starts;                // where each piece's sound starts
    QList<std::optional<qint64>> m_micros; // its timestamp, when it has one
    int m_current = 0;
};

} // namespace vidrona::download::streams
