#pragma once
#include <QString>

// Position arithmetic of the resolvers: 1-based positions, exact and
// case-sensitive searches, first occurrence wins.
namespace vidrona::resolve::text {

// Position of the first what at or after position from; 0 when there is none
// (also when from lies outside the text).
int findFrom(const QString &text, const QString &what, int from);

// The n characters of text that start at position a (fewer when the text ends
// first); empty when a or n is below 1.
QString textFrom(const QString &text, int a, int n);

} // namespace vidrona::resolve::text
