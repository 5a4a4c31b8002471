#pragma once
#include "download/filefetch.h"
#include "formats.h"
#include "rowreader.h"

// Fetching the formats an outside finder chose for a row: each format
// through the file fetch (several connections, its own head fields, ranges
// no longer than the site allows), a picture and a sound at the same time
// sharing the row's connections, then joined without re-encoding.
namespace vidrona::download::sitevideo {

// Where a row's chosen formats are kept: in the engine's record (kind
// formats) beside its file, hidden, readable by its user only (a site's
// head fields may hold a token).
QString choicePath(const QString &finalPath);
// Where earlier versions kept them, as bare text: still read, so no
// download in progress is lost by an update, never written.
QString earlierChoicePath(const QString &finalPath);
bool keepChoice(const QString &finalPath, const QString &pageUrl, const QByteArray &choiceText);
// The kept choice's text (choiceText), from the record or else the
// earlier file; empty when neither holds one.
QByteArray keptChoiceText(const QString &finalPath);
// The kept choice and whatever its formats' fetches kept.
void dropChoice(const QString &finalPath);

// Where one format of a row's file is fetched to before the join.
QString partPath(const QString &finalPath, const Format &format);

// The chosen formats into job.finalPath (or the next free name, as the
// file fetch does); job.url is the page's address, named in the claim.
// Kept bytes of each format stay for the next fetch, which continues them
// when the same format comes back with the same size. reader (may be
// null) reads the page again when the addresses expired: before the
// fetch when an expire= time is past, or once after a 403 or 410.
FetchResult runSiteVideoFetch(const Choice &choice, const FetchJob &job, FetchShared &shared, RowReader *reader = nullptr);

} // namespace vidrona::download::sitevideo
