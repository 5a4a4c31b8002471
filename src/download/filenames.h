#pragma once
#include <QString>
#include <functional>

// How the download list names a file, and what name a fetched file is
// saved under.
namespace vidrona {

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

// name with every character that no file name may hold (control
// characters and \ / : * ? " < > |) replaced by "_". A final dot or blank
// and device names stay: whether the result is usable is for
// platform::isValidFileName to say.
QString withRefusedCharactersReplaced(const QString &name);

// name, or the first of "base (2).ext", "base (3).ext", ... that neither a
// file or link in folder nor taken(candidate) holds; the extension is what
// follows the last dot. Empty when none is free within MaxFreeNameTries.
inline constexpr int MaxFreeNameTries = 10000;
QString nextFreeName(const QString &folder, const QString &name,
                     const std::function<bool(const QString &)> &taken = {});

} // namespace vidrona
