#pragma once
#include <QStringList>

class QMimeData;

namespace vidrona::desktop {

// What a drop onto the window brings: links (a browser's address, a
// dragged link), plain text holding web addresses, and link files (a
// Windows ".url" shortcut, a ".desktop" link); each gives its web
// addresses in order. Anything else gives none.
namespace dropped {

// The most of a link file ever read: they are a few lines.
inline constexpr qint64 MaxLinkFileBytes = 64 << 10;
inline constexpr int MaxAddresses = 1000;

// Whether a drop of data would bring addresses, judged before the drop
// without reading any file.
bool mayHoldAddresses(const QMimeData &data);

// The web addresses data brings, in order, each once.
QStringList addresses(const QMimeData &data);

// The web addresses in text: every http or https word, in order.
QStringList addressesInText(const QString &text);

} // namespace dropped
} // namespace vidrona::desktop
