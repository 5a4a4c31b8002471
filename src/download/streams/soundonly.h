#pragma once
#include "download/media/tags.h"
#include "net/failure.h"
#include <QString>
#include <atomic>

// Keeping only the sound of a saved video, without re-encoding: its sound
// goes, packet for packet, into the container its codec is known by
// (AAC: .m4a, Opus: .opus, MP3: .mp3, anything else: .mka), in one step
// with libavformat.
namespace vidrona::download::streams {

struct SoundOnly {
    bool ok = false;
    QString extension; // "m4a", "opus", "mp3", "mka": what the sound is
    net::Step error;   // why not
};

// Writes the first sound stream of input (all of it, the same samples) to
// output, with tags (tagwriter.h); a cancel set stops it between packets.
SoundOnly keepSoundOnly(const QString &input, const QString &output, const std::atomic<bool> *cancel = nullptr,
                        const media::Tags &tags = {});

// path with its extension replaced by extension ("Talk.m4a", "opus" ->
// "Talk.opus").
QString withExtension(const QString &path, const QString &extension);

} // namespace vidrona::download::streams
