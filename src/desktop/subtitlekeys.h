#pragma once
#include <QString>
#include <QStringList>

// The subtitles the user wants, kept in the preferences file under plain
// keys a person may edit:
//   subtitles = none | en, de     (languages, in the order asked)
//   subtitlesInside = true | false (into the video file, or .srt beside it)
namespace vidrona::desktop {

class IniText;

// At most this many languages are kept.
inline constexpr int MaxSubtitleLanguages = 8;

// "en, de ,EN" -> {"en", "de"}: trimmed, lowercase, each once, only
// letters, digits and '-' ("pt-br"), at most MaxSubtitleLanguages; "none"
// and an empty text are none.
QStringList subtitleLanguages(const QString &text);

void readSubtitleKeys(const IniText &ini, QStringList *languages, bool *inside);
void writeSubtitleKeys(IniText &ini, const QStringList &languages, bool inside);

} // namespace vidrona::desktop
