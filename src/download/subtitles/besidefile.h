#pragma once
#include "offers.h"
#include "download/filefetch.h"

// Subtitles saved beside their video, as SubRip a player finds by name.
namespace vidrona::download::subtitles {

// "Talk.en.srt" beside "Talk.mp4": the video's name without its
// extension, the language, ".srt".
QString besidePath(const QString &videoPath, const QString &language);

// Each track as SubRip beside videoPath, its cues moved back by
// mediaStartMs when they are on the media's clock (the video's file
// starts at zero there); one that cannot be written becomes a miss.
void saveBeside(const QString &videoPath, const QList<Track> &tracks, qint64 mediaStartMs,
                QList<SubtitleMiss> *missed);

} // namespace vidrona::download::subtitles
