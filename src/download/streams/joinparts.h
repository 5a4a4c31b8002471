#pragma once
#include "joinruns.h"
#include "mp4joiner.h"
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>

// A playlist whose pieces change their encoding after a discontinuity (an
// advert with an init section of its own) cannot go on in one MP4 track:
// the part from there on is joined into a file of its own, named so, and
// so on for each such change, up to a bound.
namespace vidrona::download::streams {

inline constexpr int MaxJoinParts = 8;

// Joins inputs (see joinToMp4) into outPath, or, when mayPart and a run
// cannot go on in the file (the same run in every input), into outPath,
// outPath + ".2", ... one file per part. The paths written, in order;
// empty on failure, with error and fault as joinToMp4 gives them. Every
// part carries tags; extras go into the first file: the later parts'
// clocks start afresh.
QStringList joinInParts(const QList<QList<JoinPiece>> &inputs, const JoinRuns &runs, bool mayPart, const QString &outPath,
                        net::Step *error, const std::atomic<bool> *cancel, JoinFault *fault,
                        const media::Tags &tags = {}, JoinExtras *extras = nullptr);

// "clip (part 2).mp4" for "clip.mp4" and 2.
QString partName(const QString &path, int part);

} // namespace vidrona::download::streams
