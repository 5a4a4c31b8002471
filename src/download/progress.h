#pragma once
#include "downloadlist.h"

namespace vidrona {

struct ListProgress {
    int total = 0;
    int completed = 0;
    QString label; // "N of M files downloaded."
};

ListProgress listProgress(const DownloadList &list);

// Rows that are neither COMPLETED nor FAILED (DOWNLOADING and unknown words
// count as waiting).
int waitingCount(const DownloadList &list);

// The "Progress" cell of the row being fetched: with a known size
// "37 % · 380 of 1024 MiB · 12.3 MiB/s · 0:51 left", without one
// "380 MiB · 12.3 MiB/s". done: bytes of the file so far; total: its full
// length or -1; bytesPerSecond: the speed of this fetch.
QString fetchProgressText(qint64 done, qint64 total, double bytesPerSecond);

// The "Progress" cell of a stream being fetched, counted by pieces:
// "37 % · 45 of 120 pieces · 38.0 MiB · 2.1 MiB/s · 0:51 left".
QString streamProgressText(int piecesDone, int piecesTotal, qint64 bytes, double bytesPerSecond);

// The start-up question for n waiting rows.
QString resumeQuestion(int waiting);

} // namespace vidrona
