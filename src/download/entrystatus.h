#pragma once
#include <QString>

// The status words of a download row. They are stored, shown and compared
// exactly as written (case-sensitive); a word read from the list file that
// is none of these is kept as it is.
namespace vidrona::status {

inline const QString Pending = QStringLiteral("PENDING");
inline const QString Downloading = QStringLiteral("DOWNLOADING");
inline const QString Completed = QStringLiteral("COMPLETED");
inline const QString Failed = QStringLiteral("FAILED");
inline const QString Canceled = QStringLiteral("CANCELED");

inline bool isFinished(const QString &s) { return s == Completed || s == Failed; }
inline bool isToBeFetched(const QString &s) { return s == Pending || s == Canceled || s == Failed; }

} // namespace vidrona::status
