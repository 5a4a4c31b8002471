#pragma once
#include <QString>
#include <functional>

// How the download list names a file, and what name a fetched file is
// saved under.
namespace vidrona::download {

// The name a new row is listed under: the text after the last "/" found
// before the final character (the final character is never looked at, so
// ".../folder/" is listed as "folder/"). Empty when there is no such "/".
QString listedNameOf(const QString &fileUrl);

// The name a fetched file is saved under: the text after the last "/";
// empty when the address ends with "/" or holds none.
QString savedNameOf(const QString &fileUrl);

// A file URL (or any text of a row) that can be a row: no control
// character (a CR or LF would break the three-line list file).
bool isListableUrl(const QString &fileUrl);

// The longest name a file gets, in UTF-8 bytes: what file systems allow
// (255), less the room its kept bytes' record needs (".partinfo").
inline constexpr int MaxNameBytes = 255 - 9;

// A name for a file from the web, in any language: every character the
// file system takes; control characters and the ones it refuses become
// "_"; no leading dots; "video" when nothing is left; extension (without
// its dot) added when the name does not end with it; shortened to
// MaxNameBytes keeping the extension. On Windows a device name gets a "_"
// in front and a final dot or blank goes.
QString fileNameFrom(const QString &raw, const QString &extension = {});

// name cut at its end, before its extension, to at most maxBytes of UTF-8.
QString shortenedName(const QString &name, int maxBytes = MaxNameBytes);

// name, or the first of "base (2).ext", "base (3).ext", ... that neither a
// file or link in folder, nor a running fetch (engine/nameclaims.h), nor
// taken(candidate) holds; the extension is what
// follows the last dot. Empty when none is free within MaxFreeNameTries.
inline constexpr int MaxFreeNameTries = 10000;
QString nextFreeName(const QString &folder, const QString &name,
                     const std::function<bool(const QString &)> &taken = {});

} // namespace vidrona::download
