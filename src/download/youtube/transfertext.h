#pragma once
#include <QString>

// The names and numbers of the YouTube transfer, apart from any window
// (the words it shows are the window's: ui/youtube/youtubetexts.h).
namespace vidrona::download::youtube {

// Every "/", "\", "*", ":", "?", "<", ">" and "|" becomes one blank;
// nothing else changes (the double quote stays).
QString cleanFileName(const QString &title);

// (100 / size) * done in double precision, ties to the even integer.
int percentDone(qint64 done, qint64 size);

// Blanks removed at both ends (blanks only, as the address is built).
QString trimBlanks(const QString &text);

} // namespace vidrona::download::youtube
