#pragma once
#include <QtGlobal>

namespace vidrona::net {

// The most of a web page ever read, by every fetch and every reader of a
// page: pages, the players' XML files, the link service's answers and the
// YouTube watch pages are all far smaller.
inline constexpr qsizetype MaxPageBytes = qsizetype(8) << 20;

} // namespace vidrona::net
