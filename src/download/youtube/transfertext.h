#pragma once
#include <QLocale>
#include <QString>

// The texts and numbers the YouTube transfer shows, apart from any window.
namespace vidrona::youtube {

// Every "/", "\", "*", ":", "?", "<", ">" and "|" becomes one blank;
// nothing else changes (the double quote stays).
QString cleanFileName(const QString &title);

// size / 1000 with as many decimals as it needs, the locale's decimal
// separator, no grouping, followed by " Kb".
QString sizeText(qint64 size, const QLocale &locale = QLocale());

// (100 / size) * done in double precision, ties to the even integer.
int percentDone(qint64 done, qint64 size);

// The error trap's message; the transfer's own trap adds a line end.
QString errorMessage(const QString &description, bool trailingLineEnd);

// Blanks removed at both ends (blanks only, as the address is built).
QString trimBlanks(const QString &text);

} // namespace vidrona::youtube
