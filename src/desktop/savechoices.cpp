#include "savechoices.h"
#include "initext.h"
#include "subtitlekeys.h"

namespace vidrona::desktop {

namespace {
const QString QualityKey = QStringLiteral("quality");
const QString SoundAsKey = QStringLiteral("soundAs");
const QString Mp3QualityKey = QStringLiteral("mp3Quality");

// The words the fetch takes (streams::QualityChoice, a layer above), and
// "ask", which the window acts on.
bool isQualityWord(const QByteArray &word)
{
    for (const char *w : {"best", "2160", "1440", "1080", "720", "480", "sound", "ask"})
        if (word == w)
            return true;
    return false;
}
} // namespace

SaveChoices readSaveChoices(const IniText &ini)
{
    SaveChoices c;
    // A word the fetch would not take shows as the best it acts as.
    const QByteArray word = ini.value(QualityKey).value_or(QString()).trimmed().toLower().toLatin1();
    if (isQualityWord(word))
        c.quality = word;
    c.mp3 = ini.value(SoundAsKey).value_or(QString()).trimmed().compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0;
    bool ok = false;
    const int level = ini.value(Mp3QualityKey).value_or(QString()).trimmed().toInt(&ok);
    if (ok)
        c.mp3Quality = qBound(0, level, 4);
    readSubtitleKeys(ini, &c.subtitles, &c.subtitlesInside);
    return c;
}

void writeSaveChoices(IniText &ini, const SaveChoices &choices)
{
    ini.setValue(QualityKey, QString::fromLatin1(isQualityWord(choices.quality) ? choices.quality : "best"));
    ini.setValue(SoundAsKey, choices.mp3 ? QStringLiteral("mp3") : QStringLiteral("sent"));
    ini.setValue(Mp3QualityKey, QString::number(qBound(0, choices.mp3Quality, 4)));
    writeSubtitleKeys(ini, choices.subtitles, choices.subtitlesInside);
}

} // namespace vidrona::desktop
