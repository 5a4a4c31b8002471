#pragma once
#include <QString>

// The hosts of the supported sites and of the services the program talks
// to. The 8-character prefixes that recognise a site are taken from these.
namespace vidrona::resolve::hosts {

inline const QString Metacafe = QStringLiteral("www.metacafe.com");
inline const QString Videkta = QStringLiteral("www.videkta.ge");
inline const QString Tvali = QStringLiteral("tvali.ge");           // prefix is the whole host
inline const QString AllVideos = QStringLiteral("allvideos.ge");   // 12 characters: marker is 37
inline const QString YouTube = QStringLiteral("youtube.com");
inline const QString Break = QStringLiteral("www.break.com");
inline const QString DailyMotion = QStringLiteral("www.dailymotion.com");
inline const QString GoogleVideo = QStringLiteral("video.google.com");

inline const QString BreakSearch = QStringLiteral("search.break.com");
inline const QString LinkService = QStringLiteral("links.vidrona-resolver.net");
inline const QString MetacafeFiles = QStringLiteral("files.metacafe.com");
inline const QString SoftwareArchive = QStringLiteral("www.simtel.net");

} // namespace vidrona::resolve::hosts
