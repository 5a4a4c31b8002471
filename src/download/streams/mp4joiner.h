#pragma once
#include "joinruns.h"
#include "net/failure.h"
#include "download/media/tags.h"
#include "download/subtitles/offers.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>

// Joining a streamed video's pieces, kept on disk, into one MP4 without
// re-encoding (libavformat).
namespace vidrona::download::streams {

// Each input is one stream's files, read one after another as if they
// were one file: a TS playlist's pieces, or an init section and its
// fMP4 pieces. The video's and (when separate) the sound's inputs become
// the one file at outPath, their packets interleaved by time. Memory
// stays flat: packets stream through. false, with error, when a piece
// cannot be read or joined, the file cannot be written, or cancel was
// set (checked between packets and in every read and write, so a join
// ends within a packet's time); fault says which, for the caller to know
// whether the pieces are to blame: only then are they of no more use.
// runs: per input, where its files start over with an init section of
// their own (joinruns.h); each run is read afresh into the same streams,
// and fails the join when its streams differ from the first run's (a codec
// or parameter change one MP4 track cannot hold): fault Unjoinable, and
// unjoinableRun says which run it was. tags go into the file (tagwriter.h).
enum class JoinFault { None, Pieces, Output, DiskFull, Cancelled, Unjoinable };

// One piece as bytes of a file: the pieces of a stream lie side by side in
// one kept file. length -1: from offset to the end of the file.
struct JoinPiece {
    QString path;
    qint64 offset = 0;
    qint64 length = -1;
};
// What a join puts into the file besides the pieces' own streams, and
// what it tells back.
struct JoinExtras {
    QList<subtitles::Track> subtitles; // each a text stream (subtitles/textstreams.h)
    qint64 mediaStartMs = 0;           // told back: the pieces' clock where the file starts
};
bool joinToMp4(const QList<QList<JoinPiece>> &inputs, const QString &outPath, net::Step *error,
               const std::atomic<bool> *cancel = nullptr, JoinFault *fault = nullptr, const JoinRuns &runs = {},
               int *unjoinableRun = nullptr, const media::Tags &tags = {}, JoinExtras *extras = nullptr);
// Each piece a whole file.
bool joinToMp4(const QList<QStringList> &inputs, const QString &outPath, net::Step *error,
               const std::atomic<bool> *cancel = nullptr, JoinFault *fault = nullptr, const JoinRuns &runs = {},
               int *unjoinableRun = nullptr, const media::Tags &tags = {}, JoinExtras *extras = nullptr);

} // namespace vidrona::download::streams
