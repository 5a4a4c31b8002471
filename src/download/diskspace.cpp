#include "diskspace.h"
#include <QStorageInfo>

namespace vidrona::download::diskspace {

std::optional<net::Failure> check(const QString &folder, qint64 needed)
{
    const QStorageInfo storage(folder);
    const qint64 free = storage.isValid() ? storage.bytesAvailable() : -1;
    if (free < 0 || needed <= free)
        return std::nullopt;
    net::Failure f = net::fail(net::Reason::NoSpace, net::Cause::NoSpace);
    f.bytes = needed;
    f.ofBytes = free;
    return f;
}

} // namespace vidrona::download::diskspace
