#pragma once
#include "offers.h"

struct AVFormatContext;

// Subtitles written into a video file as streams of their own, by
// libavformat: timed text (mov_text) in MP4, WebVTT in Matroska, each
// stream tagged with its language.
namespace vidrona::download::subtitles {

// A stream for each track, added to out before its header is written;
// its indexes in *streams. false when out's container takes no text (and
// some are asked) or memory runs out.
bool addTextStreams(AVFormatContext *out, const QList<Track> &tracks, QList<int> *streams);

// Every cue of the tracks into its stream, after the header was written;
// cues on the media's clock are moved back by mediaStartMs, so they meet
// the pictures that start the file at zero. Cues that overlap are cut
// where the next begins (a text stream shows one at a time), and those
// that start together become one. The first failed write's code, or 0.
int writeTextPackets(AVFormatContext *out, const QList<Track> &tracks, const QList<int> &streams, qint64 mediaStartMs);

// The cues as a text stream shows them: in order, none overlapping, none
// before zero once shifted by -shiftMs.
QList<Cue> sequentialCues(const QList<Cue> &cues, qint64 shiftMs);

} // namespace vidrona::download::subtitles
