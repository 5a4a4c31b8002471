#pragma once
#include "formats.h"
#include "download/filefetch.h"
#include "download/subtitles/offers.h"
#include "download/subtitles/subtitlefetch.h"
#include <QJsonArray>
#include <QJsonObject>

// The subtitles a site offers as yt-dlp reads them: its "subtitles" (made
// by a person) and "automatic_captions" (made by a machine from the
// speech), each a language with files in several forms, of which WebVTT
// is taken; saved beside the row's file once it is in place.
namespace vidrona::download::sitevideo {

// The files of info's two fields: for each language, its WebVTT file,
// else its first, whose form then says why it is not read; a person's
// first, at most MaxSubtitleFiles, live chats left out.
QList<SubtitleFile> readSubtitleFiles(const QJsonObject &info);

// As a row's kept choice holds them, and read back.
QJsonArray subtitleFilesJson(const QList<SubtitleFile> &files);
QList<SubtitleFile> subtitleFilesFromJson(const QJsonArray &array);

// The files as offers (subtitles/offers.h).
QList<subtitles::Offer> subtitleOffers(const QList<SubtitleFile> &files);

// The job's subtitles among files, fetched and read.
subtitles::Haul fetchSiteSubtitles(const QList<SubtitleFile> &files, const FetchJob &job, FetchShared &shared);

// Whether the job's subtitles go into the file its choice joins (a picture
// and a sound joined anyway); else they go beside it.
bool subtitlesJoinedIn(const Choice &choice, const FetchJob &job);

// The job's subtitles among files, fetched once result's file is in
// place and saved beside it; what is missing goes into result.
void saveSiteSubtitles(const QList<SubtitleFile> &files, const FetchJob &job, FetchShared &shared,
                       FetchResult *result);

} // namespace vidrona::download::sitevideo
