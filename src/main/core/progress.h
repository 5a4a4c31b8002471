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

// The start-up question for n waiting rows.
QString resumeQuestion(int waiting);

} // namespace vidrona
