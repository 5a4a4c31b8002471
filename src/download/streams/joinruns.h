#pragma once
#include <QList>

// Where a track's pieces start over with an init section of their own (a
// DASH period, an HLS discontinuity with a new EXT-X-MAP): the joiner reads
// each such run with a reader of its own and carries on in the same file.
namespace vidrona::download::streams {

struct JoinRun {
    int first = 0;          // index, in the track's join order, of the run's first file
    bool timed = false;     // true: the run's time is moved by shiftSeconds; false: it follows on
    double shiftSeconds = 0; // added to the run's own times (a period's start less its offset)
    // The time of pieces left out just before the run (gaps the server has
    // no pieces for): the file keeps it, its picture jumping as a player's.
    double gapSeconds = 0;
    // The time of pieces left out after the run's last one (a playlist
    // that ends in gaps), kept by the last run: the file lasts over it.
    double tailGapSeconds = 0;
};

// Per track; a track without runs is read as one.
using JoinRuns = QList<QList<JoinRun>>;

} // namespace vidrona::download::streams
