#pragma once
#include "download/filefetch.h"
#include "download/service/rowprogress.h"
#include "net/failure.h"
#include <QString>

// Every word the download queue's side of the window shows: the rows'
// "Progress" cells, the failure box, the counter under the list and the
// start-up question. The fetching itself sends only figures and failures.
namespace vidrona::ui::mainwindow {

using download::SubtitleMiss;
using download::service::RowProgress;

// The "Progress" cell of the row being fetched: with a known size
// "37 % · 380 of 1024 MiB · 12.3 MiB/s · 0:51 left", without one
// "380 MiB · 12.3 MiB/s". done: bytes of the file so far; total: its full
// length or -1; bytesPerSecond: the speed of this fetch.
QString fetchProgressText(qint64 done, qint64 total, double bytesPerSecond);

// The "Progress" cell of a stream being fetched, counted by pieces:
// "37 % · 45 of 120 pieces · 38.0 MiB · 2.1 MiB/s · 0:51 left".
QString streamProgressText(int piecesDone, int piecesTotal, qint64 bytes, double bytesPerSecond);

// The one of the two that fits the row.
QString progressText(const RowProgress &progress);

// The cell of a row waiting to be tried again:
// "Retrying in 4 s (the server answered 503 Service Unavailable)".
QString retryWaitText(int ms, const net::Failure &why);

// The cell of a row whose fetch ended: empty when its file is in place,
// "Cancelled" when the user cancelled it, else why it failed, so rows that
// failed differently read differently.
QString endedText(const net::Failure &failure);

// The cell of a row whose video is in place without some of its
// subtitles: "Completed, no subtitles (en): the server answered 404 Not
// Found for the subtitles"; several such languages one after another,
// "; " between them.
QString missedSubtitlesText(const QList<SubtitleMiss> &missed);

// The box a failed row brings up (no title, information icon): the
// sentence, and why on a line of its own.
QString queueFailureText();
QString failureBoxText(const net::Failure &failure);

// "N of M files downloaded."
QString filesDownloadedText(int completed, int total);

// The start-up question for n waiting rows.
QString resumeQuestion(int waiting);

} // namespace vidrona::ui::mainwindow
