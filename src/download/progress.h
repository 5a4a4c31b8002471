#pragma once
#include "downloadlist.h"

namespace vidrona::download {

struct ListProgress {
    int total = 0;
    int completed = 0;
};

ListProgress listProgress(const DownloadList &list);

// Rows that are neither COMPLETED nor FAILED (DOWNLOADING and unknown words
// count as waiting).
int waitingCount(const DownloadList &list);

} // namespace vidrona::download
