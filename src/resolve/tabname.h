#pragma once
#include <QString>

// The name of a row a browser's tab handed over.
namespace vidrona::resolve {

// The tab's title (cleaned like any title) when the address gives no name
// worth keeping: a playlist or manifest ("index.m3u8", "master.mpd", named
// .mp4 as a saved stream is) or a last part without a video or sound
// extension ("watch", "get.php"), which keeps the extension given (from the
// answer's type); else given, the address's rule as for a paste.
QString nameForTab(const QString &fileUrl, const QString &given, const QString &tabTitle);

} // namespace vidrona::resolve
