#pragma once
#include "download/media/tags.h"
#include "net/failure.h"
#include <QString>
#include <QStringList>
#include "download/subtitles/offers.h"
#include <atomic>

namespace vidrona::download::sitevideo {

// Whole media files (a picture-only and a sound-only one), each read as an
// ordinary seekable file (an MP4 may keep its index at its end), joined
// into one file of the container muxer ("mp4", "matroska") without
// re-encoding, packets interleaved by time. false with error when an input
// cannot be read, the output cannot be written or cancel was set (looked
// at between packets). tags go into the file (tagwriter.h); subtitles:
// each becomes a text stream of the file (subtitles/textstreams.h).
bool joinFiles(const QStringList &inputs, const QString &outPath, const char *muxer, net::Step *error,
               const std::atomic<bool> *cancel = nullptr, const media::Tags &tags = {},
               const QList<subtitles::Track> &subtitles = {});

} // namespace vidrona::download::sitevideo
