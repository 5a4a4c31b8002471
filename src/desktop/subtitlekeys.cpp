#include "subtitlekeys.h"
#include "initext.h"
#include <QRegularExpression>

namespace vidrona::desktop {

namespace {
const QString SubtitlesKey = QStringLiteral("subtitles");
const QString InsideKey = QStringLiteral("subtitlesInside");
} // namespace

QStringList subtitleLanguages(const QString &text)
{
    static const QRegularExpression tag(QStringLiteral("^[a-z0-9]+(-[a-z0-9]+)*$"));
    QStringList out;
    for (const QString &word : text.split(QLatin1Char(','))) {
        const QString language = word.trimmed().toLower();
        if (out.size() < MaxSubtitleLanguages && language.size() <= 35 && language != QLatin1String("none")
            && tag.match(language).hasMatch() && !out.contains(language))
            out << language;
    }
    return out;
}

void readSubtitleKeys(const IniText &ini, QStringList *languages, bool *inside)
{
    *languages = subtitleLanguages(ini.value(SubtitlesKey).value_or(QString()));
    *inside = ini.value(InsideKey).value_or(QString()).trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void writeSubtitleKeys(IniText &ini, const QStringList &languages, bool inside)
{
    const QStringList kept = subtitleLanguages(languages.join(QLatin1Char(',')));
    ini.setValue(SubtitlesKey, kept.isEmpty() ? QStringLiteral("none") : kept.join(QStringLiteral(", ")));
    ini.setValue(InsideKey, inside ? QStringLiteral("true") : QStringLiteral("false"));
}

} // namespace vidrona::desktop
