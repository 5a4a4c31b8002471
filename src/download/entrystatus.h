#pragma once
#include <QString>

namespace vidrona::download {

// What a download row is doing. The list file keeps it as an upper-case
// word; a word read from the file that is none of these is Unknown, and
// the row keeps the word as it was read (see DownloadEntry).
enum class Status { Pending, Downloading, Completed, Failed, Canceled, Unknown };

// The words of the list file, stored, shown and compared exactly as written.
namespace status {

inline const QString Pending = QStringLiteral("PENDING");
inline const QString Downloading = QStringLiteral("DOWNLOADING");
inline const QString Completed = QStringLiteral("COMPLETED");
inline const QString Failed = QStringLiteral("FAILED");
inline const QString Canceled = QStringLiteral("CANCELED");

// The word of a known status; empty for Unknown.
QString wordOf(Status s);
// The status a word names (case-sensitive); Unknown for any other word.
Status fromWord(const QString &word);

inline bool isFinished(Status s) { return s == Status::Completed || s == Status::Failed; }
inline bool isToBeFetched(Status s) { return s == Status::Pending || s == Status::Canceled || s == Status::Failed; }

} // namespace status
} // namespace vidrona::download
