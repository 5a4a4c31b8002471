#pragma once
#include "formats.h"
#include "rowreader.h"
#include "net/failure.h"
#include <QDateTime>
#include <optional>

// A row's formats asked for again: when, and what of the kept bytes stays.
namespace vidrona::download::sitevideo {

// Seconds before an expire= time that an address is taken as expired
// already: a fetch that starts must have time to ask.
inline constexpr qint64 ExpiryMarginSeconds = 60;

// Whether a format's address carries an expire= time that is (nearly) past.
bool hasExpired(const Format &format, const QDateTime &now);
// Whether a failure says the address is no longer good.
bool saysExpired(const net::Failure &failure);

// The row's formats read again through reader, kept beside finalPath. Each
// new format that is the same as an old one (same format and same size)
// keeps its kept bytes, which now name the new address; any other old
// format's kept bytes go. Nothing, with why, when the reader fails.
std::optional<Choice> renew(const Choice &old, const QString &pageUrl, const QString &finalPath, RowReader &reader,
                            const std::atomic<bool> &cancel, net::Failure *why);

} // namespace vidrona::download::sitevideo
